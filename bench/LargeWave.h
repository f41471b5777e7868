#pragma once

#include <cstdint>
#include <string>

// The 600 MB sound that the open benchmarks read: 16-bit stereo at 44.1 kHz, written once by
// our own writer into /tmp and kept between runs.
constexpr uint32_t kLargeWaveDataBytes = 600u * 1000u * 1000u;
const std::string& LargeWave();

// A plain read() of the whole file into a fresh buffer, the baseline every open is measured
// against. Returns the seconds it took.
double PlainRead(const std::string& path);
