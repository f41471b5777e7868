#include "geometry/RulerTicks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

#include "geometry/TimeText.h"
#include "geometry/WaveViewGeometry.h"

namespace {

// Minor counts, finest first; 0 ends the list.
using Minors = std::array<int, 3>;

struct Rung {
    uint64_t step;
    Minors minors;
};

// Times in milliseconds: the 1-2-5 ladder, then the clock's own steps from 15 s on.
const Rung kTimeRungs[] = {
    {1, {10, 5, 2}},         {2, {4, 2}},         {5, {5}},
    {10, {10, 5, 2}},        {20, {4, 2}},        {50, {5}},
    {100, {10, 5, 2}},       {200, {4, 2}},       {500, {5}},
    {1000, {10, 5, 2}},      {2000, {4, 2}},      {5000, {5}},
    {10000, {10, 5, 2}},     {15000, {3}},        {30000, {6, 3}},
    {60000, {6, 4, 2}},      {120000, {4, 2}},    {300000, {5}},
    {600000, {10, 5, 2}},    {900000, {3}},       {1800000, {6, 3}},
    {3600000, {6, 4, 2}},    {7200000, {4, 2}},   {18000000, {5}},
    {36000000, {10, 5, 2}},  {72000000, {4, 2}},  {180000000, {5}},
    {360000000, {10, 5, 2}}, {720000000, {4, 2}},
};

int ChooseMinor(uint64_t step, const Minors& minors, double columnsPerUnit, bool bWholeUnits) {
    for (const int minor : minors) {
        if (minor == 0) {
            break;
        }
        if (bWholeUnits && step % static_cast<uint64_t>(minor) != 0) {
            continue;
        }
        if (static_cast<double>(step) / minor * columnsPerUnit >= RulerTicks::kMinMinorColumns) {
            return minor;
        }
    }
    return 1;
}

}  // namespace

RulerTicks::Scale RulerTicks::ChooseScale(double framesPerColumn, uint32_t rate, bool bDeepest,
                                          double labelColumns) {
    const double perColumn = framesPerColumn > 0.0 ? framesPerColumn : 1.0;
    Scale scale;
    scale.bFrames = bDeepest;
    if (bDeepest) {
        // 1, 2, 5, 10, 20, 50 ... frames; a step of 2 splits only into single frames.
        const double columnsPerFrame = 1.0 / perColumn;
        uint64_t decade = 1;
        for (;;) {
            for (const uint64_t mantissa : {uint64_t{1}, uint64_t{2}, uint64_t{5}}) {
                const uint64_t step = decade * mantissa;
                if (static_cast<double>(step) * columnsPerFrame >= labelColumns ||
                    step >= 1000000000u) {
                    scale.step = step;
                    const Minors minors = mantissa == 1   ? Minors{10, 5, 2}
                                          : mantissa == 2 ? Minors{2, 0, 0}
                                                          : Minors{5, 0, 0};
                    scale.minorPerStep = ChooseMinor(step, minors, columnsPerFrame, true);
                    return scale;
                }
            }
            decade *= 10;
        }
    }
    const double columnsPerMs = (rate == 0 ? 1.0 : rate) / 1000.0 / perColumn;
    const Rung* chosen = &kTimeRungs[std::size(kTimeRungs) - 1];
    for (const Rung& rung : kTimeRungs) {
        if (static_cast<double>(rung.step) * columnsPerMs >= labelColumns) {
            chosen = &rung;
            break;
        }
    }
    scale.step = chosen->step;
    scale.minorPerStep = ChooseMinor(chosen->step, chosen->minors, columnsPerMs, false);
    return scale;
}

std::vector<RulerTicks::Tick> RulerTicks::Layout(const WaveViewGeometry& geometry, uint32_t rate,
                                                 double labelColumns) {
    std::vector<Tick> ticks;
    const double perColumn = geometry.SamplesPerPixel();
    if (!(perColumn > 0.0) || geometry.ImageWidth() <= 0) {
        return ticks;
    }
    const bool bDeepest = !geometry.CanZoomIn();
    const Scale scale = ChooseScale(perColumn, rate, bDeepest, labelColumns);
    // Frames per unit of the scale: one, or a millisecond's worth.
    const double framesPerUnit = scale.bFrames ? 1.0 : (rate == 0 ? 1.0 : rate) / 1000.0;
    const double minorUnits = static_cast<double>(scale.step) / scale.minorPerStep;
    const auto left = static_cast<double>(geometry.LeftColumn());
    const double width = geometry.ImageWidth();
    const double frames = geometry.FrameCount();

    // From the first minor tick whose label could still reach into the window.
    const double firstUnit = std::max(0.0, (left - labelColumns) * perColumn / framesPerUnit);
    auto index = static_cast<uint64_t>(std::ceil(firstUnit / minorUnits));
    for (;; ++index) {
        const uint64_t major = index / static_cast<uint64_t>(scale.minorPerStep);
        const bool bLabelled = index % static_cast<uint64_t>(scale.minorPerStep) == 0;
        const double units = static_cast<double>(index) * minorUnits;
        const double frame = units * framesPerUnit;
        if (frame > frames) {
            break;
        }
        const double x = std::floor(frame / perColumn) - left;
        if (x >= width) {
            break;
        }
        if (x < 0.0 && !bLabelled) {
            continue;
        }
        Tick tick;
        tick.x = static_cast<int>(x);
        tick.bLabelled = bLabelled;
        tick.value = bLabelled ? major * scale.step : static_cast<uint64_t>(units);
        if (bLabelled) {
            tick.label =
                scale.bFrames ? std::to_string(tick.value) : TimeText::FromMilliseconds(tick.value);
        }
        ticks.push_back(std::move(tick));
    }
    return ticks;
}
