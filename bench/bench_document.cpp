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

void BM_LoadSound600MB(benchmark::State& state) {
    MeasureAgainstPlainRead(state, LoadSound);
}
BENCHMARK(BM_LoadSound600MB)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);

}  // namespace
