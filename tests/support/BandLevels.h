#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The level of a sound in octave or third-octave bands, for comparing what two directions do
// to its spectrum.
struct BandLevels {
    std::vector<double> centresHz;  // from 125 Hz up to the last centre below half the rate
    std::vector<double> db;         // power in each band, dB (only differences mean anything)

    // Both ears together (their powers added), over [begin, end) of the two channels,
    // averaged over Hann-windowed blocks of 4096 frames; bandsPerOctave 1 or 3. The top band
    // ends at half the rate.
    static BandLevels Measure(const std::vector<float>& left, const std::vector<float>& right,
                              size_t begin, size_t end, uint32_t rate, int bandsPerOctave = 1);
    // this - other, band by band (same rate and bands).
    std::vector<double> Minus(const BandLevels& other) const;
};
