// The all-around view's scales as plain arithmetic: rows to values and back, the reach of a
// press, the marks, the break behind and where the lanes lie.
#include "geometry/PlaceAxis.h"

#include <gtest/gtest.h>

namespace {

struct AxisCase {
    PlaceValue value;
    int top;
    int height;
    double shown;      // a value
    int row;           // where it is drawn
    int32_t readBack;  // what that row reads as
};

}  // namespace

TEST(PlaceAxis, RowsAndValuesMapBothWaysOnEachScale) {
    const AxisCase cases[] = {
        // Azimuth over 180 rows of scale: -180 at the top, ahead in the middle, behind at the
        // bottom reads as 180.
        {PlaceValue::Azimuth, 0, 188, -90, 49, -90},
        {PlaceValue::Azimuth, 0, 188, 0, 94, 0},
        {PlaceValue::Azimuth, 0, 188, 120, 154, 120},
        {PlaceValue::Azimuth, 0, 188, 180, 184, 180},
        {PlaceValue::Azimuth, 0, 188, -180, 4, 180},
        // Elevation: up at the top of its lane.
        {PlaceValue::Elevation, 0, 56, 90, 4, 90},
        {PlaceValue::Elevation, 0, 56, 45, 16, 45},
        {PlaceValue::Elevation, 0, 56, 0, 28, 0},
        {PlaceValue::Elevation, 0, 56, -90, 52, -90},
        // Distance, log scale: each tenfold step a third of the lane.
        {PlaceValue::Distance, 56, 56, 10000, 60, 10000},
        {PlaceValue::Distance, 56, 56, 1000, 76, 1000},
        {PlaceValue::Distance, 56, 56, 100, 92, 100},
        {PlaceValue::Distance, 56, 56, 10, 108, 10},
        // Beyond the scale the edge stands for it.
        {PlaceValue::Distance, 56, 56, 20000, 60, 10000},
        {PlaceValue::Elevation, 0, 56, -120, 52, -90},
    };
    for (const AxisCase& c : cases) {
        const PlaceAxis axis(c.value, c.top, c.height);
        SCOPED_TRACE(axis.Name() + " " + std::to_string(c.shown));
        EXPECT_EQ(axis.YOf(c.shown), c.row);
        EXPECT_EQ(axis.ValueAt(c.row), c.readBack);
    }
}

TEST(PlaceAxis, RowsOutsideTheScaleReadAsItsEnds) {
    const PlaceAxis elevation(PlaceValue::Elevation, 0, 56);
    EXPECT_EQ(elevation.ValueAt(-20), 90);
    EXPECT_EQ(elevation.ValueAt(200), -90);
    const PlaceAxis distance(PlaceValue::Distance, 56, 56);
    EXPECT_EQ(distance.ValueAt(0), 10000);
    EXPECT_EQ(distance.ValueAt(500), 10);
    // A lane too low for a scale still maps every row.
    const PlaceAxis tiny(PlaceValue::Elevation, 0, 6);
    EXPECT_EQ(tiny.YOf(90), 4);
    EXPECT_EQ(tiny.YOf(-90), 5);
}

TEST(PlaceAxis, APressReachesFourRowsEitherWayAndNoFurther) {
    const PlaceAxis elevation(PlaceValue::Elevation, 0, 56);
    const PlaceAxis::Reach reach = elevation.ReachAt(28);
    EXPECT_TRUE(reach.Holds(0));
    EXPECT_TRUE(reach.Holds(15));
    EXPECT_TRUE(reach.Holds(-15));
    EXPECT_FALSE(reach.Holds(20));
    EXPECT_FALSE(reach.Holds(-20));
    // At the top of azimuth the press does not reach the 180 drawn at the bottom.
    const PlaceAxis azimuth(PlaceValue::Azimuth, 0, 188);
    EXPECT_FALSE(azimuth.ReachAt(4).Holds(180));
    EXPECT_TRUE(azimuth.ReachAt(4).Holds(-179));
    EXPECT_TRUE(azimuth.ReachAt(184).Holds(180));
    const PlaceAxis distance(PlaceValue::Distance, 56, 56);
    EXPECT_TRUE(distance.ReachAt(92).Holds(100));
    EXPECT_FALSE(distance.ReachAt(92).Holds(300));
}

TEST(PlaceAxis, MarksLanesAndTheBreakBehind) {
    const PlaceAxis azimuth(PlaceValue::Azimuth, 0, 188);
    ASSERT_EQ(azimuth.Ticks().size(), 5u);
    EXPECT_EQ(azimuth.Ticks()[2].label, "ahead");
    EXPECT_EQ(PlaceAxis(PlaceValue::Distance, 0, 56).Ticks()[2].label, "1 m");
    EXPECT_EQ(PlaceAxis(PlaceValue::Elevation, 0, 56).Ticks()[0].label, "+90\u00B0");

    EXPECT_TRUE(PlaceAxis::CrossesBehind(170, -170));
    EXPECT_FALSE(PlaceAxis::CrossesBehind(-80, 80));
    EXPECT_FALSE(PlaceAxis::CrossesBehind(90, 180));

    const int strip = PlaceLanes::kStripHeight;
    EXPECT_EQ(PlaceLanes::LaneAt(0, strip), PlaceValue::Elevation);
    EXPECT_EQ(PlaceLanes::LaneAt(PlaceLanes::kLaneHeight - 1, strip), PlaceValue::Elevation);
    EXPECT_EQ(PlaceLanes::LaneAt(PlaceLanes::kLaneHeight, strip), PlaceValue::Distance);
    EXPECT_EQ(PlaceLanes::Lane(PlaceValue::Distance, strip).Top(), PlaceLanes::kLaneHeight);
    EXPECT_TRUE(PlaceLanes::Lane(PlaceValue::Elevation, strip).Contains(55));
    EXPECT_FALSE(PlaceLanes::Lane(PlaceValue::Elevation, strip).Contains(56));
}

// The lanes take a third of a tall view, so near distances can be set by hand: at the height
// of a maximised window a drag of 18 rows from 1 m stays within 2.6 m (a fixed 56-row lane
// went past 13 m). A short view keeps the least strip, and the lanes split it evenly.
TEST(PlaceAxis, TheLanesGrowWithTheView) {
    const struct {
        int viewHeight;
        int strip;
        double farthestAfter18RowsM;
    } cases[] = {
        {0, 112, 14.0}, {300, 112, 14.0}, {600, 200, 4.5}, {900, 300, 2.6}, {901, 300, 2.6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.viewHeight);
        const int strip = PlaceLanes::StripHeight(c.viewHeight);
        EXPECT_EQ(strip, c.strip);
        const PlaceAxis distance = PlaceLanes::Lane(PlaceValue::Distance, strip);
        EXPECT_EQ(distance.Top() * 2, strip);
        EXPECT_EQ(PlaceLanes::LaneAt(distance.Top() - 1, strip), PlaceValue::Elevation);
        const int oneMetre = distance.YOf(100);
        EXPECT_LE(distance.ValueAt(oneMetre - 18), c.farthestAfter18RowsM * 100);
        EXPECT_GE(distance.ValueAt(oneMetre + 18), 100 / c.farthestAfter18RowsM);
    }
}
