#pragma once

// The pan display's view from above in the all-around view: the listener in the middle, front
// up, +90 (right) to the right, distance outward on a log scale from 0.10 m at the middle to
// 100 m at the rim, so near and far sources both read. Pixels as real numbers; degrees and
// centimetres.
namespace TopView {

// Where a source at distanceCm lies from the middle, rim being the 100 m ring's radius.
double RadiusOf(double distanceCm, double rim);

struct Spot {
    double x = 0.0;
    double y = 0.0;
};
// A source at azimuth and distanceCm, the listener at (cx, cy).
Spot SourceAt(double azimuth, double distanceCm, double cx, double cy, double rim);

}  // namespace TopView
