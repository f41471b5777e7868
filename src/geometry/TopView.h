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

// The place a point (x, y) stands for, the inverse of SourceAt: azimuth -180 ... 180, the
// middle straight ahead; distance 10 ... 10000 cm, clamped at the middle and past the rim.
struct Place {
    double azimuth = 0.0;
    double distanceCm = 100.0;
};
Place PlaceAt(double x, double y, double cx, double cy, double rim);

// The view from the side beside it, the listener facing right: a source at its elevation's
// angle above or below the horizon, on the front (right) half for an azimuth within 90 degrees
// of ahead and on the back half otherwise, as far out as the view from above puts it.
Spot SideAt(double azimuth, double elevation, double distanceCm, double cx, double cy, double rim);

}  // namespace TopView
