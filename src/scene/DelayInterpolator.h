#pragma once

#include <cstdint>
#include <vector>

// Reads a signal between its samples: a Kaiser-windowed sinc of kTaps taps, tabulated at
// kPhases fractions of a frame. Flat enough that an 8 kHz tone at 48 kHz read at moving
// positions keeps every other component 90 dB down, and a click keeps its energy within 1 dB
// (a linear or cubic interpolator loses 2 to 3 dB half way between samples). At a whole frame
// it is that frame exactly. Shared, read-only once made.
class DelayInterpolator {
  public:
    static constexpr int kTaps = 16;
    // Taps before and after the frame at or before the position: the position p reads frames
    // floor(p) - kBefore .. floor(p) + kAfter.
    static constexpr int kBefore = kTaps / 2 - 1;
    static constexpr int kAfter = kTaps / 2;
    static constexpr int kPhases = 2048;

    static const DelayInterpolator& Shared();

    // The signal at a position between its frames: taps points at its frame
    // floor(position) - kBefore, and kTaps frames from there are read; fraction is the
    // position less its floor (0 <= fraction <= 1).
    float Read(const float* taps, double fraction) const;

    // The most the sum of a kernel's magnitudes reaches: no read passes the signal's peak by
    // more.
    float LargestSum() const { return m_largestSum; }

  private:
    DelayInterpolator();

    std::vector<float> m_table;
    float m_largestSum = 1.0f;  // (kPhases + 1) x kTaps, the kernel at each fraction
};
