#pragma once

#include <QIcon>
#include <QSize>

enum class ToolIcon;

// The tool bar pictures, drawn here: black line art on a clear ground, in pixels.
namespace ToolBarIcons {
inline constexpr QSize kButtonImage(18, 19);  // a 25 x 26 button less its borders
inline constexpr QSize kInfoImage(154, 19);   // the 161 x 26 picture button of "Info."

// A tool bar button's picture; kInfoPicture is kInfoImage wide, the others kButtonImage.
QIcon Draw(ToolIcon icon);
}  // namespace ToolBarIcons
