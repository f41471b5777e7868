#pragma once

#include <cstdint>
#include <string>
#include <vector>

class WaveViewGeometry;

// The ticks of the time ruler above a wave view, as plain arithmetic over the view's
// geometry: labelled ticks on a 1-2-5 ladder of times (milliseconds up to hours) or, at the
// deepest zoom, of frame counts, and unlabelled ticks between them. Columns are the window
// columns of WaveViewGeometry; frames are sample frames from 0.
namespace RulerTicks {

// Unlabelled ticks stand at least this many columns apart.
inline constexpr double kMinMinorColumns = 5.0;

struct Scale {
    bool bFrames = false;  // labels count frames; otherwise they are m:ss.mmm times
    uint64_t step = 1;     // between labelled ticks: frames, or milliseconds
    int minorPerStep = 1;  // intervals each step is split into by unlabelled ticks
};

// The finest step whose labels stand at least labelColumns apart at framesPerColumn, the
// minor ticks as fine as kMinMinorColumns allows. bDeepest (the view cannot zoom in further)
// counts in frames. A rate of 0 counts as 1 Hz.
Scale ChooseScale(double framesPerColumn, uint32_t rate, bool bDeepest, double labelColumns);

struct Tick {
    int x = 0;  // window column; labelled ticks may start left of the window, their text shows
    bool bLabelled = false;
    std::string label;   // "m:ss.mmm" or a frame number, on labelled ticks only
    uint64_t value = 0;  // the tick's time in milliseconds, or its frame
};

// The ticks over the window of geometry, whose scale must be the one the view paints with,
// for a sound at rate Hz; none past the sound's end.
std::vector<Tick> Layout(const WaveViewGeometry& geometry, uint32_t rate, double labelColumns);

}  // namespace RulerTicks
