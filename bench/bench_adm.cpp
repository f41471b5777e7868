// Export ADM BW64 of a 10-minute mono 16-bit 44.1 kHz sound with a trajectory all around (a
// point every 15 s), as the command line runs it (the file written beside its name, synced
// and put in place), against copying that very output with dd and an fsync and against the
// same export with its loudness measuring turned off (ExportLoudness::SetMeasuring), in
// alternating order in the same iterations. Counters: ratio_to_dd_copy, ratio_to_unmeasured.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "BenchClock.h"
#include "BenchSounds.h"
#include "deliver/AdmExportCommand.h"
#include "deliver/ExportLoudness.h"
#include "document/CTesselDoc.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr uint32_t kRate = kTenMinutesRate;
constexpr uint32_t kFrames = kTenMinutesFrames;

std::unique_ptr<CTesselDoc> TenMinuteDocument(TestDocumentHost& host) {
    TestSound sound = TenMinutesOfNoise();
    auto doc = MemoryDocument(host, sound);
    std::vector<PanPoint> points;
    for (uint32_t k = 0; k <= 40; ++k) {
        PanPoint point;
        point.position = std::min(kFrames, k * (kFrames / 40));
        SetAzimuth(point, static_cast<int64_t>(k) * 37);
        point.elevation = static_cast<int32_t>(k % 5) * 20 - 40;
        point.distanceCm = 50 + (k % 7) * 60;
        points.push_back(point);
    }
    doc->LoadTrajectory(points);
    return doc;
}

double ExportSeconds(const CTesselDoc& doc, const std::string& out) {
    const auto start = std::chrono::steady_clock::now();
    if (!AdmExportCommand(doc).RenderTo(out)) {
        std::abort();
    }
    return SecondsSince(start);
}

void BM_AdmExport10Minutes(benchmark::State& state) {
    const TempDir dir;
    TestDocumentHost host;
    const auto doc = TenMinuteDocument(host);
    const std::string out = dir.File("out.wav");
    const std::string copy = dir.File("copy.wav");
    ExportSeconds(*doc, out);  // the file dd copies
    double exportTotal = 0;
    double copyTotal = 0;
    double unmeasuredTotal = 0;
    const auto unmeasuredSeconds = [&] {
        ExportLoudness::SetMeasuring(false);
        const double seconds = ExportSeconds(*doc, out);
        ExportLoudness::SetMeasuring(true);
        return seconds;
    };
    bool bExportFirst = true;
    for (auto _ : state) {
        double exportSeconds = 0;
        double copySeconds = 0;
        if (bExportFirst) {
            exportSeconds = ExportSeconds(*doc, out);
            unmeasuredTotal += unmeasuredSeconds();
            copySeconds = FsyncCopySeconds(out, copy, false);
        } else {
            copySeconds = FsyncCopySeconds(out, copy, false);
            unmeasuredTotal += unmeasuredSeconds();
            exportSeconds = ExportSeconds(*doc, out);
        }
        bExportFirst = !bExportFirst;
        state.SetIterationTime(exportSeconds);
        exportTotal += exportSeconds;
        copyTotal += copySeconds;
    }
    state.counters["ratio_to_dd_copy"] = exportTotal / copyTotal;
    state.counters["ratio_to_unmeasured"] = exportTotal / unmeasuredTotal;
    state.counters["unmeasured_to_dd_copy"] = unmeasuredTotal / copyTotal;
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / exportTotal;
}
BENCHMARK(BM_AdmExport10Minutes)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace
