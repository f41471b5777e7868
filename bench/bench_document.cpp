// Opening a 600 MB 16-bit stereo sound as the editor does (checks, one read of all samples,
// the master overview) against a plain read() of the same file into a fresh buffer.
#include <benchmark/benchmark.h>

#include <chrono>

#include "LargeWave.h"
#include "document/CTesselDoc.h"
#include "support/TestDocumentHost.h"

namespace {

double LoadSound(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    TestDocumentHost host;
    CTesselDoc doc(host);
    if (!doc.OnOpenDocument(path) || doc.GetOverview() == nullptr) {
        std::abort();
    }
    benchmark::DoNotOptimize(doc.GetSamples()[doc.GetDataBytes() / 2]);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return seconds;  // freeing the samples is not part of the open
}

// Each iteration times both, in alternating order, so the ratio sees the same machine load.
void BM_LoadSound600MB(benchmark::State& state) {
    const std::string& path = LargeWave();
    PlainRead(path);  // warm the page cache
    double ours = 0;
    double plain = 0;
    bool bOursFirst = true;
    for (auto _ : state) {
        double mine;
        if (bOursFirst) {
            mine = LoadSound(path);
            plain += PlainRead(path);
        } else {
            plain += PlainRead(path);
            mine = LoadSound(path);
        }
        bOursFirst = !bOursFirst;
        ours += mine;
        state.SetIterationTime(mine);
    }
    state.counters["plain_read_ms"] = 1000 * plain / static_cast<double>(state.iterations());
    state.counters["ratio_to_plain_read"] = ours / plain;
}
BENCHMARK(BM_LoadSound600MB)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace
