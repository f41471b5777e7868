// The binaural export of a 10-minute mono 16-bit 44.1 kHz sound, as the editor runs it (file
// dialog answered, progress, dither, 16-bit file synced and put in place), against a bare
// loopback HRTF render of the same frames through the mixer library's C API into memory,
// with the direction changed as often, in alternating order in the same iterations.
// Counters: real_time_x (seconds of sound per second of export) and ratio_to_bare_render.
// With placed:1 the document's trajectory leaves the front (azimuth, elevation and distance
// all moving), so the export sends places. Then the same frames placed all around the head, the
// place changed every 33 ms as a playback tick would, against the bare render that never moves, in
// the same iterations.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>
#include <vector>

#include "BenchClock.h"
#include "binaural/TrevantBinauralRenderer.h"
#include "deliver/BinauralExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "platform/DistanceLaw.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "trajectory/PanSegment.h"
#include "trajectory/SoundPlace.h"
#include "trevant/trevant.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = 600 * kRate;
// A full sweep right, then back part of the way: the direction changes all along the file.
const std::vector<PanChunkPoint> kPoints = {{0, -90}, {kFrames / 2, 90}, {kFrames - 1, -30}};

// 16-bit noise, channels interleaved.
std::vector<uint8_t> TenMinuteSamples(uint16_t channels) {
    std::vector<uint8_t> samples(size_t{kFrames} * 2 * channels);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> noise(-8000, 8000);
    for (size_t i = 0; i < samples.size(); i += 2) {
        const auto value = static_cast<uint16_t>(static_cast<int16_t>(noise(rng)));
        samples[i] = static_cast<uint8_t>(value & 0xFF);
        samples[i + 1] = static_cast<uint8_t>(value >> 8);
    }
    return samples;
}

std::string TenMinuteSound(const TempDir& dir) {
    TestSound sound;
    sound.format = MakeFormat(1, kRate, 16);
    sound.samples = TenMinuteSamples(1);
    sound.points = kPoints;
    sound.chunkFrames = kFrames;
    WriteBytes(dir.File("in.wav"), BuildSoundFile(sound));
    return dir.File("in.wav");
}

double ExportSeconds(CTesselDoc& doc, TestDocumentHost& host, const std::string& out) {
    host.saveNames.push_back(TestDocumentHost::Name(out, 1));
    const auto start = std::chrono::steady_clock::now();
    if (!BinauralExportCommand(doc).Run()) {
        std::abort();
    }
    return SecondsSince(start);
}

// The mixer alone: every frame of the same wave, the direction set by the same trajectory
// before each block of 8192 frames, into float stereo in memory.
double BareRenderSeconds(const CTesselDoc& doc) {
    const auto start = std::chrono::steady_clock::now();
    const MixerRenderConfig config{sizeof(MixerRenderConfig), kRate, AMBREL_WAVEMIX_HRTF_ON, 0,
                                   nullptr};
    const AmbrelWaveMixRender render = AmbrelWaveMixRenderOpen(&config);
    const MixerPcmFormat format{1, 1, kRate, kRate * 2, 2, 16};
    const MixerWaveSource source{&format, doc.GetSamples(), kFrames * 2, 0, 0};
    if (render == 0 || AmbrelWaveMixRenderStart(render, &source) != 0) {
        std::abort();
    }
    std::vector<float> out(8192 * 2);
    std::unique_ptr<PanSegment> segment;
    int32_t pan = 0;
    for (uint32_t done = 0; done < kFrames;) {
        pan = PanForFrame(doc.GetPanPoints(), kFrames, done, segment, pan);
        const MixerPosition position{pan, 0, 0};
        AmbrelWaveMixRenderSetPosition(render, 0, &position);
        uint32_t rendered = 0;
        uint32_t read = 0;
        AmbrelWaveMixRenderFrames(render, out.data(), std::min(8192u, kFrames - done), 0xFFFFFFFF,
                                  &rendered, &read);
        benchmark::DoNotOptimize(out.data());
        done += rendered;
    }
    AmbrelWaveMixRenderClose(render);
    return SecondsSince(start);
}

void BM_BinauralExport10Minutes(benchmark::State& state) {
    const TempDir dir;
    TestDocumentHost host;
    host.rendererFactory = [] { return std::make_unique<TrevantBinauralRenderer>("", 0); };
    CTesselDoc doc(host);
    if (!DocumentOpen(doc).Open(TenMinuteSound(dir))) {
        std::abort();
    }
    if (state.range(0) == 1) {
        // Around the head twice, rising and falling, near and far: a place every 15 s.
        doc.BeginGroup(UndoKind::Replace);
        while (const PanPoint* first = doc.NextPoint(nullptr)) {
            doc.RemovePoint(first);
        }
        for (uint32_t k = 0; k <= 40; ++k) {
            PanPoint point;
            point.position = std::min(kFrames, k * (kFrames / 40));
            SetAzimuth(point, static_cast<int64_t>(k) * 37);
            point.elevation = static_cast<int32_t>(k % 5) * 20 - 40;
            point.distanceCm = 50 + (k % 7) * 60;
            doc.AddPoint(point);
        }
        doc.EndGroup();
    }
    double exportTotal = 0;
    double bareTotal = 0;
    bool bExportFirst = true;
    for (auto _ : state) {
        double exportSeconds = 0;
        double bareSeconds = 0;
        if (bExportFirst) {
            exportSeconds = ExportSeconds(doc, host, dir.File("out.wav"));
            bareSeconds = BareRenderSeconds(doc);
        } else {
            bareSeconds = BareRenderSeconds(doc);
            exportSeconds = ExportSeconds(doc, host, dir.File("out.wav"));
        }
        bExportFirst = !bExportFirst;
        state.SetIterationTime(exportSeconds);
        exportTotal += exportSeconds;
        bareTotal += bareSeconds;
    }
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / exportTotal;
    state.counters["bare_render_real_time_x"] =
        600.0 * static_cast<double>(state.iterations()) / bareTotal;
    state.counters["ratio_to_bare_render"] = exportTotal / bareTotal;
}
BENCHMARK(BM_BinauralExport10Minutes)
    ->ArgName("placed")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

// Every frame of the wave in 33 ms blocks; with bPlaced, before each block the place moves on
// (a turn around the head, up and down, near and far, the width opening and closing).
double RenderSeconds(const std::vector<uint8_t>& samples, uint16_t channels, bool bPlaced) {
    constexpr uint32_t kTickFrames = kRate * 33 / 1000;
    const auto start = std::chrono::steady_clock::now();
    const MixerRenderConfig config{sizeof(MixerRenderConfig), kRate, AMBREL_WAVEMIX_HRTF_ON, 0,
                                   nullptr};
    const AmbrelWaveMixRender render = AmbrelWaveMixRenderOpen(&config);
    const auto blockAlign = static_cast<uint16_t>(2 * channels);
    const MixerPcmFormat format{1, channels, kRate, kRate * blockAlign, blockAlign, 16};
    const MixerWaveSource source{&format, samples.data(), kFrames * blockAlign, 0, 0};
    if (render == 0 || AmbrelWaveMixRenderStart(render, &source) != 0) {
        std::abort();
    }
    std::vector<float> out(size_t{kTickFrames} * 2);
    uint32_t tick = 0;
    for (uint32_t done = 0; done < kFrames; ++tick) {
        if (bPlaced) {
            const uint32_t distanceCm = 10 + (tick * 7) % 500;
            const MixerPlace place{sizeof(MixerPlace),
                                   static_cast<int32_t>(tick % 360) - 179,
                                   static_cast<int32_t>(tick % 181) - 90,
                                   distanceCm,
                                   static_cast<int32_t>(tick % 181),
                                   static_cast<float>(DistanceGain(distanceCm))};
            if (AmbrelWaveMixRenderSetPlace(render, 0, &place) != 0) {
                std::abort();
            }
        }
        uint32_t rendered = 0;
        uint32_t read = 0;
        AmbrelWaveMixRenderFrames(render, out.data(), std::min(kTickFrames, kFrames - done),
                                  0xFFFFFFFF, &rendered, &read);
        benchmark::DoNotOptimize(out.data());
        done += rendered;
    }
    AmbrelWaveMixRenderClose(render);
    return SecondsSince(start);
}

// Arg: the wave's channels. A stereo wave placed plays as two sources; the bare render
// plays it as it is.
void BM_PlacedRender10Minutes(benchmark::State& state) {
    const auto channels = static_cast<uint16_t>(state.range(0));
    const std::vector<uint8_t> samples = TenMinuteSamples(channels);
    double placedTotal = 0;
    double bareTotal = 0;
    bool bPlacedFirst = true;
    for (auto _ : state) {
        double placedSeconds = 0;
        double bareSeconds = 0;
        if (bPlacedFirst) {
            placedSeconds = RenderSeconds(samples, channels, true);
            bareSeconds = RenderSeconds(samples, channels, false);
        } else {
            bareSeconds = RenderSeconds(samples, channels, false);
            placedSeconds = RenderSeconds(samples, channels, true);
        }
        bPlacedFirst = !bPlacedFirst;
        state.SetIterationTime(placedSeconds);
        placedTotal += placedSeconds;
        bareTotal += bareSeconds;
    }
    state.counters["real_time_x"] = 600.0 * static_cast<double>(state.iterations()) / placedTotal;
    state.counters["bare_render_real_time_x"] =
        600.0 * static_cast<double>(state.iterations()) / bareTotal;
    state.counters["ratio_to_bare_render"] = placedTotal / bareTotal;
}
BENCHMARK(BM_PlacedRender10Minutes)
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
