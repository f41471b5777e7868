#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "LargeWave.h"
#include "formats/CSoundFile.h"

// Opening a 600 MB 16-bit stereo WAV and reading all its samples into a fresh buffer, against
// a plain read() of the same file into a fresh buffer. The file is made once in /tmp and kept.
// Both sides read from the page cache, and both fault in a fresh buffer, which dominates.
namespace {

double OpenAndReadAll(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    CFile file(path, CFile::Mode::Read);
    std::unique_ptr<CSoundFile> sound = OpenSoundFile(file);
    PcmFormat format{};
    const uint32_t dataBytes = sound->ReadFormat(format);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[dataBytes]);
    if (!sound->ReadAllSamples(buffer.get(), dataBytes)) {
        std::abort();
    }
    benchmark::DoNotOptimize(buffer[dataBytes / 2]);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_PlainRead600MB(benchmark::State& state) {
    const std::string& path = LargeWave();
    PlainRead(path);  // warm the page cache
    for (auto _ : state) {
        state.SetIterationTime(PlainRead(path));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargeWaveDataBytes);
}
BENCHMARK(BM_PlainRead600MB)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_OpenSoundFileReadAllSamples600MB(benchmark::State& state) {
    MeasureAgainstPlainRead(state, OpenAndReadAll);
}
BENCHMARK(BM_OpenSoundFileReadAllSamples600MB)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
