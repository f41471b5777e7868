// The recording control alone, with a sink that keeps what it is told: thinning, and the
// thread rule (a feeder off the interface thread goes through the inbox, heard at the next
// tick; a call from another thread stops the program).
#include "trajectory/TrajectoryControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Value = TrajectoryControl::Value;
using Feed = TrajectoryControl::Feed;

struct KeptSink : TrajectoryControl::Sink {
    TrajectoryControl::Sample ValueAt(Value, uint32_t frame) const override { return {frame, 0}; }
    void OnPassBegun(Value, uint32_t frame) override { begun.push_back(frame); }
    void OnCapture(const TrajectoryControl::Sample& latest) override {
        captures.push_back({latest.frame, latest.value});
    }
    void OnPassEnded(const std::vector<TrajectoryControl::Sample>& kept) override {
        ended.emplace_back();
        for (const auto& sample : kept) {
            ended.back().push_back({sample.frame, sample.value});
        }
    }
    std::vector<uint32_t> begun;
    std::vector<std::pair<uint32_t, double>> captures;
    std::vector<std::vector<std::pair<uint32_t, double>>> ended;
};

struct StillClock : TrajectoryControl::Clock {
    std::optional<uint32_t> HeardFrameNow() override { return 0; }
};

}  // namespace

TEST(TrajectoryControl, ThinningKeepsTheFewestSamplesWithinTheTolerance) {
    const auto make = [](std::function<double(uint32_t)> f, uint32_t count) {
        std::vector<TrajectoryControl::Sample> samples;
        for (uint32_t i = 0; i < count; ++i) {
            samples.push_back({i * 100, f(i * 100)});
        }
        return samples;
    };
    const struct {
        const char* name;
        std::vector<TrajectoryControl::Sample> samples;
        size_t kept;
    } kCases[] = {
        {"still", make([](uint32_t) { return 12.0; }, 50), 2},
        {"ramp", make([](uint32_t f) { return f / 100.0; }, 50), 2},
        {"peak", make([](uint32_t f) { return f < 2500 ? f / 50.0 : (5000 - f) / 50.0; }, 51), 3},
        {"jitter", make([](uint32_t f) { return (f / 100) % 2 ? 0.4 : 0.0; }, 50), 2},
        {"one", make([](uint32_t) { return 1.0; }, 1), 1},
        // Still in value, a peak in the second: the second keeps its point.
        {"second",
         [] {
             std::vector<TrajectoryControl::Sample> samples;
             for (uint32_t i = 0; i <= 50; ++i) {
                 samples.push_back({i * 100, 5.0, i <= 25 ? i * 2.0 : (50 - i) * 2.0});
             }
             return samples;
         }(),
         3},
    };
    for (const auto& c : kCases) {
        const std::vector<size_t> kept = TrajectoryControl::Thin(c.samples, 0.5);
        EXPECT_EQ(kept.size(), c.kept) << c.name;
        for (size_t k = 1; k < kept.size(); ++k) {
            const auto& a = c.samples[kept[k - 1]];
            const auto& b = c.samples[kept[k]];
            for (size_t i = kept[k - 1]; i <= kept[k]; ++i) {
                const double t = double(c.samples[i].frame - a.frame) / (b.frame - a.frame);
                EXPECT_LE(std::abs(a.value + (b.value - a.value) * t - c.samples[i].value), 0.5)
                    << c.name << " " << i;
                EXPECT_LE(std::abs(a.second + (b.second - a.second) * t - c.samples[i].second), 0.5)
                    << c.name << " " << i;
            }
        }
    }
}

// A head tracker on a thread of its own: its touch, moves and release wait in the inbox and
// reach the pass only at the ticks, each at its tick's frame; nothing is written between.
TEST(TrajectoryControl, AFeederOnAnotherThreadIsTakenAtTheTicks) {
    KeptSink sink;
    TrajectoryControl control(sink);
    StillClock clock;
    control.Started(0, TrajectoryControl::Mode::Touch, clock);
    const auto feed = [&](std::vector<Feed> feeds) {
        std::thread feeder([&] {
            for (const Feed& f : feeds) {
                EXPECT_TRUE(control.FeedInbox().Push(f));
            }
        });
        feeder.join();
    };
    feed({{Feed::Kind::Touch, Value::Azimuth, 10.0}, {Feed::Kind::Move, Value::Azimuth, 20.0}});
    EXPECT_TRUE(sink.begun.empty());
    control.Tick(1000);
    EXPECT_EQ(sink.begun, std::vector<uint32_t>{1000});
    feed({{Feed::Kind::Move, Value::Azimuth, 50.0}});
    EXPECT_EQ(sink.captures.size(), 2u);  // the touch, and the tick's capture of the move
    control.Tick(2000);
    feed({{Feed::Kind::Release}});
    EXPECT_TRUE(sink.ended.empty());
    control.Tick(3000);
    const std::vector<std::pair<uint32_t, double>> captured = {
        {1000, 10.0}, {1000, 20.0}, {2000, 50.0}, {3000, 50.0}};
    EXPECT_EQ(sink.captures, captured);
    ASSERT_EQ(sink.ended.size(), 1u);
    EXPECT_EQ(sink.ended[0].front(), (std::pair<uint32_t, double>{1000, 20.0}));
    EXPECT_EQ(sink.ended[0].back(), (std::pair<uint32_t, double>{3000, 50.0}));
}

TEST(TrajectoryControlDeathTest, ACallOffItsThreadOrASecondFeedingThreadStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* name;
        std::function<void(TrajectoryControl&)> offThread;
        const char* message;
    } kCases[] = {
        {"touch", [](TrajectoryControl& c) { c.Touch(Value::Azimuth, 5.0); }, "off its thread"},
        {"tick", [](TrajectoryControl& c) { c.Tick(10); }, "off its thread"},
        {"second feeder", [](TrajectoryControl& c) { c.FeedInbox().Push({Feed::Kind::Move}); },
         "second thread fed the inbox"},
    };
    for (const auto& c : kCases) {
        EXPECT_DEATH(
            {
                KeptSink sink;
                TrajectoryControl control(sink);
                StillClock clock;
                control.Started(0, TrajectoryControl::Mode::Touch, clock);
                control.FeedInbox().Push({Feed::Kind::Move});  // this thread feeds first
                std::thread other([&] { c.offThread(control); });
                other.join();
            },
            c.message)
            << c.name;
    }
}
