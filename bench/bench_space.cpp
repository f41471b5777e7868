// Sound that travels and rooms, against the same render without them, timed in turns in the
// same iterations, the files written to /dev/shm so the disk's state does not weigh in:
//   BM_SpaceAmbix10Minutes: 10 minutes of mono on a moving path to first-order AmbiX (s16),
//     with --doppler --air against without; ratio_to_dry.
//   BM_SpaceSofa10Minutes: the same sound through the SOFA binaural render, with --doppler
//     against without; ratio_to_dry.
//   BM_Room60Seconds/kind: 60 s of mono on a moving path in a 6 x 4 x 3 m room (order 3, the
//     tail), kind 0 first-order AmbiX, 1 SOFA binaural; real_time_x and ratio_to_free_field.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "BenchClock.h"
#include "BenchSounds.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "document/CTesselDoc.h"
#include "sofa/SofaHrtfSet.h"
#include "support/DocumentTestFiles.h"
#include "support/TestDocumentHost.h"
#include "trajectory/SoundPlace.h"

namespace {

namespace fs = std::filesystem;

// A mono noise of frames at kTenMinutesRate on a path around the head, rising and falling,
// between 0.6 and 1.8 m (inside a 6 x 4 x 3 m room heard from its middle at 1.2 m): a place
// every 15 s.
std::unique_ptr<CTesselDoc> MovingDocument(TestDocumentHost& host, uint32_t frames) {
    TestSound sound = TenMinutesOfNoise();
    sound.samples.resize(size_t{frames} * 2);
    for (uint32_t k = 0; k * kTenMinutesRate * 15 <= frames; ++k) {
        sound.points.push_back({std::min(frames - 1, k * kTenMinutesRate * 15), 0});
    }
    sound.chunkFrames = frames;
    std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
    size_t k = 0;
    for (PanPoint* point = doc->NextPoint(nullptr); point != nullptr;
         point = doc->NextPoint(point), ++k) {
        SetAzimuth(*point, static_cast<int64_t>(k) * 37);
        point->elevation = static_cast<int32_t>(k % 3) * 15 - 15;
        point->distanceCm = 60 + static_cast<uint32_t>(k % 5) * 30;
    }
    return doc;
}

struct ShmFolder {
    ShmFolder() : path(fs::path("/dev/shm") / ("sonomap-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(path);
    }
    ~ShmFolder() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::string File(const char* name) const { return (path / name).string(); }
    fs::path path;
};

// Times render with the document in space a and in space b, in turns; the totals.
template <typename Render>
void InTurns(benchmark::State& state, CTesselDoc& doc, const Acoustics& a, const Acoustics& b,
             Render render, double& aTotal, double& bTotal) {
    bool bFirst = true;
    for (auto _ : state) {
        const auto once = [&](const Acoustics& acoustics) {
            doc.SetAcoustics(acoustics);
            const auto start = std::chrono::steady_clock::now();
            if (!render()) {
                std::abort();
            }
            return SecondsSince(start);
        };
        double aSeconds = 0, bSeconds = 0;
        if (bFirst) {
            aSeconds = once(a);
            bSeconds = once(b);
        } else {
            bSeconds = once(b);
            aSeconds = once(a);
        }
        bFirst = !bFirst;
        state.SetIterationTime(aSeconds);
        aTotal += aSeconds;
        bTotal += bSeconds;
    }
}

void BM_SpaceAmbix10Minutes(benchmark::State& state) {
    const ShmFolder folder;
    TestDocumentHost host;
    const std::unique_ptr<CTesselDoc> doc = MovingDocument(host, kTenMinutesFrames);
    Acoustics travel;
    travel.bDoppler = true;
    travel.bAir = true;
    AmbisonicsExport::Options options;
    double wet = 0, dry = 0;
    InTurns(
        state, *doc, travel, Acoustics{},
        [&] { return AmbisonicsExportCommand(*doc).RenderTo(folder.File("out.wav"), 0, options); },
        wet, dry);
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / wet;
    state.counters["ratio_to_dry"] = wet / dry;
}
BENCHMARK(BM_SpaceAmbix10Minutes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The default SOFA set through the binaural export.
std::shared_ptr<SofaSetChoice> DefaultSet(TestDocumentHost& host) {
    const std::shared_ptr<SofaSetChoice> choice = SofaSetChoice::Load(SofaHrtfSet::DefaultPath());
    host.rendererFactory = [choice] { return std::make_unique<SofaExportRenderer>(choice); };
    return choice;
}

void BM_SpaceSofa10Minutes(benchmark::State& state) {
    const ShmFolder folder;
    TestDocumentHost host;
    DefaultSet(host);
    const std::unique_ptr<CTesselDoc> doc = MovingDocument(host, kTenMinutesFrames);
    Acoustics doppler;
    doppler.bDoppler = true;
    double wet = 0, dry = 0;
    InTurns(
        state, *doc, doppler, Acoustics{},
        [&] {
            return BinauralExportCommand(*doc).RenderTo(folder.File("out.wav"), 0,
                                                        SampleFormat::S16);
        },
        wet, dry);
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / wet;
    state.counters["ratio_to_dry"] = wet / dry;
}
BENCHMARK(BM_SpaceSofa10Minutes)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_Room60Seconds(benchmark::State& state) {
    const ShmFolder folder;
    TestDocumentHost host;
    DefaultSet(host);
    const std::unique_ptr<CTesselDoc> doc = MovingDocument(host, 60 * kTenMinutesRate);
    Acoustics room;
    room.room = Room{};  // 6 x 4 x 3 m, heard from (3, 2, 1.2), 0.3 everywhere, order 3, the tail
    const bool bBinaural = state.range(0) == 1;
    AmbisonicsExport::Options options;
    double inRoom = 0, free = 0;
    InTurns(
        state, *doc, room, Acoustics{},
        [&] {
            return bBinaural
                       ? BinauralExportCommand(*doc).RenderTo(folder.File("out.wav"), 0,
                                                              SampleFormat::S16)
                       : AmbisonicsExportCommand(*doc).RenderTo(folder.File("out.wav"), 0, options);
        },
        inRoom, free);
    state.counters["real_time_x"] = 60.0 * static_cast<double>(state.iterations()) / inRoom;
    state.counters["ratio_to_free_field"] = inRoom / free;
}
BENCHMARK(BM_Room60Seconds)
    ->ArgNames({"binaural"})
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
