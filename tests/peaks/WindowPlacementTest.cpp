// Where windows go, as arithmetic: the cases a window system would make slow or vague.
#include "geometry/WindowPlacement.h"

#include <gtest/gtest.h>

using WindowPlacement::Rect;
using WindowPlacement::Size;

namespace {

bool Inside(const Rect& window, Size area) {
    return window.x >= 0 && window.y >= 0 && window.Right() <= area.width &&
           window.Bottom() <= area.height;
}

}  // namespace

TEST(WindowPlacement, NewDocumentWindowsStepOnFromTheLastAndStayWhollyInside) {
    const Size area{800, 500};
    const Rect first = WindowPlacement::NextDocumentWindow(area, std::nullopt, 24);
    EXPECT_EQ(first, (Rect{0, 0, 600, 375}));
    Rect last = first;
    for (int i = 1; i < 20; ++i) {
        const Rect next = WindowPlacement::NextDocumentWindow(area, last, 24);
        EXPECT_TRUE(Inside(next, area)) << i;
        EXPECT_EQ(next.width, 600);
        // One step on, or back to the top left where the next step would stick out.
        if (last.Right() + 24 <= area.width && last.Bottom() + 24 <= area.height) {
            EXPECT_EQ(next.x, last.x + 24) << i;
            EXPECT_EQ(next.y, last.y + 24) << i;
        } else {
            EXPECT_EQ(next.x, 0) << i;
            EXPECT_EQ(next.y, 0) << i;
        }
        last = next;
    }
    // A last window moved out past the area's edge does not drag the next one with it.
    const Rect offside = WindowPlacement::NextDocumentWindow(area, Rect{700, 450, 600, 375}, 24);
    EXPECT_EQ(offside, (Rect{0, 0, 600, 375}));
    // A small area: the usable size where it fits, never more than the area.
    EXPECT_EQ(WindowPlacement::NextDocumentWindow({560, 300}, std::nullopt, 24),
              (Rect{0, 0, 480, 240}));
    EXPECT_EQ(WindowPlacement::NextDocumentWindow({300, 200}, std::nullopt, 24),
              (Rect{0, 0, 300, 200}));
}

TEST(WindowPlacement, CascadeKeepsAUsableSizeHoweverManyWindows) {
    const Size area{900, 600};
    for (size_t count : {1u, 2u, 5u, 40u}) {
        const std::vector<Rect> windows = WindowPlacement::Cascade(area, count, 24);
        ASSERT_EQ(windows.size(), count);
        for (size_t i = 0; i < count; ++i) {
            EXPECT_TRUE(Inside(windows[i], area)) << count << " " << i;
            // At least two thirds of the area, however many windows share it.
            EXPECT_GE(windows[i].width, 600) << count;
            EXPECT_GE(windows[i].height, 400) << count;
            EXPECT_EQ(windows[i].width, windows[0].width);
        }
    }
    // Two windows: as large as the second step allows.
    const std::vector<Rect> two = WindowPlacement::Cascade(area, 2, 24);
    EXPECT_EQ(two[0], (Rect{0, 0, 876, 576}));
    EXPECT_EQ(two[1], (Rect{24, 24, 876, 576}));
    // Many: the diagonal starts again at the top left when it runs out.
    const std::vector<Rect> many = WindowPlacement::Cascade(area, 40, 24);
    EXPECT_EQ(many[0], (Rect{0, 0, 600, 400}));
    EXPECT_EQ(many[8].x, 8 * 24);
    EXPECT_EQ(many[9].x, 0);
    EXPECT_TRUE(WindowPlacement::Cascade(area, 0, 24).empty());
}

TEST(WindowPlacement, TheMainWindowFitsTheAvailableAreaDecorationsIncluded) {
    // A screen of 400 x 300 (800 x 600 device pixels at scale 2) below a panel of 20.
    const Rect available{0, 20, 400, 280};
    const Rect first = WindowPlacement::FitMainWindow(std::nullopt, {1000, 700}, available, {});
    EXPECT_EQ(first, (Rect{0, 20, 400, 280}));
    // Room to spare: the first start is centred.
    const Rect centred =
        WindowPlacement::FitMainWindow(std::nullopt, {1000, 700}, {0, 0, 1920, 1080}, {10, 30});
    EXPECT_EQ(centred, (Rect{455, 175, 1000, 700}));

    // A remembered place keeps its size where it fits and moves in where it sticks out.
    const Rect big{0, 0, 1920, 1080};
    EXPECT_EQ(WindowPlacement::FitMainWindow(Rect{100, 50, 800, 600}, {1000, 700}, big, {}),
              (Rect{100, 50, 800, 600}));
    EXPECT_EQ(WindowPlacement::FitMainWindow(Rect{1500, 900, 800, 600}, {1000, 700}, big, {4, 24}),
              (Rect{1116, 456, 800, 600}));
    EXPECT_EQ(WindowPlacement::FitMainWindow(Rect{-300, -40, 800, 600}, {1000, 700}, big, {}),
              (Rect{0, 0, 800, 600}));
    // From a larger screen onto a smaller one: made to fit.
    EXPECT_EQ(WindowPlacement::FitMainWindow(Rect{0, 0, 2500, 1400}, {1000, 700}, available, {}),
              (Rect{0, 20, 400, 280}));
}
