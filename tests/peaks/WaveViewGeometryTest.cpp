// The wave view's geometry as plain arithmetic, without a widget: the cases a view test
// would need a window for.
#include "geometry/WaveViewGeometry.h"

#include <gtest/gtest.h>

namespace {

// A fitted view of frames frames in a window width x height.
WaveViewGeometry Fitted(uint32_t frames, int width, int height = 200) {
    WaveViewGeometry g(frames);
    g.FirstDisplay(width, height);
    g.UpdateScrollSizes();
    return g;
}

}  // namespace

TEST(WaveViewGeometry, ZoomInHalvesTheScaleDownToOneFramePerColumn) {
    WaveViewGeometry g = Fitted(44100, 441);
    g.ShowAll(200);
    EXPECT_DOUBLE_EQ(g.SamplesPerPixel(), 100.0);
    EXPECT_FALSE(g.CanZoomOut());
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(g.CanZoomIn());
        g.ZoomIn(200, 16, 0, 1);
    }
    EXPECT_DOUBLE_EQ(g.SamplesPerPixel(), 1.5625);
    EXPECT_EQ(g.TotalWidth(), 28224u);
    EXPECT_EQ(g.ZoomFactor(), 64u);
    g.ZoomIn(184, 16, 0, 1);
    EXPECT_DOUBLE_EQ(g.SamplesPerPixel(), 1.0);
    EXPECT_EQ(g.TotalWidth(), 44100u);
    EXPECT_FALSE(g.CanZoomIn());
    EXPECT_TRUE(g.CanZoomOut());
    // The first zoom took the scroll bar's room off the height; later ones leave it.
    EXPECT_EQ(g.ImageHeight(), 184);
}

TEST(WaveViewGeometry, ZoomOutAtFactorTwoReturnsToTheFittedState) {
    WaveViewGeometry g = Fitted(100000, 500);
    g.ZoomIn(200, 16, 0, 1);
    ASSERT_EQ(g.ZoomFactor(), 2u);
    ASSERT_TRUE(g.CanZoomOut());
    g.ZoomOut(184, 0, 1);
    EXPECT_EQ(g.ZoomFactor(), 1u);
    EXPECT_EQ(g.TotalWidth(), 500u);
    EXPECT_EQ(g.ImageHeight(), 184);
    EXPECT_FALSE(g.CanZoomOut());
}

TEST(WaveViewGeometry, ZoomToSelectionOfAThousandFramesInFiveHundredColumns) {
    WaveViewGeometry g = Fitted(100000, 500);
    EXPECT_TRUE(g.CanZoomToSelection(1000, 2000));
    EXPECT_FALSE(g.CanZoomToSelection(1000, 1001));  // a caret
    const uint32_t centre = g.ZoomToSelection(200, 16, 1000, 2000);
    EXPECT_EQ(centre, 1500u);
    EXPECT_EQ(g.TotalWidth(), 100000u / 3);  // trunc(1000 / 500) + 1 frames per column
    EXPECT_GE(g.ZoomFactor(), 2u);
    EXPECT_TRUE(g.IsZoomedToSelection());
    EXPECT_FALSE(g.CanZoomToSelection(1000, 2000));
    // A view never shown has no columns to zoom into, and a zoom asked anyway keeps its centre.
    WaveViewGeometry unshown(100000);
    EXPECT_FALSE(unshown.CanZoomToSelection(1000, 2000));
    EXPECT_EQ(unshown.ZoomToSelection(200, 16, 1000, 2000), 1500u);
    // A selection that fits the window zooms like Show All, the flag set.
    WaveViewGeometry small = Fitted(800, 500);
    small.ZoomToSelection(200, 16, 0, 700);
    EXPECT_EQ(small.TotalWidth(), 500u);
    EXPECT_EQ(small.ZoomFactor(), 1u);
    EXPECT_TRUE(small.IsZoomedToSelection());
}

TEST(WaveViewGeometry, WideWaveformsScrollInScaledUnitsWithARemainder) {
    WaveViewGeometry g(40000);
    g.FirstDisplay(500, 200);
    for (int i = 0; i < 7; ++i) {
        g.ZoomIn(200, 16, 0, 1);
    }
    ASSERT_EQ(g.TotalWidth(), 40000u);
    const WaveViewGeometry::ScrollSizes sizes = g.UpdateScrollSizes();
    EXPECT_TRUE(sizes.bNeedsBar);
    EXPECT_FALSE(g.IsDirectScroll());
    EXPECT_EQ(g.ScrollRange(), 32267);
    EXPECT_EQ(sizes.maximum, 32267);
    EXPECT_EQ(sizes.pageStep, 1);
    EXPECT_NEAR(g.ScrollScale(), 39500.0 / 32267.0, 1e-12);
    // A line right from 0 carries one unit at a time while the remainder exceeds the scale.
    const int position = g.ScaledStep(50, true);
    EXPECT_EQ(position, 49);
    EXPECT_EQ(g.ScrollRemainder(), 1);
    g.SetScrollPosition(position);
    EXPECT_EQ(g.LeftColumn(), 60);
    // A line left goes back below 0 and stops there.
    g.SetScrollPosition(0);
    EXPECT_EQ(g.ScaledStep(50, false), 0);
    EXPECT_EQ(g.ScrollRemainder(), 0);
}

TEST(WaveViewGeometry, DirectScrollingCentresAFrameAndMapsWindowColumns) {
    WaveViewGeometry g = Fitted(100000, 500);
    g.ZoomIn(200, 16, 0, 1);
    g.ZoomIn(184, 16, 0, 1);  // 50 frames per column, 2000 columns
    const WaveViewGeometry::ScrollSizes sizes = g.UpdateScrollSizes();
    EXPECT_TRUE(g.IsDirectScroll());
    EXPECT_EQ(sizes.maximum, 1500);
    EXPECT_EQ(sizes.pageStep, 250);
    EXPECT_EQ(sizes.singleStep, 50);
    EXPECT_EQ(g.ScrollPositionFor(50000), 750);  // column 1000 less half the window
    EXPECT_EQ(g.ScrollPositionFor(100), 0);
    g.SetScrollPosition(750);
    EXPECT_EQ(g.SampleAtX(0), 37500u);
    EXPECT_EQ(g.SampleAtX(-5), 37500u);  // left of the window counts as its edge
    EXPECT_EQ(g.SampleAtX(499), 62450u);
    EXPECT_TRUE(g.IsSampleVisible(62500));
    EXPECT_FALSE(g.IsSampleVisible(62501));
    EXPECT_EQ(g.ZoomAnchorSample(0, 1), 50000u);  // neither end shows: the middle
    EXPECT_EQ(g.ZoomAnchorSample(40000, 90000), 40000u);
}

TEST(WaveViewGeometry, BandsAreClippedToTheWindowAndTheCaretIsTwoColumnsAtLeast) {
    WaveViewGeometry g = Fitted(100000, 500);  // 200 frames per column
    const WaveViewGeometry::Band band = g.ClipBand(450, 600);
    EXPECT_EQ(band.from, 450);
    EXPECT_EQ(band.to, 500);
    EXPECT_TRUE(g.ClipBand(600, 700).IsEmpty());
    EXPECT_TRUE(g.ClipBand(100, 100).IsEmpty());
    const WaveViewGeometry::Band caret = g.CaretBand(2000, 2001);
    EXPECT_EQ(caret.from, 10);
    EXPECT_EQ(caret.to, 12);
    // Zoomed in below one frame per column, one frame's caret spans its columns.
    WaveViewGeometry close = Fitted(100, 500);
    const WaveViewGeometry::Band wide = close.CaretBand(10, 11);
    EXPECT_EQ(wide.from, 50);
    EXPECT_EQ(wide.to, 55);
}

TEST(WaveViewGeometry, PanAxisAndTheTwoEdgeRowRules) {
    WaveViewGeometry g(1000);
    g.FirstDisplay(500, 208);
    EXPECT_EQ(g.PanFromY(4), -90);
    EXPECT_EQ(g.PanFromY(104), 0);
    EXPECT_EQ(g.PanFromY(204), 90);
    EXPECT_EQ(g.PanFromY(0), -90);  // -93 before the limit
    EXPECT_EQ(g.YOfPan(-90), 4);
    EXPECT_EQ(g.YOfPan(90), 204);
    WaveViewGeometry tiny(1000);
    tiny.FirstDisplay(500, 6);
    EXPECT_EQ(tiny.YOfPan(90), 5);
    // A start moved to the edge truncates the rise, an end cut there the whole row: from
    // (0, 10) to (4, 0), at column 1 the rise is -2.5.
    EXPECT_EQ(WaveViewGeometry::StartRowAt(0, 10, 4, 0, 1), 8);
    EXPECT_EQ(WaveViewGeometry::EndRowAt(0, 10, 4, 0, 1), 7);
    EXPECT_EQ(WaveViewGeometry::StartRowAt(3, 10, 3, 50, 5), 10);  // vertical: no rise
}

TEST(WaveViewGeometry, TheScaleFollowsTheTotalWidthAtTheNextImageBuild) {
    WaveViewGeometry g = Fitted(300, 500);  // fewer frames than columns
    g.ShowAll(200);
    EXPECT_DOUBLE_EQ(g.SamplesPerPixel(), 1.0);  // the command's own, at least one
    g.FitScaleToTotalWidth();
    EXPECT_DOUBLE_EQ(g.SamplesPerPixel(), 0.6);
    // A resize of a fitted view keeps it fitted, and ends any zoom to the selection.
    g.ZoomToSelection(200, 16, 0, 100);
    const uint32_t anchor = g.Resize(300, 150, 20, 21);
    EXPECT_EQ(anchor, 20u);
    EXPECT_EQ(g.TotalWidth(), 300u);
    EXPECT_DOUBLE_EQ(g.SamplesPerPixel(), 1.0);
    EXPECT_FALSE(g.IsZoomedToSelection());
    EXPECT_EQ(g.ImageHeight(), 150);
}
