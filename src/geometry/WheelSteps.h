#pragma once

#include <cstdint>

// A wheel's turns as whole steps. A notch (120 eighths of a degree) is one zoom step, or a
// tenth of the window's width in columns whatever the sound's length; the fine turns of
// high-resolution wheels and touch pads are carried over until they make a whole step.
// Positive deltas turn away from the user.
class WheelSteps {
  public:
    static constexpr int kNotch = 120;

    // Whole zoom steps in delta and what was carried: positive zooms in.
    int ZoomSteps(int delta);
    // Columns to move the window's left edge by for delta in a window width columns wide: a
    // notch moves it width / 10 columns (at least one); turning away moves toward the start.
    int64_t ScrollColumns(int delta, int width);
    // The columns a notch moves in a window width columns wide.
    static int64_t ColumnsPerNotch(int width);

  private:
    int m_zoomCarry = 0;         // eighths of a degree short of a notch
    double m_scrollCarry = 0.0;  // columns short of a whole one
};
