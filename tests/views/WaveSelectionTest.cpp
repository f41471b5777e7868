// The selection's bookkeeping without a widget: which window columns each change inverts.
#include "views/WaveSelection.h"

#include <gtest/gtest.h>

namespace {

using Bands = WaveSelection::Bands;

// 100 frames per column in a 500-column window.
WaveViewGeometry Window() {
    WaveViewGeometry g(50000);
    g.FirstDisplay(500, 100);
    g.UpdateScrollSizes();
    return g;
}

std::vector<std::pair<int, int>> Columns(const Bands& bands) {
    std::vector<std::pair<int, int>> columns;
    for (const auto& band : bands) {
        columns.emplace_back(band.from, band.to);
    }
    return columns;
}

}  // namespace

TEST(WaveSelection, ARangeGrowingAtOneEndInvertsOnlyTheColumnsBetweenTheEnds) {
    const WaveViewGeometry g = Window();
    WaveSelection selection;
    EXPECT_TRUE(selection.IsCaret());
    // From the caret at 0: the new range is inverted whole.
    EXPECT_EQ(Columns(selection.Set(g, 1000, 3000)), (std::vector<std::pair<int, int>>{{10, 30}}));
    // The start stays in its column: only 30 ... 45 change.
    EXPECT_EQ(Columns(selection.Set(g, 1050, 4500)), (std::vector<std::pair<int, int>>{{30, 45}}));
    // The end stays: only the start's band.
    EXPECT_EQ(Columns(selection.Set(g, 500, 4500)), (std::vector<std::pair<int, int>>{{5, 10}}));
    // Both ends move: the old range is inverted away and the new one drawn.
    EXPECT_EQ(Columns(selection.Set(g, 100, 200)),
              (std::vector<std::pair<int, int>>{{5, 45}, {1, 2}}));
    // Back to a caret: the range goes, the caret shows.
    EXPECT_EQ(Columns(selection.Set(g, 700, 701)),
              (std::vector<std::pair<int, int>>{{1, 2}, {7, 9}}));
    EXPECT_TRUE(selection.IsCaretVisible());
    EXPECT_EQ(selection.Start(), 700u);
    EXPECT_EQ(selection.End(), 701u);
}

TEST(WaveSelection, ShiftClickMovesTheNearerEndAndADragBackToTheAnchorIsACaret) {
    const WaveViewGeometry g = Window();
    WaveSelection selection;
    selection.Set(g, 1000, 3000);
    // Exactly midway: the end moves, the start is the anchor.
    selection.Press(g, 2000, true);
    EXPECT_EQ(selection.Start(), 1000u);
    EXPECT_EQ(selection.End(), 2000u);
    selection.Press(g, 1100, true);  // nearer the start
    EXPECT_EQ(selection.Start(), 1100u);
    EXPECT_EQ(selection.End(), 2000u);
    selection.DragTo(g, 2500);  // the anchor is the end, 2000
    EXPECT_EQ(selection.Start(), 2000u);
    EXPECT_EQ(selection.End(), 2500u);
    selection.DragTo(g, 2000);
    EXPECT_TRUE(selection.IsCaret());
    EXPECT_EQ(selection.Start(), 2000u);
    // A plain click erases the range and leaves the caret for the next blink.
    selection.Set(g, 1000, 3000);
    EXPECT_EQ(Columns(selection.Press(g, 4000, false)),
              (std::vector<std::pair<int, int>>{{10, 30}}));
    EXPECT_TRUE(selection.IsCaret());
    EXPECT_FALSE(selection.IsCaretVisible());
    EXPECT_EQ(selection.Start(), 4000u);
}

TEST(WaveSelection, ACaretOffScreenInvertsNothingButStillBlinks) {
    WaveViewGeometry g(5000000);
    g.FirstDisplay(500, 100);
    g.ZoomIn(100, 16, 0, 1);
    g.UpdateScrollSizes();
    WaveSelection selection;
    EXPECT_TRUE(selection.Set(g, 4000000, 4000001).empty());
    EXPECT_TRUE(selection.IsCaretVisible());  // the phase turns though nothing shows
    EXPECT_TRUE(selection.InvertCaret(g, true).empty());
    EXPECT_FALSE(selection.IsCaretVisible());
    // Scrolled to it, the next blink draws it.
    g.SetScrollPosition(g.ScrollPositionFor(4000000));
    EXPECT_EQ(Columns(selection.InvertCaret(g, true)),
              (std::vector<std::pair<int, int>>{{250, 252}}));
}
