#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct PanPoint;
struct SoundPlace;

// The texts of the status panes that say where things are: the caret or the selection, the
// mouse (or the pan point being dragged) and the play position. Each time is "m:ss.mmm"
// followed by the frame in parentheses; directions are whole degrees with their sign.
namespace PositionReadouts {

// "Caret 0:03.250 (71662)" for a caret (end == start + 1), else
// "Sel 0:01.000-0:02.500 (22050-55125), length 0:01.500 (33075)".
std::string SelectionText(uint32_t selStart, uint32_t selEnd, uint32_t rate);
// "Mouse 0:03.250 (71662) -45°"; without a direction (the ruler) the time alone.
std::string HoverText(uint32_t frame, std::optional<int> pan, uint32_t rate);
// "Point 0:03.250 (71662) +30°" while a pan point is dragged.
std::string DragText(uint32_t frame, int pan, uint32_t rate);
// "Play 0:03.250 (71662)".
std::string PlayText(uint32_t frame, uint32_t rate);
// "-45°", "0°", "+30°".
std::string PanText(int pan);
// The whole place, as the all-around view adds it to a readout:
// "azimuth +120°, elevation +30°, distance 2.50 m, width 0°".
std::string PlaceText(const SoundPlace& place);
std::string PlaceText(const PanPoint& point);
// A readout of the all-around view: "Mouse 0:03.250 (71662) azimuth +120°, ...", what being
// "Mouse", "Point" or "Play".
std::string PlaceReadout(const std::string& what, uint32_t frame, const SoundPlace& place,
                         uint32_t rate);

}  // namespace PositionReadouts
