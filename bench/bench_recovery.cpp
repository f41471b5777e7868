// What keeping a recovery journal costs the interface thread per edit of a 65535-point
// trajectory (the copy handed to the writer's thread, and the hand-over), against a plain
// copy of the same point list in the same run. The writer writes meanwhile, as in the editor.
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "BenchClock.h"
#include "document/CTesselDoc.h"
#include "document/JournalWriter.h"
#include "document/RecoveryJournal.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

void BM_JournalPerEdit65535Points(benchmark::State& state) {
    TestDocumentHost host;
    TestSound sound;
    sound.samples = Pattern(2 * 70000);
    std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
    std::vector<PanPoint> points;
    for (uint32_t i = 0; i < 65535; ++i) {
        points.emplace_back(i, static_cast<int32_t>(i % 181) - 90);
    }
    doc->LoadTrajectory(points);
    TempDir dir;
    JournalWriter writer;
    const std::string path = dir.File("take.journal");
    double journalSeconds = 0;
    double copySeconds = 0;
    for (auto _ : state) {
        const auto copyStart = std::chrono::steady_clock::now();
        std::vector<PanPoint> copy = doc->GetPanPoints().Values();
        benchmark::DoNotOptimize(copy.data());
        copySeconds += SecondsSince(copyStart);

        const auto journalStart = std::chrono::steady_clock::now();
        writer.Write(path, RecoveryJournal::Snapshot(*doc, 1));
        journalSeconds += SecondsSince(journalStart);
    }
    writer.Flush();
    const double n = static_cast<double>(state.iterations());
    state.counters["ui_ms_per_edit"] = 1000 * journalSeconds / n;
    state.counters["plain_copy_ms"] = 1000 * copySeconds / n;
    state.counters["ratio_to_copy"] = journalSeconds / copySeconds;
}
BENCHMARK(BM_JournalPerEdit65535Points)->Unit(benchmark::kMillisecond);

}  // namespace
