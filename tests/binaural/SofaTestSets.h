#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sofa/HrtfFilterBank.h"
#include "trajectory/SoundPlace.h"

// The SOFA renderer's test sets: the installed default ("default") and the sets
// make_sofa.py writes (run once per test process with /usr/bin/python3 into a temporary
// folder), with what the tests measure of a render.

// The file of a set by name: "default", or a make_sofa.py name such as "grid-48000".
std::string SofaSetPath(const std::string& name);
// The set ready at rate, prepared once per process; fails the test when it cannot be.
std::shared_ptr<const HrtfFilterBank> PreparedBank(const std::string& name, uint32_t rate);

struct Ears {
    std::vector<float> left;
    std::vector<float> right;
};

using PlaceOfFrame = std::function<SoundPlace(uint64_t frame)>;

// input (channels interleaved) through a SofaBinauralStream: from frame `from` (a seek when
// not 0) to the end of the input, asking the frame counts of calls in turn.
Ears RenderSofa(std::shared_ptr<const HrtfFilterBank> bank, uint16_t channels,
                const std::vector<float>& input, const PlaceOfFrame& place,
                const std::vector<uint32_t>& calls = {4096}, uint64_t from = 0);

// The pair of responses the file holds at a SOFA direction (azimuth to the left, degrees),
// read with libmysofa itself and resampled to rate with libsoxr's very high quality, scaled by
// the ratio of the rates. Fails the test when the file has no such measurement.
Ears MeasuredPair(const std::string& path, double sofaAzimuth, double sofaElevation, uint32_t rate);

// How far out is from input through pair, after the one gain and delay (0 to 300 frames) that
// fit it best, over frames [from, to): error energy to output energy, dB, both ears together.
// pLag, when given, receives that delay.
double MatchErrorDb(const Ears& out, const std::vector<float>& input, const Ears& pair, size_t from,
                    size_t to, size_t* pLag = nullptr);

// Seeded white noise of peak 0.5.
std::vector<float> WhiteNoise(size_t samples, uint32_t seed);
// The same, filtered to fall 3 dB an octave, as music and speech do on average.
std::vector<float> PinkNoise(size_t samples, uint32_t seed);
