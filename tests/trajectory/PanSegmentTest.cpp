#include "trajectory/PanSegment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "trajectory/PanPointList.h"

TEST(PanSegment, InterpolatesBetweenPointsAndRampsFromCentreBeforeTheFirst) {
    PanPointList list;
    list.AddPoint(1000, 30);
    list.AddPoint(3000, -30);
    std::unique_ptr<PanSegment> seg;

    ASSERT_TRUE(ComputePanSegment(list, 10000, 2000, seg));
    EXPECT_EQ(seg->startPos, 2000u);
    EXPECT_EQ(seg->startPan, 0);
    EXPECT_EQ(seg->endPos, 3000u);
    EXPECT_EQ(seg->endPan, -30);
    EXPECT_DOUBLE_EQ(seg->slope, -0.03);

    ASSERT_TRUE(ComputePanSegment(list, 10000, 1500, seg));
    EXPECT_EQ(seg->startPan, 15);

    ASSERT_TRUE(ComputePanSegment(list, 10000, 1000, seg));  // on a point: its own pan
    EXPECT_EQ(seg->startPan, 30);
    EXPECT_EQ(seg->endPos, 3000u);

    ASSERT_TRUE(ComputePanSegment(list, 10000, 0, seg));
    EXPECT_EQ(seg->startPan, 0);
    EXPECT_EQ(seg->endPos, 1000u);
    EXPECT_EQ(seg->endPan, 30);
}

TEST(PanSegment, HoldsTheLastPanToTheEndAndKeepsThePlayOffset) {
    PanPointList list;
    list.AddPoint(5000, 40);
    std::unique_ptr<PanSegment> seg;
    ASSERT_TRUE(ComputePanSegment(list, 10000, 0, seg));
    EXPECT_EQ(seg->startPan, 0);
    EXPECT_EQ(seg->endPos, 5000u);
    EXPECT_EQ(seg->endPan, 40);
    EXPECT_DOUBLE_EQ(seg->slope, 0.008);
    seg->playOffset = 1234;

    ASSERT_TRUE(ComputePanSegment(list, 10000, 7000, seg));
    EXPECT_EQ(seg->startPan, 40);
    EXPECT_EQ(seg->endPos, 10000u);
    EXPECT_EQ(seg->endPan, 40);
    EXPECT_EQ(seg->slope, 0.0);
    EXPECT_EQ(seg->playOffset, 1234u);

    ASSERT_TRUE(ComputePanSegment(list, 10000, 10000, seg));  // at the end: no division
    EXPECT_EQ(seg->slope, 0.0);
}

TEST(PanSegment, LastOfEqualPositionsDecides) {
    PanPointList list;
    list.AddPoint(100, 10);
    list.AddPoint(100, 20);
    std::unique_ptr<PanSegment> seg;
    ASSERT_TRUE(ComputePanSegment(list, 1000, 100, seg));
    EXPECT_EQ(seg->startPan, 20);
    ASSERT_TRUE(ComputePanSegment(list, 1000, 50, seg));
    EXPECT_EQ(seg->endPan, 10);  // the first of them ends the ramp towards them
}

TEST(PanSegment, AnEmptyTrajectoryDestroysTheSegment) {
    PanPointList list;
    std::unique_ptr<PanSegment> seg;
    EXPECT_FALSE(ComputePanSegment(list, 1000, 0, seg));
    EXPECT_EQ(seg, nullptr);

    PanPoint* only = list.AddPoint(10, 10);
    ASSERT_TRUE(ComputePanSegment(list, 1000, 0, seg));
    list.RemovePoint(only);
    EXPECT_FALSE(ComputePanSegment(list, 1000, 0, seg));
    EXPECT_EQ(seg, nullptr);
}

TEST(PanSegment, SteppingAlongTheTrajectoryStaysWithinADegreeOfTheExactLine) {
    // The walk export makes: recompute at each segment end, step in between.
    PanPointList list;
    list.AddPoint(0, -90);
    list.AddPoint(8192, 90);
    list.AddPoint(9000, 89);
    list.AddPoint(20000, -37);
    const uint32_t frames = 30000;
    std::unique_ptr<PanSegment> seg;
    ASSERT_TRUE(ComputePanSegment(list, frames, 0, seg));
    for (uint32_t s = 0; s < frames; ++s) {
        int32_t pan;
        if (s == seg->endPos) {
            ASSERT_TRUE(ComputePanSegment(list, frames, s, seg));
            pan = seg->startPan;
        } else {
            pan = StepPan(*seg, s);
        }
        double exact;
        if (s < 8192) {
            exact = -90.0 + 180.0 * s / 8192.0;
        } else if (s < 9000) {
            exact = 90.0 - 1.0 * (s - 8192) / 808.0;
        } else if (s < 20000) {
            exact = 89.0 - 126.0 * (s - 9000) / 11000.0;
        } else {
            exact = -37.0;
        }
        ASSERT_LE(std::abs(pan - exact), 1.0) << "frame " << s;
        if (s == 0 || s == 8192 || s == 9000 || s == 20000) {
            EXPECT_EQ(pan, static_cast<int32_t>(exact)) << "a point's own pan at frame " << s;
        }
    }
    ASSERT_TRUE(ComputePanSegment(list, frames, 0, seg));
    EXPECT_EQ(StepPan(*seg, 4096), 0);
}
