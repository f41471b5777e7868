#include "geometry/WindowPlacement.h"

#include <algorithm>

namespace {

using WindowPlacement::Rect;
using WindowPlacement::Size;

int AtLeast(int wanted, int minimum, int limit) {
    return std::min(std::max(wanted, std::min(minimum, limit)), limit);
}

}  // namespace

Rect WindowPlacement::NextDocumentWindow(Size area, std::optional<Rect> last, int step) {
    Rect window;
    window.width = AtLeast(area.width * 3 / 4, kUsableWindow.width, area.width);
    window.height = AtLeast(area.height * 3 / 4, kUsableWindow.height, area.height);
    if (last) {
        window.x = std::max(0, last->x + step);
        window.y = std::max(0, last->y + step);
    }
    if (window.Right() > area.width || window.Bottom() > area.height) {
        window.x = 0;
        window.y = 0;
    }
    return window;
}

std::vector<Rect> WindowPlacement::Cascade(Size area, size_t count, int step) {
    std::vector<Rect> windows;
    if (count == 0) {
        return windows;
    }
    const int steps = static_cast<int>(std::min<size_t>(count - 1, 1000));
    const int width = AtLeast(std::max(area.width - steps * step, area.width * 2 / 3),
                              kUsableWindow.width, area.width);
    const int height = AtLeast(std::max(area.height - steps * step, area.height * 2 / 3),
                               kUsableWindow.height, area.height);
    // How many windows fit down the diagonal before the next would stick out.
    const int room = std::min(area.width - width, area.height - height);
    const int perRun = step > 0 ? std::max(1, room / step + 1) : 1;
    for (size_t i = 0; i < count; ++i) {
        const int place = static_cast<int>(i % static_cast<size_t>(perRun));
        windows.push_back({place * step, place * step, width, height});
    }
    return windows;
}

Rect WindowPlacement::FitMainWindow(std::optional<Rect> wanted, Size defaultSize, Rect available,
                                    Size extra) {
    Rect window = wanted.value_or(Rect{0, 0, defaultSize.width, defaultSize.height});
    window.width = std::max(1, std::min(window.width, available.width - extra.width));
    window.height = std::max(1, std::min(window.height, available.height - extra.height));
    if (!wanted) {
        window.x = available.x + (available.width - extra.width - window.width) / 2;
        window.y = available.y + (available.height - extra.height - window.height) / 2;
        return window;
    }
    // Whole inside the area, decorations included: moved in, never made smaller again.
    window.x = std::clamp(window.x, available.x,
                          std::max(available.x, available.Right() - extra.width - window.width));
    window.y = std::clamp(window.y, available.y,
                          std::max(available.y, available.Bottom() - extra.height - window.height));
    return window;
}
