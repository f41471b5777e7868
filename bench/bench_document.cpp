// Opening a 600 MB 16-bit stereo sound as the editor does (checks, one read of all samples
// with the peak summary built stretch by stretch, the master overview) against a plain read()
// of the same file into a fresh buffer. views:0 opens as the command-line tool does, with
// neither summary nor overview.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#include "LargeWave.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

double LoadSound(const std::string& path, bool bViews) {
    const auto start = std::chrono::steady_clock::now();
    TestDocumentHost host;
    host.showsViews = bViews;
    CTesselDoc doc(host);
    if (!DocumentOpen(doc).Open(path) || (doc.GetOverview() != nullptr) != bViews ||
        (doc.GetSampleData().summary != nullptr) != bViews) {
        std::abort();
    }
    benchmark::DoNotOptimize(doc.GetSamples()[doc.GetDataBytes() / 2]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds;  // freeing the samples is not part of the open
}

void BM_LoadSound600MB(benchmark::State& state) {
    const bool bViews = state.range(0) != 0;
    MeasureAgainstPlainRead(state,
                            [bViews](const std::string& path) { return LoadSound(path, bViews); });
}
BENCHMARK(BM_LoadSound600MB)
    ->ArgName("views")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Iterations(6)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Opening a sound whose pan chunk holds the most points a chunk can (65535), in an order that
// is hard for insertion, against the same points in ascending order, in the same iterations.
namespace {

constexpr uint32_t kChunkPoints = 65535;
constexpr uint32_t kChunkSoundFrames = 100000;

enum class PointOrder { Shuffled = 0, LastFirst = 1 };

// A mono 16-bit WAV of kChunkSoundFrames frames with the points in the order asked for.
std::string PanChunkWave(const TempDir& dir, const char* name, std::vector<PanChunkPoint> points) {
    TestSound sound;
    sound.samples = Bytes(size_t{kChunkSoundFrames} * 2, 0);
    sound.points = std::move(points);
    sound.chunkFrames = kChunkSoundFrames;
    WriteBytes(dir.File(name), BuildSoundFile(sound));
    return dir.File(name);
}

double OpenSeconds(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    TestDocumentHost host;
    CTesselDoc doc(host);
    if (!DocumentOpen(doc).Open(path) || doc.NextPoint(nullptr) == nullptr) {
        std::abort();
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_OpenPanChunk65535(benchmark::State& state) {
    TempDir dir;
    std::vector<PanChunkPoint> ascending;
    for (uint32_t i = 0; i < kChunkPoints; ++i) {
        ascending.push_back(
            {i * (kChunkSoundFrames / kChunkPoints), static_cast<int32_t>(i % 181) - 90});
    }
    std::vector<PanChunkPoint> hard = ascending;
    if (static_cast<PointOrder>(state.range(0)) == PointOrder::Shuffled) {
        std::shuffle(hard.begin(), hard.end(), std::mt19937(7));
    } else {
        // The last point first: every later one lands just before it, far from the head.
        std::rotate(hard.begin(), hard.end() - 1, hard.end());
    }
    const std::string ascendingPath = PanChunkWave(dir, "ascending.wav", ascending);
    const std::string hardPath = PanChunkWave(dir, "hard.wav", hard);
    double baseline = 0;
    double ours = 0;
    for (auto _ : state) {
        const double seconds = OpenSeconds(hardPath);
        baseline += OpenSeconds(ascendingPath);
        ours += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["ascending_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["ratio_to_ascending"] = ours / baseline;
}
BENCHMARK(BM_OpenPanChunk65535)
    ->ArgName("order")
    ->Arg(static_cast<int>(PointOrder::Shuffled))
    ->Arg(static_cast<int>(PointOrder::LastFirst))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
