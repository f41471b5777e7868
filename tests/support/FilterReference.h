#pragma once

#include <vector>

// A plain double-precision evaluation of the spatial filter's equations, written without the
// engine's lanes, rings or templates: gains at the filter input, sections in cascade, then
// the band's relative delay applied to whole output sequences. Input in 16-bit scale; dir
// holds the direction index in force at each sample.
struct ReferencePair {
    double left, right;
};

std::vector<ReferencePair> FilterReference(int band, const std::vector<float>& in,
                                           const std::vector<int>& dir);
