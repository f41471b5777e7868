#pragma once

#include <cstdint>

#include "platform/DistanceLaw.h"

// What reaches the listener from a source along one path at one moment: where it comes from as
// the listener's head hears it, how far it travelled and how loud it is. Renderers place and
// weigh a signal by it; none works out a distance gain, a delay or a direction of its own.
struct Arrival {
    double azimuth = 0.0;    // degrees from the head's front, -180 .. 180, +90 right
    double elevation = 0.0;  // degrees, +90 straight up
    double width = 0.0;      // a two-channel source's spread around the direction, degrees
    double distanceCm = kDefaultDistanceCm;  // the length of the path
    double gain = 1.0;                       // linear: the distance law, and what the path took
};

// A stretch of heard frames [first, end) and the arrival at its two edges: a renderer moves
// from one to the other across it.
struct ArrivalRun {
    uint64_t first = 0;
    uint64_t end = 0;  // at least first + 1
    Arrival start;
    Arrival finish;
};
