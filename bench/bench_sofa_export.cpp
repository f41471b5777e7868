// Export Binaural File end to end through the SOFA renderer with the default set: 10 minutes of
// mono 16-bit noise at 48 kHz along a path that moves all the time (round the head, up and down,
// near and far), as the editor runs it (file dialog answered, progress, dither, the file synced
// and put in place), against a static two-ear convolution of the same samples with the same
// filters (the renderer held at one place, into memory), taking turns in the same iterations.
// The noise is at -24 dB so the mix needs no second, scaled pass. Counters: real_time_x (seconds
// of sound per second of export) and ratio_to_static.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "BenchClock.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "scene/RenderInput.h"
#include "sofa/SofaBinauralStream.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrames = 600 * kRate;

std::string MovingSound(const TempDir& dir) {
    TestSound sound;
    sound.format = MakeFormat(1, kRate, 16);
    sound.samples.resize(size_t{kFrames} * 2);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> noise(-2000, 2000);
    for (size_t i = 0; i < sound.samples.size(); i += 2) {
        const auto value = static_cast<uint16_t>(static_cast<int16_t>(noise(rng)));
        sound.samples[i] = static_cast<uint8_t>(value & 0xFF);
        sound.samples[i + 1] = static_cast<uint8_t>(value >> 8);
    }
    WriteBytes(dir.File("in.wav"), BuildSoundFile(sound));
    return dir.File("in.wav");
}

// A point every 5 s: 37 degrees on each time round, elevation and distance never still.
void MovePath(CTesselDoc& doc) {
    doc.BeginGroup(UndoKind::Replace);
    for (uint32_t k = 0; k <= 120; ++k) {
        PanPoint point;
        point.position = std::min(kFrames - 1, k * (kFrames / 120));
        SetAzimuth(point, static_cast<int64_t>(k) * 37);
        point.elevation = static_cast<int32_t>(k % 5) * 20 - 40;
        point.distanceCm = 50 + (k % 7) * 60;
        doc.AddPoint(point);
    }
    doc.EndGroup();
}

class HeldSource : public SofaBinauralStream::Source {
  public:
    explicit HeldSource(RenderInput& input) : m_input(input) {}
    void ReadFrames(uint64_t first, uint32_t frames, float* out) override {
        m_input.Read(static_cast<uint32_t>(first), frames, out);
    }
    SofaHeading HeadingAt(uint64_t) override { return {30.0, 10.0, 0.0, 1.0}; }

  private:
    RenderInput& m_input;
};

double StaticSeconds(const CTesselDoc& doc, const std::shared_ptr<const HrtfFilterBank>& bank) {
    const auto start = std::chrono::steady_clock::now();
    const std::unique_ptr<RenderInput> input = RenderInput::OfDocument(doc);
    HeldSource source(*input);
    SofaBinauralStream stream(bank, 1, source);
    std::vector<float> out(2 * 8192);
    for (uint32_t done = 0; done < kFrames; done += 8192) {
        stream.Render(out.data(), std::min(8192u, kFrames - done));
        benchmark::DoNotOptimize(out.data());
    }
    return SecondsSince(start);
}

void BM_SofaBinauralExport10Minutes(benchmark::State& state) {
    const std::shared_ptr<SofaSetChoice> choice = SofaSetChoice::Load(SofaHrtfSet::DefaultPath());
    const HrtfFilterBank::Prepared prepared = choice->BankAt(kRate);
    if (prepared.bank == nullptr) {
        state.SkipWithError(prepared.message.c_str());
        return;
    }
    const TempDir dir;
    TestDocumentHost host;
    host.rendererFactory = [choice] { return std::make_unique<SofaExportRenderer>(choice); };
    CTesselDoc doc(host);
    if (!DocumentOpen(doc).Open(MovingSound(dir))) {
        std::abort();
    }
    MovePath(doc);
    double exportTotal = 0;
    double staticTotal = 0;
    bool bExportFirst = true;
    for (auto _ : state) {
        double exportSeconds = 0;
        const auto run = [&] {
            host.saveNames.push_back(TestDocumentHost::Name(dir.File("out.wav"), 1));
            const auto start = std::chrono::steady_clock::now();
            if (!BinauralExportCommand(doc).Run()) {
                std::abort();
            }
            exportSeconds = SecondsSince(start);
        };
        double staticSeconds = 0;
        if (bExportFirst) {
            run();
            staticSeconds = StaticSeconds(doc, prepared.bank);
        } else {
            staticSeconds = StaticSeconds(doc, prepared.bank);
            run();
        }
        bExportFirst = !bExportFirst;
        state.SetIterationTime(exportSeconds);
        exportTotal += exportSeconds;
        staticTotal += staticSeconds;
    }
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / exportTotal;
    state.counters["static_real_time_x"] =
        600.0 * static_cast<double>(state.iterations()) / staticTotal;
    state.counters["ratio_to_static"] = exportTotal / staticTotal;
}
BENCHMARK(BM_SofaBinauralExport10Minutes)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
