// Export Ambisonics of a 10-minute mono 16-bit 44.1 kHz sound placed all around (azimuth,
// elevation and distance moving), as the editor runs it (progress, dither, the file synced and
// put in place), against copying the file it wrote with dd conv=fsync, in alternating order in
// the same iterations. Both write a new file: the output of the iteration before is removed
// outside the timing, as dd's copy is, since replacing a file that large costs the file system
// as much as a fifth of the copy (freeing its blocks). Args: the order, the sample format
// (0 s16, 2 f32) and where the files go (0 the temp folder on disk, 1 /dev/shm); order 0 is
// Export Loudspeakers to 9+10+3 (24 channels) instead. Every export also measures its
// loudness. Counters:
// real_time_x (seconds of sound per second of export), ratio_to_fsync_copy, and
// ratio_to_unmeasured: the export over the same export with its loudness measuring turned off
// (ExportLoudness::SetMeasuring), timed in the same iterations.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "BenchClock.h"
#include "BenchSounds.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/ExportLoudness.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "document/CTesselDoc.h"
#include "render/SpeakerLayout.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr uint32_t kRate = kTenMinutesRate;
constexpr uint32_t kFrames = kTenMinutesFrames;

TestSound TenMinutesPlaced() {
    TestSound sound = TenMinutesOfNoise();
    for (uint32_t k = 0; k <= 40; ++k) {
        sound.points.push_back({std::min(kFrames - 1, k * (kFrames / 40)), 0});
    }
    sound.chunkFrames = kFrames;
    return sound;
}

void BM_AmbisonicsExport10Minutes(benchmark::State& state) {
    const TempDir temp;
    const std::filesystem::path folder =
        state.range(2) == 1
            ? std::filesystem::path("/dev/shm") / ("sonomap-bench-" + std::to_string(::getpid()))
            : temp.Path();
    std::filesystem::create_directories(folder);
    const std::string out = (folder / "out.wav").string();
    const std::string copy = (folder / "copy.wav").string();

    TestDocumentHost host;
    const std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, TenMinutesPlaced());
    // Around the head twice, rising and falling, near and far: a place every 15 s.
    size_t k = 0;
    for (PanPoint* point = doc->NextPoint(nullptr); point != nullptr;
         point = doc->NextPoint(point), ++k) {
        SetAzimuth(*point, static_cast<int64_t>(k) * 37);
        point->elevation = static_cast<int32_t>(k % 5) * 20 - 40;
        point->distanceCm = 50 + static_cast<uint32_t>(k % 7) * 60;
    }
    AmbisonicsExport::Options options;
    options.order = std::max(1, static_cast<int>(state.range(0)));
    if (state.range(0) == 0) {
        options.pLayout = SpeakerLayout::Find("9+10+3");
    }
    options.format = SampleFormatFromIndex(static_cast<int>(state.range(1))).value();

    double exportTotal = 0;
    double copyTotal = 0;
    double unmeasuredTotal = 0;
    bool bExportFirst = true;
    for (auto _ : state) {
        const auto exportOnce = [&] {
            std::filesystem::remove(out);
            const auto start = std::chrono::steady_clock::now();
            const bool bWritten = options.pLayout != nullptr
                                      ? LoudspeakerExportCommand(*doc).RenderTo(out, 0, options)
                                      : AmbisonicsExportCommand(*doc).RenderTo(out, 0, options);
            if (!bWritten) {
                std::abort();
            }
            return SecondsSince(start);
        };
        const auto unmeasuredOnce = [&] {
            ExportLoudness::SetMeasuring(false);
            const double seconds = exportOnce();
            ExportLoudness::SetMeasuring(true);
            return seconds;
        };
        double exportSeconds = 0;
        double copySeconds = 0;
        // Each takes the first place in turn: what ran before it changes its disk's state.
        if (bExportFirst || !std::filesystem::exists(out)) {
            exportSeconds = exportOnce();
            unmeasuredTotal += unmeasuredOnce();
            copySeconds = FsyncCopySeconds(out, copy);
        } else {
            copySeconds = FsyncCopySeconds(out, copy);
            unmeasuredTotal += unmeasuredOnce();
            exportSeconds = exportOnce();
        }
        bExportFirst = !bExportFirst;
        state.SetIterationTime(exportSeconds);
        exportTotal += exportSeconds;
        copyTotal += copySeconds;
    }
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / exportTotal;
    state.counters["ratio_to_fsync_copy"] = exportTotal / copyTotal;
    state.counters["ratio_to_unmeasured"] = exportTotal / unmeasuredTotal;
    state.counters["output_MB"] = static_cast<double>(std::filesystem::file_size(out)) / 1e6;
    std::filesystem::remove(out);
    if (state.range(2) == 1) {
        std::filesystem::remove_all(folder);
    }
}
BENCHMARK(BM_AmbisonicsExport10Minutes)
    ->ArgNames({"order", "format", "shm"})
    ->Args({1, 0, 0})
    ->Args({1, 0, 1})
    ->Args({3, 2, 0})
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);
// 2.5 GB a file.
BENCHMARK(BM_AmbisonicsExport10Minutes)
    ->ArgNames({"order", "format", "shm"})
    ->Args({0, 2, 0})
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
