#include "BenchSounds.h"

#include <random>

TestSound TenMinutesOfNoise() {
    TestSound sound;
    sound.format = MakeFormat(1, kTenMinutesRate, 16);
    sound.samples.resize(size_t{kTenMinutesFrames} * 2);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> noise(-8000, 8000);
    for (size_t i = 0; i < sound.samples.size(); i += 2) {
        const auto value = static_cast<uint16_t>(static_cast<int16_t>(noise(rng)));
        sound.samples[i] = static_cast<uint8_t>(value & 0xFF);
        sound.samples[i + 1] = static_cast<uint8_t>(value >> 8);
    }
    return sound;
}
