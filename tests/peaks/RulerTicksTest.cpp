// The time ruler's ticks and the times it and the status bar show, without a widget: which
// step each zoom gets, where its ticks stand and what their labels say.
#include "geometry/RulerTicks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/TimeText.h"
#include "geometry/WaveViewGeometry.h"

namespace {

// Labels stand at least this far apart in these tests.
constexpr double kLabelColumns = 80.0;

// A fitted view of frames frames in a window width columns wide, zoomed in zoomIns times, with
// the scale as the paint fits it.
WaveViewGeometry View(uint32_t frames, int width, int zoomIns = 0) {
    WaveViewGeometry g(frames);
    g.FirstDisplay(width, 200);
    for (int i = 0; i < zoomIns; ++i) {
        g.ZoomIn(200, 16, 0, 1);
    }
    g.UpdateScrollSizes();
    g.FitScaleToTotalWidth();
    return g;
}

std::vector<std::string> Labels(const std::vector<RulerTicks::Tick>& ticks) {
    std::vector<std::string> labels;
    for (const RulerTicks::Tick& tick : ticks) {
        if (tick.bLabelled) {
            labels.push_back(tick.label);
        }
    }
    return labels;
}

const RulerTicks::Tick* LabelAt(const std::vector<RulerTicks::Tick>& ticks,
                                const std::string& label) {
    for (const RulerTicks::Tick& tick : ticks) {
        if (tick.bLabelled && tick.label == label) {
            return &tick;
        }
    }
    return nullptr;
}

}  // namespace

TEST(TimeText, MinutesSecondsAndTruncatedMilliseconds) {
    EXPECT_EQ(TimeText::Precise(0, 44100), "0:00.000");
    EXPECT_EQ(TimeText::Precise(44099, 44100), "0:00.999");
    EXPECT_EQ(TimeText::Precise(44100, 44100), "0:01.000");
    EXPECT_EQ(TimeText::Precise(44100u * 61 + 22050, 44100), "1:01.500");
    // An hour stays in minutes, and so does the longest sound a 32-bit frame count holds.
    EXPECT_EQ(TimeText::Precise(158760000, 44100), "60:00.000");
    EXPECT_EQ(TimeText::Precise(4294967295u, 6000), "11930:27.882");
    EXPECT_EQ(TimeText::Precise(12345, 0), "0:00.000");
    EXPECT_EQ(TimeText::FromMilliseconds(599999), "9:59.999");
}

TEST(RulerTicks, AnHourLongSoundFittedCountsInFiveMinutes) {
    // 82687.5 frames a column: five minutes are 160 columns, one minute between the minors.
    const WaveViewGeometry g = View(158760000, 1920);
    const RulerTicks::Scale scale =
        RulerTicks::ChooseScale(g.SamplesPerPixel(), 44100, !g.CanZoomIn(), kLabelColumns);
    EXPECT_FALSE(scale.bFrames);
    EXPECT_EQ(scale.step, 300000u);
    EXPECT_EQ(scale.minorPerStep, 5);

    const auto ticks = RulerTicks::Layout(g, 44100, kLabelColumns);
    const std::vector<std::string> expected = {"0:00.000",  "5:00.000",  "10:00.000", "15:00.000",
                                               "20:00.000", "25:00.000", "30:00.000", "35:00.000",
                                               "40:00.000", "45:00.000", "50:00.000", "55:00.000"};
    EXPECT_EQ(Labels(ticks), expected);  // the end, 60:00, lies on the window's right edge
    ASSERT_NE(LabelAt(ticks, "5:00.000"), nullptr);
    EXPECT_EQ(LabelAt(ticks, "5:00.000")->x, 160);
    EXPECT_EQ(ticks.size(), 12u * 5);
    EXPECT_EQ(ticks[1].x, 32);  // the first minor: one minute
    EXPECT_FALSE(ticks[1].bLabelled);
}

TEST(RulerTicks, TenMinutesFittedCountInMinutesWithTenSecondMinors) {
    const WaveViewGeometry g = View(22050u * 600, 1000);
    const RulerTicks::Scale scale =
        RulerTicks::ChooseScale(g.SamplesPerPixel(), 22050, !g.CanZoomIn(), kLabelColumns);
    EXPECT_EQ(scale.step, 60000u);
    EXPECT_EQ(scale.minorPerStep, 6);
    const auto ticks = RulerTicks::Layout(g, 22050, kLabelColumns);
    EXPECT_EQ(Labels(ticks).size(), 10u);
    EXPECT_EQ(Labels(ticks).back(), "9:00.000");
    EXPECT_EQ(LabelAt(ticks, "3:00.000")->x, 300);
}

TEST(RulerTicks, TenSecondsCountInSecondsWithTenthsBetween) {
    // 551.25 frames a column: a second is exactly the 80 columns a label needs.
    const WaveViewGeometry g = View(441000, 800);
    const RulerTicks::Scale scale =
        RulerTicks::ChooseScale(g.SamplesPerPixel(), 44100, !g.CanZoomIn(), kLabelColumns);
    EXPECT_EQ(scale.step, 1000u);
    EXPECT_EQ(scale.minorPerStep, 10);
    const auto ticks = RulerTicks::Layout(g, 44100, kLabelColumns);
    EXPECT_EQ(Labels(ticks).front(), "0:00.000");
    EXPECT_EQ(Labels(ticks).back(), "0:09.000");
    EXPECT_EQ(LabelAt(ticks, "0:07.000")->x, 560);
    // The minors run on to 9.9 s; 10 s is the window's right edge.
    EXPECT_EQ(ticks.back().x, 792);
}

TEST(RulerTicks, TwoFramesAColumnCountInMilliseconds) {
    // Not yet the deepest zoom: times, five milliseconds apart, a millisecond between minors.
    const WaveViewGeometry g = View(2000, 1000);
    ASSERT_TRUE(g.CanZoomIn());
    const RulerTicks::Scale scale =
        RulerTicks::ChooseScale(g.SamplesPerPixel(), 48000, !g.CanZoomIn(), kLabelColumns);
    EXPECT_FALSE(scale.bFrames);
    EXPECT_EQ(scale.step, 5u);
    EXPECT_EQ(scale.minorPerStep, 5);
    const auto ticks = RulerTicks::Layout(g, 48000, kLabelColumns);
    const std::vector<std::string> expected = {"0:00.000", "0:00.005", "0:00.010",
                                               "0:00.015", "0:00.020", "0:00.025",
                                               "0:00.030", "0:00.035", "0:00.040"};
    EXPECT_EQ(Labels(ticks), expected);
    EXPECT_EQ(LabelAt(ticks, "0:00.010")->x, 240);
}

TEST(RulerTicks, TheDeepestZoomCountsFramesAndScrollsWithTheView) {
    WaveViewGeometry g = View(22050, 1000, 5);  // 22.05 frames a column down to one
    ASSERT_FALSE(g.CanZoomIn());
    const RulerTicks::Scale scale =
        RulerTicks::ChooseScale(g.SamplesPerPixel(), 22050, true, kLabelColumns);
    EXPECT_TRUE(scale.bFrames);
    EXPECT_EQ(scale.step, 100u);
    EXPECT_EQ(scale.minorPerStep, 10);
    EXPECT_EQ(Labels(RulerTicks::Layout(g, 22050, kLabelColumns)).front(), "0");

    // Scrolled to column 12345: the label left of the edge still shows its end.
    g.SetScrollPosition(12345);
    const auto ticks = RulerTicks::Layout(g, 22050, kLabelColumns);
    ASSERT_FALSE(ticks.empty());
    EXPECT_EQ(ticks.front().label, "12300");
    EXPECT_EQ(ticks.front().x, -45);
    EXPECT_EQ(LabelAt(ticks, "12400")->x, 55);
    EXPECT_EQ(LabelAt(ticks, "13300")->x, 955);
    // Between them, one frame in ten.
    EXPECT_EQ(ticks[1].x, 5);
    EXPECT_EQ(ticks[1].value, 12350u);
}

TEST(RulerTicks, EveryZoomKeepsItsLabelsApartAndItsMinorsVisible) {
    // From fitted to the deepest zoom of a minute of sound, the labels never crowd.
    for (int zoomIns = 0; zoomIns <= 12; ++zoomIns) {
        const WaveViewGeometry g = View(44100 * 60, 1200, zoomIns);
        const auto ticks = RulerTicks::Layout(g, 44100, kLabelColumns);
        int lastLabel = -1000000;
        int lastTick = -1000000;
        int labels = 0;
        for (const RulerTicks::Tick& tick : ticks) {
            if (tick.bLabelled) {
                EXPECT_GE(tick.x - lastLabel, 80) << zoomIns;
                lastLabel = tick.x;
                ++labels;
            }
            EXPECT_GE(tick.x - lastTick, 4) << zoomIns;
            lastTick = tick.x;
        }
        EXPECT_GE(labels, 2) << zoomIns;
    }
}
