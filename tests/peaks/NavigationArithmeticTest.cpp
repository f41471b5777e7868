// The arithmetic of the playhead and of wheel scrolling, without a widget.
#include <gtest/gtest.h>

#include "geometry/Playhead.h"
#include "geometry/WaveViewGeometry.h"
#include "geometry/WheelSteps.h"

namespace {

WaveViewGeometry Fitted(uint32_t frames, int width) {
    WaveViewGeometry g(frames);
    g.FirstDisplay(width, 200);
    g.UpdateScrollSizes();
    return g;
}

// frames frames spread over totalWidth columns, as a zoom leaves them.
WaveViewGeometry Zoomed(uint32_t frames, int width, int zoomIns) {
    WaveViewGeometry g = Fitted(frames, width);
    for (int i = 0; i < zoomIns; ++i) {
        g.ZoomIn(200, 16, 0, 1);
    }
    g.UpdateScrollSizes();
    g.FitScaleToTotalWidth();
    return g;
}

}  // namespace

TEST(WheelSteps, ANotchIsATenthOfTheWindowWhateverTheSound) {
    WheelSteps wheel;
    EXPECT_EQ(wheel.ScrollColumns(120, 1000), -100);  // away from the user: toward the start
    EXPECT_EQ(wheel.ScrollColumns(-120, 1000), 100);
    EXPECT_EQ(wheel.ScrollColumns(-240, 640), 128);
    EXPECT_EQ(WheelSteps::ColumnsPerNotch(5), 1);
    // A touch pad's small turns add up to the same.
    int64_t moved = 0;
    for (int i = 0; i < 8; ++i) {
        moved += wheel.ScrollColumns(-15, 1000);
    }
    EXPECT_EQ(moved, 100);

    EXPECT_EQ(wheel.ZoomSteps(120), 1);
    EXPECT_EQ(wheel.ZoomSteps(60), 0);
    EXPECT_EQ(wheel.ZoomSteps(60), 1);
    EXPECT_EQ(wheel.ZoomSteps(-240), -2);
    EXPECT_EQ(wheel.ZoomSteps(-100), 0);
    EXPECT_EQ(wheel.ZoomSteps(100), 0);  // back where it started: nothing carried
    EXPECT_EQ(wheel.ZoomSteps(119), 0);
}

TEST(WaveViewGeometry, ALeftEdgeIsExactInScaledScrollingAndStaysInTheWaveform) {
    // 40000 columns in a 500-column window: 39500 / 32267 columns a scroll unit.
    WaveViewGeometry g = Zoomed(40000, 500, 7);
    ASSERT_EQ(g.TotalWidth(), 40000u);
    ASSERT_FALSE(g.IsDirectScroll());
    // Column 60: position 49 with one column left over, as a line step would leave it.
    g.SetScrollPosition(g.ScrollPositionForLeft(60));
    EXPECT_EQ(g.ScrollPosition(), 49);
    EXPECT_EQ(g.ScrollRemainder(), 1);
    for (const WaveViewGeometry::Column left : {0, 1, 2, 1000, 12345, 39499, 39500}) {
        g.SetScrollPosition(g.ScrollPositionForLeft(left));
        EXPECT_EQ(g.LeftColumn(), left);
    }
    g.SetScrollPosition(g.ScrollPositionForLeft(-7));
    EXPECT_EQ(g.LeftColumn(), 0);
    g.SetScrollPosition(g.ScrollPositionForLeft(1000000));
    EXPECT_EQ(g.LeftColumn(), 39500);

    WaveViewGeometry direct = Zoomed(2000, 500, 2);
    ASSERT_TRUE(direct.IsDirectScroll());
    direct.SetScrollPosition(direct.ScrollPositionForLeft(700));
    EXPECT_EQ(direct.LeftColumn(), 700);
    direct.SetScrollPosition(direct.ScrollPositionForLeft(1800));
    EXPECT_EQ(direct.LeftColumn(), 1500);
}

TEST(Playhead, AStepNamesOnlyTheOldAndTheNewColumn) {
    const WaveViewGeometry g = Fitted(50000, 500);  // 100 frames a column
    Playhead playhead;
    Playhead::Step step = playhead.Move(1000, g, false);
    EXPECT_FALSE(step.oldX.has_value());
    EXPECT_EQ(step.newX, 10);
    step = playhead.Move(1099, g, false);
    EXPECT_EQ(step.oldX, 10);
    EXPECT_EQ(step.newX, 10);  // the same column: nothing to repaint
    step = playhead.Move(5000, g, false);
    EXPECT_EQ(step.oldX, 10);
    EXPECT_EQ(step.newX, 50);
    EXPECT_EQ(playhead.ColumnIn(g), 50);
    step = playhead.Move(std::nullopt, g, false);
    EXPECT_EQ(step.oldX, 50);
    EXPECT_FALSE(step.newX.has_value());
    EXPECT_FALSE(playhead.ColumnIn(g).has_value());
    EXPECT_FALSE(step.pageLeft.has_value());
}

TEST(Playhead, FollowingPagesAheadOnlyFromInsideTheWindow) {
    // 8000 columns, ten frames each; the window shows columns 0 ... 499.
    WaveViewGeometry g = Zoomed(80000, 500, 4);
    ASSERT_DOUBLE_EQ(g.SamplesPerPixel(), 10.0);
    Playhead playhead;
    EXPECT_EQ(playhead.Move(4990, g, true).newX, 499);
    // Off the right edge: without following the line just goes.
    Playhead unfollowed = playhead;
    Playhead::Step step = unfollowed.Move(5000, g, false);
    EXPECT_FALSE(step.pageLeft.has_value());
    EXPECT_FALSE(step.newX.has_value());
    // With following, the next page starts at the line.
    step = playhead.Move(5000, g, true);
    ASSERT_TRUE(step.pageLeft.has_value());
    EXPECT_EQ(*step.pageLeft, 500);
    EXPECT_EQ(step.oldX, 499);
    g.SetScrollPosition(g.ScrollPositionForLeft(*step.pageLeft));
    EXPECT_EQ(playhead.ColumnIn(g), 0);
    playhead.Painted(0);
    // A tick that jumps more than a page still lands on the next page's edge.
    step = playhead.Move(16000, g, true);
    EXPECT_EQ(step.pageLeft, 1600);
    g.SetScrollPosition(g.ScrollPositionForLeft(1600));
    // The last page keeps the waveform's end at the window's right edge.
    playhead.Move(20000, g, true);
    step = playhead.Move(79000, g, true);
    EXPECT_EQ(step.pageLeft, 7500);

    // A line the user scrolled away from is left alone, even when it comes to the edge.
    g.SetScrollPosition(g.ScrollPositionForLeft(2000));
    Playhead away;
    EXPECT_FALSE(away.Move(4000, g, true).newX.has_value());
    step = away.Move(30000, g, true);
    EXPECT_FALSE(step.pageLeft.has_value());
    EXPECT_FALSE(step.newX.has_value());
    // A whole sound in view never pages.
    const WaveViewGeometry fitted = Fitted(50000, 500);
    Playhead whole;
    whole.Move(49900, fitted, true);
    EXPECT_FALSE(whole.Move(50000, fitted, true).pageLeft.has_value());
}
