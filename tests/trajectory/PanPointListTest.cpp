#include "trajectory/PanPointList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "support/ScriptedPrompts.h"
#include "support/Trajectory.h"

namespace {

// A list whose memory runs out after a given number of new points.
class StarvedList : public PanPointList {
  public:
    explicit StarvedList(int allowed) : m_allowed(allowed) {}

  protected:
    std::unique_ptr<PanPoint> CreatePoint(const PanPoint& value) override {
        if (m_allowed-- <= 0) {
            return nullptr;
        }
        return PanPointList::CreatePoint(value);
    }

  private:
    int m_allowed;
};

}  // namespace

TEST(PanPointList, InsertsInOrderAfterEqualPositions) {
    PanPointList list;
    list.AddPoint(500, 1);
    PanPoint* first = list.AddPoint(100, 10);
    PanPoint* second = list.AddPoint(100, 20);
    list.AddPoint(0, -5);
    list.AddPoint(100, 30);
    list.AddPoint(4294967295u, 90);  // unsigned order: the largest frame goes last
    EXPECT_EQ(PointsOf(list),
              (PanPairs{{0, -5}, {100, 10}, {100, 20}, {100, 30}, {500, 1}, {4294967295u, 90}}));
    EXPECT_EQ(list.PreviousPoint(second), first);
    EXPECT_EQ(list.PointAtOrBefore(100)->Pan(), 30);
    EXPECT_EQ(list.PointAtOrBefore(99)->Pan(), -5);
    EXPECT_EQ(list.GetCount(), 6u);
}

TEST(PanPointList, PointAtOrBeforeStopsAtTheFirstLaterPointEvenWhenOutOfOrder) {
    PanPointList list;
    list.AddPoint(10, 1);
    PanPoint* moved = list.AddPoint(20, 2);
    list.AddPoint(30, 3);
    moved->position = 50;  // edited in place, not re-sorted
    EXPECT_EQ(list.PointAtOrBefore(40)->Pan(), 1);
    EXPECT_EQ(list.PointAtOrBefore(5), nullptr);
}

TEST(PanPointList, PointsAreIdentifiedByAddressNotByValue) {
    PanPointList list, other;
    PanPoint* mine = list.AddPoint(100, 10);
    PanPoint* twin = other.AddPoint(100, 10);

    EXPECT_FALSE(list.RemovePoint(twin));
    EXPECT_EQ(list.NextPoint(twin), nullptr);
    EXPECT_EQ(list.PreviousPoint(twin), nullptr);
    EXPECT_EQ(list.GetCount(), 1u);

    EXPECT_EQ(list.NextPoint(mine), nullptr);
    EXPECT_EQ(list.PreviousPoint(mine), nullptr);
    EXPECT_TRUE(list.RemovePoint(mine));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.NextPoint(nullptr), nullptr);
    EXPECT_EQ(list.PointAtOrBefore(1000), nullptr);
    EXPECT_EQ(other.GetCount(), 1u);
}

TEST(PanPointList, FindInRangeHonoursBothBoundsInclusively) {
    PanPointList list;
    list.AddPoint(100, -90);
    list.AddPoint(200, 0);
    list.AddPoint(300, 90);
    EXPECT_EQ(list.FindInRange(100, 300, -90, 90)->position, 100u);
    EXPECT_EQ(list.FindInRange(101, 300, -90, 90)->position, 200u);
    EXPECT_EQ(list.FindInRange(201, 299, -90, 90), nullptr);
    EXPECT_EQ(list.FindInRange(0, 299, 1, 90), nullptr);  // the last point lies outside
    EXPECT_EQ(list.FindInRange(300, 300, 90, 90)->Pan(), 90);
    EXPECT_EQ(list.FindInRange(0, 1000, -10, 10)->position, 200u);
}

TEST(PanPointList, CopyTransformedScalesTruncatesAndKeepsCollisions) {
    PanPointList source;
    source.AddPoint(2, -10);
    source.AddPoint(3, 10);
    PanPointList target;
    ScriptedPrompts prompts;
    EXPECT_TRUE(target.CopyTransformed(source, nullptr, -1, 0.5f, 0, true, 0, prompts));
    EXPECT_EQ(PointsOf(target), (PanPairs{{1, -10}, {1, 10}}));

    PanPointList relative;
    source.AddPoint(1200, 30);
    source.AddPoint(2500, -30);
    const PanPoint* start = source.FindInRange(1000, 3000, -90, 90);
    EXPECT_TRUE(relative.CopyTransformed(source, start, 2, 1.0f, 1000, false, 0, prompts));
    EXPECT_EQ(PointsOf(relative), (PanPairs{{200, 30}, {1500, -30}}));
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST(PanPointList, CopyTransformedLimitKeepsTheLimitAndSkipsBeyondButCountsSkipped) {
    PanPointList source;
    source.AddPoint(0, 1);
    source.AddPoint(500, 2);
    source.AddPoint(501, 3);
    source.AddPoint(600, 4)->position = 5;  // edited in place: the list is out of order now
    ScriptedPrompts prompts;
    // Offset 9500 onto limit 10000: 500 lands on the limit, 501 one past it.
    PanPointList three;
    EXPECT_TRUE(three.CopyTransformed(source, nullptr, 3, 1.0f, 9500, true, 10000, prompts));
    EXPECT_EQ(PointsOf(three), (PanPairs{{9500, 1}, {10000, 2}}));
    PanPointList four;  // the skipped point used up one of the three above
    EXPECT_TRUE(four.CopyTransformed(source, nullptr, 4, 1.0f, 9500, true, 10000, prompts));
    EXPECT_EQ(PointsOf(four), (PanPairs{{9500, 1}, {9505, 4}, {10000, 2}}));

    PanPointList all;
    EXPECT_TRUE(all.CopyTransformed(source, nullptr, -1, 1.0f, 20000, true, 100, prompts));
    EXPECT_TRUE(all.IsEmpty());  // every point skipped still counts as success
}

TEST(PanPointList, CopyTransformedRefusesAnEmptySourceOrAForeignStart) {
    PanPointList empty, source, target, foreign;
    ScriptedPrompts prompts;
    EXPECT_FALSE(target.CopyTransformed(empty, nullptr, -1, 1.0f, 0, true, 0, prompts));
    source.AddPoint(5, 5);
    const PanPoint* stranger = foreign.AddPoint(5, 5);
    EXPECT_FALSE(target.CopyTransformed(source, stranger, -1, 1.0f, 0, true, 0, prompts));
    EXPECT_TRUE(target.IsEmpty());
}

TEST(PanPointList, CopyTransformedCopiesIntoItselfOnce) {
    PanPointList list;
    list.AddPoint(10, 1);
    list.AddPoint(20, 2);
    ScriptedPrompts prompts;
    EXPECT_TRUE(list.CopyTransformed(list, nullptr, -1, 1.0f, 100, true, 0, prompts));
    EXPECT_EQ(PointsOf(list), (PanPairs{{10, 1}, {20, 2}, {110, 1}, {120, 2}}));
}

TEST(PanPointList, CopyTransformedReportsAFailedAdditionAndStops) {
    PanPointList source;
    for (uint32_t i = 0; i < 5; ++i) {
        source.AddPoint(i * 10, static_cast<int32_t>(i));
    }
    StarvedList target(2);
    ScriptedPrompts prompts;
    EXPECT_FALSE(target.CopyTransformed(source, nullptr, -1, 1.0f, 0, true, 0, prompts));
    EXPECT_EQ(target.GetCount(), 2u);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, "Error adding pan point to list!");
    EXPECT_EQ(prompts.Boxes()[0].buttons, UserPrompts::Buttons::Ok);
    EXPECT_EQ(StarvedList(0).AddPoint(1, 1), nullptr);
}

TEST(PanPointList, ReplaceRunKeepsTheObjectsItCanAndAddsOrDropsTheRest) {
    PanPointList list;
    PanPoint* a = list.AddPoint(10, 1);
    PanPoint* b = list.AddPoint(20, 2);
    PanPoint* c = list.AddPoint(30, 3);
    const std::vector<PanPoint> two = {{15, -5}, {16, -6}};
    ASSERT_TRUE(list.ReplaceRun(1, 1, two));  // one point becomes two
    EXPECT_EQ(PointsOf(list), (PanPairs{{10, 1}, {15, -5}, {16, -6}, {30, 3}}));
    EXPECT_EQ(list.NextPoint(a), b);  // rewritten in place
    EXPECT_EQ(list.NextPoint(list.NextPoint(b)), c);

    ASSERT_TRUE(list.ReplaceRun(0, 3, std::vector<PanPoint>{{12, 0}}));  // three become one
    EXPECT_EQ(PointsOf(list), (PanPairs{{12, 0}, {30, 3}}));
    EXPECT_EQ(list.NextPoint(nullptr), a);
    EXPECT_FALSE(list.Contains(b));
    EXPECT_EQ(list.Values().size(), 2u);

    ASSERT_TRUE(list.ReplaceRun(2, 0, std::vector<PanPoint>{{40, 4}}));  // appended at the end
    EXPECT_EQ(PointsOf(list), (PanPairs{{12, 0}, {30, 3}, {40, 4}}));

    StarvedList starved(1);
    ASSERT_NE(starved.AddPoint(1, 1), nullptr);
    EXPECT_FALSE(starved.ReplaceRun(1, 0, std::vector<PanPoint>{{2, 2}}));
    EXPECT_EQ(PointsOf(starved), (PanPairs{{1, 1}}));
}

// The bulk insert must build exactly the list that one AddPoint after another builds: the same
// order, equal positions in the order they came, after the points already there.
TEST(PanPointList, AddPointsGivesTheListOneByOneInsertionGives) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE(round);
        const size_t before = random() % 20;
        const size_t count = random() % 300;
        // Few distinct positions in some rounds, so equal positions are common.
        const uint32_t spread = round % 3 == 0 ? 8 : (round % 3 == 1 ? 1000 : 0xFFFFFFFFu);
        PanPointList oneByOne;
        PanPointList bulk;
        int32_t tag = 0;  // a pan of its own for every point shows where each one went
        for (size_t i = 0; i < before; ++i) {
            const uint32_t position = random() % spread;
            oneByOne.AddPoint(position, tag);
            bulk.AddPoint(position, tag);
            ++tag;
        }
        std::vector<PanPoint> points(count);
        for (PanPoint& point : points) {
            point = {static_cast<uint32_t>(random() % spread), tag++};
        }
        if (round % 5 == 0) {
            std::sort(points.begin(), points.end(),
                      [](const PanPoint& a, const PanPoint& b) { return a.position < b.position; });
        }
        for (const PanPoint& point : points) {
            oneByOne.AddPoint(point);
        }
        EXPECT_EQ(bulk.AddPoints(points), count);
        ASSERT_EQ(PointsOf(bulk), PointsOf(oneByOne));
        // Every point is reachable by identity both ways.
        for (const PanPoint* p = bulk.NextPoint(nullptr); p; p = bulk.NextPoint(p)) {
            ASSERT_TRUE(bulk.Contains(p));
            const PanPoint* next = bulk.NextPoint(p);
            EXPECT_TRUE(next == nullptr || bulk.PreviousPoint(next) == p);
        }
    }
}

TEST(PanPointList, AddPointsLeavesOutThePointsWithoutMemory) {
    StarvedList list(3);
    list.AddPoint(15, 0);
    const std::vector<PanPoint> points = {{30, 1}, {10, 2}, {20, 3}};
    EXPECT_EQ(list.AddPoints(points), 2u);
    const PanPairs got = PointsOf(list);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end())) << "still in order";
    EXPECT_NE(std::find(got.begin(), got.end(), std::pair<uint32_t, int32_t>{15, 0}), got.end());
}
