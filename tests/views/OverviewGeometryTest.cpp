#include "views/OverviewGeometry.h"

#include <gtest/gtest.h>

#include "views/ViewEvents.h"

using namespace OverviewGeometry;

namespace {

void ExpectCentre(int pan, int x, int y) {
    const Point centre = PanMarkerCentre(pan);
    EXPECT_EQ(centre.x, x) << "pan " << pan;
    EXPECT_EQ(centre.y, y) << "pan " << pan;
}

}  // namespace

TEST(OverviewGeometry, MarkerCentresOfTheFiveMainDirections) {
    ExpectCentre(-90, 11, 70);
    ExpectCentre(-45, 51, 14);
    ExpectCentre(0, 71, 11);
    ExpectCentre(45, 91, 14);
    ExpectCentre(90, 130, 70);
}

TEST(OverviewGeometry, DirectionsBeyondTheSidesSitAtTheSides) {
    ExpectCentre(-91, 11, 70);
    ExpectCentre(-5000, 11, 70);
    ExpectCentre(91, 130, 70);
    ExpectCentre(kNoLivePan, 130, 70);
    EXPECT_EQ(ClampLivePan(-91, kNoLivePan), -90);
    EXPECT_EQ(ClampLivePan(1000, kNoLivePan), 90);
    EXPECT_EQ(ClampLivePan(-17, kNoLivePan), -17);
    EXPECT_EQ(ClampLivePan(kNoLivePan, kNoLivePan), kNoLivePan);
}

// Every marker stays inside the picture, left of centre for negative directions, and moves
// right (never left) as the direction grows; the front 57 degrees share the top of the arc.
TEST(OverviewGeometry, MarkersRunAlongTheArcInsideThePicture) {
    Point previous = PanMarkerCentre(-90);
    for (int pan = -90; pan <= 90; ++pan) {
        const Point centre = PanMarkerCentre(pan);
        EXPECT_GE(centre.x - kMarkerHalf, 0) << pan;
        EXPECT_LE(centre.x + kMarkerHalf, kPanPictureWidth) << pan;
        EXPECT_GE(centre.y - kMarkerHalf, 0) << pan;
        EXPECT_LE(centre.y + kMarkerHalf, kPanPictureHeight) << pan;
        EXPECT_GE(centre.x, previous.x) << pan;
        // Below 3 degrees the arc angle truncates to 0.
        if (pan <= -3) {
            EXPECT_LT(centre.x, 71) << pan;
        } else if (pan >= 3) {
            EXPECT_GT(centre.x, 71) << pan;
        } else {
            EXPECT_EQ(centre.x, 71) << pan;
        }
        previous = centre;
    }
    // 57 degrees is 26 degrees round the arc: (71 + 60 sin 26, 70 - 60 cos 26) truncated.
    ExpectCentre(57, 97, 17);
    ExpectCentre(-57, 45, 17);
}

TEST(OverviewGeometry, VisibleColumnsScaleTheAreaAndTheImage) {
    const VisibleColumns quarter = ComputeVisibleColumns(2, 653, 1000, 250, 500, 1000);
    EXPECT_EQ(quarter.x1, 2 + 163);
    EXPECT_EQ(quarter.x2, 2 + 326);
    EXPECT_EQ(quarter.s1, 250);
    EXPECT_EQ(quarter.s2, 500);

    const VisibleColumns whole = ComputeVisibleColumns(2, 653, 1000, 0, 1000, 1000);
    EXPECT_EQ(whole.x1, 2);
    EXPECT_EQ(whole.x2, 655);
    EXPECT_EQ(whole.s1, 0);
    EXPECT_EQ(whole.s2, 1000);
}

// The start goes through single precision and the end does not: at 99,999,999 of 100,000,000
// the start rounds up to the whole width while the same frame as an end stays one short.
TEST(OverviewGeometry, OnlyTheStartOfTheVisibleRangeIsRoundedToSinglePrecision) {
    const VisibleColumns c = ComputeVisibleColumns(2, 653, 1000, 99999999, 99999999, 100000000);
    EXPECT_EQ(c.x1, 655);
    EXPECT_EQ(c.x2, 654);
    EXPECT_EQ(c.s1, 1000);
    EXPECT_EQ(c.s2, 999);
}

TEST(OverviewGeometry, PositionsPastTheEndAndAnEmptySoundStayInsideTheArea) {
    const VisibleColumns past = ComputeVisibleColumns(2, 653, 1000, 5000, 7000, 1000);
    EXPECT_EQ(past.x1, 655);
    EXPECT_EQ(past.x2, 655);
    EXPECT_EQ(past.s2, 1000);
    const VisibleColumns empty = ComputeVisibleColumns(2, 653, 1000, 10, 20, 0);
    EXPECT_EQ(empty.x1, 2);
    EXPECT_EQ(empty.x2, 2);
    EXPECT_EQ(empty.s2, 0);
    const ColumnSpan selection = ComputeSelectionColumns(2, 653, 100, 99999, 1000);
    EXPECT_EQ(selection.begin, 2 + 65);
    EXPECT_EQ(selection.end, 655);
}

TEST(OverviewGeometry, SelectionColumnsTruncateBothEnds) {
    // 65.3 and 65.953: a one-frame caret covers no column.
    const ColumnSpan caret = ComputeSelectionColumns(2, 653, 100, 101, 1000);
    EXPECT_EQ(caret.begin, 67);
    EXPECT_EQ(caret.end, 67);
    const ColumnSpan range = ComputeSelectionColumns(2, 653, 100, 300, 1000);
    EXPECT_EQ(range.begin, 67);
    EXPECT_EQ(range.end, 2 + 195);
}

TEST(OverviewGeometry, AClickPointsAtTheFrameItsColumnShowsAndADragKeepsItsGrip) {
    // 1000 frames over 500 columns from column 10.
    EXPECT_EQ(FrameAtColumn(10, 10, 500, 1000), 0u);
    EXPECT_EQ(FrameAtColumn(5, 10, 500, 1000), 0u);
    EXPECT_EQ(FrameAtColumn(260, 10, 500, 1000), 500u);
    EXPECT_EQ(FrameAtColumn(510, 10, 500, 1000), 1000u);
    EXPECT_EQ(FrameAtColumn(900, 10, 500, 1000), 1000u);
    EXPECT_EQ(FrameAtColumn(260, 10, 500, 0), 0u);
    // The play line's column and the click's frame agree both ways.
    for (const uint32_t frame : {0u, 1u, 333u, 998u, 1000u}) {
        const int x = ColumnOfFrame(10, 500, frame, 1000);
        EXPECT_LE(FrameAtColumn(x, 10, 500, 1000), frame);
        EXPECT_GT(FrameAtColumn(x + 1, 10, 500, 1000) + 2, frame);
    }
    // Visible 200 ... 400 (columns 110 ... 210): a grab at frame 250 is 50 short of the centre.
    const int64_t grip = GrabOffset(135, 10, 500, 200, 400, 1000);
    EXPECT_EQ(grip, 50);
    EXPECT_EQ(DragCentre(135, 10, 500, 1000, grip), 300u);  // grabbing moves nothing
    EXPECT_EQ(DragCentre(185, 10, 500, 1000, grip), 400u);
    EXPECT_EQ(DragCentre(505, 10, 500, 1000, grip), 1000u);  // no further than the end
    EXPECT_EQ(DragCentre(0, 10, 500, 1000, -50), 0u);
    // Outside the visible range a press centres there.
    EXPECT_EQ(GrabOffset(400, 10, 500, 200, 400, 1000), 0);
}

// A press on the front picture reads back the direction whose marker sits there, within the
// whole pixels the markers sit on (up to three degrees ahead, where the arc is compressed),
// and one behind the listener reads as the side it is on.
TEST(OverviewGeometry, APointOfThePictureReadsBackTheMarkersDirection) {
    for (int pan = -90; pan <= 90; pan += 5) {
        const Point centre = PanMarkerCentre(pan);
        EXPECT_NEAR(PanAtPoint(centre.x, centre.y), pan, 3.5) << pan;
    }
    const struct {
        double x, y, pan;
    } kCases[] = {{71, 10, 0}, {11, 70, -90}, {131, 70, 90}, {20, 95, -90}, {120, 95, 90}};
    for (const auto& c : kCases) {
        EXPECT_NEAR(PanAtPoint(c.x, c.y), c.pan, 1e-9) << c.x << "," << c.y;
    }
}
