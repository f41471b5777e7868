#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The texts of the status panes that say where things are: the caret or the selection, the
// mouse (or the pan point being dragged) and the play position. Each time is "m:ss.mmm"
// followed by the frame in parentheses; directions are whole degrees with their sign.
namespace PositionReadouts {

// "Caret 0:03.250 (71662)" for a caret (end == start + 1), else
// "Sel 0:01.000-0:02.500 (22050-55125), length 0:01.500 (33075)".
std::string SelectionText(uint32_t selStart, uint32_t selEnd, uint32_t rate);
// "Mouse 0:03.250 (71662) -45°"; without a direction (a stereo sound, the ruler) the time alone.
std::string HoverText(uint32_t frame, std::optional<int> pan, uint32_t rate);
// "Point 0:03.250 (71662) +30°" while a pan point is dragged.
std::string DragText(uint32_t frame, int pan, uint32_t rate);
// "Play 0:03.250 (71662)".
std::string PlayText(uint32_t frame, uint32_t rate);
// "-45°", "0°", "+30°".
std::string PanText(int pan);

}  // namespace PositionReadouts
