#include "support/Interaural.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "support/SoundIo.h"

Interaural Interaural::Measure(const std::vector<float>& left, const std::vector<float>& right,
                               size_t begin, size_t end, int maxLag) {
    Interaural result;
    double best = -1e300;
    for (int lag = -maxLag; lag <= maxLag; ++lag) {
        double sum = 0.0;
        for (size_t n = begin; n < end; ++n) {
            const long m = static_cast<long>(n) + lag;
            if (m >= static_cast<long>(begin) && m < static_cast<long>(end)) {
                sum += double{left[n]} * right[static_cast<size_t>(m)];
            }
        }
        if (sum > best) {
            best = sum;
            result.lagFrames = lag;
        }
    }
    double left2 = 0.0;
    double right2 = 0.0;
    for (size_t n = begin; n < end; ++n) {
        left2 += double{left[n]} * left[n];
        right2 += double{right[n]} * right[n];
    }
    result.levelDb = 10.0 * std::log10(left2 / right2);
    return result;
}

std::vector<uint8_t> MakeNoise16(uint32_t frames, double amplitude, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-amplitude, amplitude);
    std::vector<uint8_t> bytes(size_t{frames} * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto sample = static_cast<int16_t>(std::lround(noise(rng) * 32767.0));
        std::memcpy(&bytes[size_t{i} * 2], &sample, 2);
    }
    return bytes;
}

bool ReadStereo16(const std::string& path, StereoSamples* samples) {
    const SoundContents sound = ReadSound(path);
    if (!sound.bOpened || sound.format.channels != 2 || sound.format.bitsPerSample != 16) {
        return false;
    }
    samples->rate = sound.format.sampleRate;
    samples->peak = 0;
    for (size_t i = 0; i + 4 <= sound.samples.size(); i += 4) {
        int16_t left = 0;
        int16_t right = 0;
        std::memcpy(&left, &sound.samples[i], 2);
        std::memcpy(&right, &sound.samples[i + 2], 2);
        samples->left.push_back(left / 32768.0f);
        samples->right.push_back(right / 32768.0f);
        samples->peak = std::max({samples->peak, std::abs(int{left}), std::abs(int{right})});
    }
    return true;
}
