#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the ears get of a stereo render: the time difference by cross-correlation and the
// level difference, both measured over [begin, end) of the two channels.
struct Interaural {
    // Frames by which the right ear lags the left: positive when the left ear leads.
    int lagFrames = 0;
    // 20 log10(rms left / rms right): positive when the left ear is louder.
    double levelDb = 0.0;

    // The lag with the largest cross-correlation within +-maxLag frames.
    static Interaural Measure(const std::vector<float>& left, const std::vector<float>& right,
                              size_t begin, size_t end, int maxLag = 64);
};

// White noise of the given peak amplitude (full scale 1.0) as mono 16-bit samples, from a
// fixed seed.
std::vector<uint8_t> MakeNoise16(uint32_t frames, double amplitude, uint32_t seed = 7);

// The two channels of a 16-bit stereo WAV or AIFF file, full scale 1.0, and its rate; false
// when the file is not one.
struct StereoSamples {
    std::vector<float> left;
    std::vector<float> right;
    uint32_t rate = 0;
    int peak = 0;  // largest magnitude of any sample, in steps
};
bool ReadStereo16(const std::string& path, StereoSamples* samples);
