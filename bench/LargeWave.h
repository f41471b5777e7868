#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

// The 600 MB sound that the open benchmarks read: 16-bit stereo at 44.1 kHz, written once by
// our own writer into /tmp and kept between runs.
constexpr uint32_t kLargeWaveDataBytes = 600u * 1000u * 1000u;
const std::string& LargeWave();

// A plain read() of the whole file into a fresh buffer, the baseline every open is measured
// against. Returns the seconds it took.
double PlainRead(const std::string& path);

// Times open(path) against PlainRead(path) in every iteration, in alternating order so both
// see the same machine load, and reports ratio_to_plain_read. open returns its seconds.
void MeasureAgainstPlainRead(benchmark::State& state,
                             const std::function<double(const std::string&)>& open);
// The same for another file of dataBytes bytes of samples.
void MeasureAgainstPlainRead(benchmark::State& state, const std::string& path, uint64_t dataBytes,
                             const std::function<double(const std::string&)>& open);
