#pragma once

#include <QIcon>
#include <QSize>

// The tool bar pictures, drawn here: black line art on a clear ground, in pixels.
namespace ToolBarIcons {
inline constexpr QSize kButtonImage(18, 19);  // a 25 x 26 button less its borders
inline constexpr QSize kInfoImage(154, 19);   // the 161 x 26 picture button of "Info."

// The picture of a tool bar command; a null icon for an id without one.
QIcon Draw(unsigned id);
// The "Info." bar's picture button.
QIcon DrawInfoPicture();
}  // namespace ToolBarIcons
