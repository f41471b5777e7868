#pragma once

#include <cstddef>
#include <optional>
#include <vector>

// Where windows go, as plain arithmetic in pixels (device-independent, as the window system
// counts them at any scale factor): a new document window inside the document area, the
// Cascade command's windows, and the main window inside the screen's available area.
namespace WindowPlacement {

struct Size {
    int width = 0;
    int height = 0;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    bool operator==(const Rect&) const = default;
};

// The smallest document window worth working in, unless the area is smaller still.
inline constexpr Size kUsableWindow{480, 240};

// A new document window in an area of this size: three quarters of it (at least the usable
// size, at most the area), one step down and right of the last window opened, or at the
// top left when there is none or the window would not lie wholly inside the area.
Rect NextDocumentWindow(Size area, std::optional<Rect> last, int step);
// Cascade: count windows, each a step down and right of the one before, all of the same
// size: the area less the steps of the others, but at least two thirds of the area (and the
// usable size where the area allows). Where the steps would run out of the area they start
// again from the top left.
std::vector<Rect> Cascade(Size area, size_t count, int step);
// The main window of wanted size (or, without one, defaultSize) inside the available area:
// no larger than the area less the decorations' extra size, moved in where it sticks out;
// a window without a place is centred.
Rect FitMainWindow(std::optional<Rect> wanted, Size defaultSize, Rect available, Size extra);

}  // namespace WindowPlacement
