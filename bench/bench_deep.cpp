// Deep samples at their sizes: a one-hour 24-bit stereo 48 kHz sound (about 1 GB) opened as the
// editor opens it, with summary and overview, against a plain read() of the file, and the
// memory the open then holds against the file's size; its Show All at 1920 x 600 against the
// same draw of the 16-bit hour; and Export Stereo File of a 10-minute sound at 24 bits and as
// floats against the same sound at 16 bits, in the same iterations, beside a dd conv=fsync copy
// of each output: the part of the ratio that is the disk writing more bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "BenchClock.h"
#include "LargeWave.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "formats/CSoundFile.h"
#include "peaks/WaveImage.h"
#include "support/DocumentTestFiles.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

constexpr uint32_t kHourFrames = 3600u * 48000u;
constexpr uint32_t kHourDataBytes = kHourFrames * 6u;
const char* const kHourPath = "/tmp/sonomap-bench-hour-48000-2-24.wav";

// Written once by our own writer and kept between runs, like the 600 MB sound.
const std::string& DeepHour() {
    static const std::string path = [] {
        std::error_code error;
        if (std::filesystem::file_size(kHourPath, error) == uint64_t{kHourDataBytes} + 44) {
            return std::string(kHourPath);
        }
        const std::string temp = std::string(kHourPath) + ".part";
        std::remove(temp.c_str());
        auto writer = CreateSoundFileByType(kSoundTypeWave, temp);
        const PcmFormat format{1, 2, 48000, 48000 * 6, 6, 24};
        bool bOk = writer->CreateHeader(format, kHourDataBytes);
        std::vector<uint8_t> block(6u << 20);
        uint32_t state = 54321;
        for (uint32_t done = 0; bOk && done < kHourDataBytes;) {
            for (auto& b : block) {
                state = state * 1103515245u + 12345u;
                b = static_cast<uint8_t>(state >> 24);
            }
            const auto n =
                static_cast<uint32_t>(std::min<size_t>(block.size(), kHourDataBytes - done));
            bOk = writer->WriteSamples(block.data(), n);
            done += n;
        }
        bOk = bOk && writer->CloseSamples() && writer->CloseFile();
        writer.reset();
        if (!bOk || std::rename(temp.c_str(), kHourPath) != 0) {
            std::fprintf(stderr, "bench_deep: cannot make %s\n", kHourPath);
            std::abort();
        }
        return std::string(kHourPath);
    }();
    return path;
}

size_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    size_t resident = 0;
    statm >> pages >> resident;
    return resident * static_cast<size_t>(::sysconf(_SC_PAGESIZE));
}

void BM_OpenDeepHourWithOverview(benchmark::State& state) {
    double grown = 0;
    MeasureAgainstPlainRead(state, DeepHour(), kHourDataBytes, [&](const std::string& path) {
        const size_t before = ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        TestDocumentHost host;
        CTesselDoc doc(host);
        if (!DocumentOpen(doc).Open(path) || doc.GetOverview() == nullptr ||
            doc.GetSampleData().summary == nullptr || doc.GetFormat().bitsPerSample != 24) {
            std::abort();
        }
        benchmark::DoNotOptimize(doc.GetSamples()[doc.GetDataBytes() / 2]);
        const double seconds = SecondsSince(start);
        grown = std::max(grown, static_cast<double>(ResidentBytes() - before));
        return seconds;
    });
    state.counters["memory_to_file"] =
        grown / static_cast<double>(std::filesystem::file_size(DeepHour()));
}
BENCHMARK(BM_OpenDeepHourWithOverview)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

// The hour in memory at 24 bits, and the same frames at 16 bits, each with its summary.
struct HourInMemory {
    std::unique_ptr<CTesselDoc> doc;
    TestDocumentHost host;
};

const CTesselDoc& HourAt(uint16_t bits) {
    static HourInMemory hours[2];
    HourInMemory& hour = hours[bits == 24 ? 1 : 0];
    if (!hour.doc) {
        TestSound sound;
        sound.format = MakeFormat(2, 48000, bits);
        sound.samples.resize(size_t{kHourFrames} * 2 * (bits / 8));
        uint32_t state = 777;
        for (auto& b : sound.samples) {
            state = state * 1103515245u + 12345u;
            b = static_cast<uint8_t>(state >> 24);
        }
        hour.doc = MemoryDocument(hour.host, sound);
    }
    return *hour.doc;
}

double SecondsToShowAll(WaveImage& view, const SampleData& data, UserPrompts& prompts) {
    const auto start = std::chrono::steady_clock::now();
    view.Invalidate();
    view.Update(data, WaveImage::Target{1920, 600, 1920, 0}, prompts);
    benchmark::DoNotOptimize(view.Image());
    return SecondsSince(start);
}

void BM_ShowAllDeepHour1920x600(benchmark::State& state) {
    const SampleData deep = HourAt(24).GetSampleData();
    const SampleData shallow = HourAt(16).GetSampleData();
    if (deep.summary == nullptr || shallow.summary == nullptr) {
        std::abort();
    }
    ScriptedPrompts prompts;
    WaveImage deepView;
    WaveImage shallowView;
    double ours = 0;
    double baseline = 0;
    for (auto _ : state) {
        const double seconds = SecondsToShowAll(deepView, deep, prompts);
        baseline += SecondsToShowAll(shallowView, shallow, prompts);
        ours += seconds;
        state.SetIterationTime(seconds);
    }
    state.counters["sixteen_bit_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["ratio_to_16_bit"] = ours / baseline;
}
BENCHMARK(BM_ShowAllDeepHour1920x600)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

constexpr uint32_t kRate = 44100;
constexpr uint32_t kTenMinutes = 600 * kRate;

// The 10-minute mono noise at 16 bits, at 24 bits (the same values eight bits up) or as floats.
std::unique_ptr<CTesselDoc> TenMinutes(TestDocumentHost& host, uint16_t tag, uint16_t bits) {
    TestSound sound;
    sound.format = MakeFormat(1, kRate, bits);
    sound.format.formatTag = tag;
    const size_t width = bits / 8;
    sound.samples.resize(size_t{kTenMinutes} * width);
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> noise(-8000, 8000);
    for (size_t i = 0; i < sound.samples.size(); i += width) {
        const int value = noise(rng);
        if (tag == kFormatTagFloat) {
            const float f = static_cast<float>(value) / 32768.0f;
            std::memcpy(&sound.samples[i], &f, sizeof f);
        } else {
            const auto v = static_cast<uint32_t>(value) << (8 * (width - 2));
            std::memcpy(&sound.samples[i], &v, width);
        }
    }
    sound.points = {{0, -90}, {kTenMinutes / 2, 90}, {kTenMinutes - 1, -30}};
    sound.chunkFrames = kTenMinutes;
    return MemoryDocument(host, sound);
}

double ExportSeconds(const CTesselDoc& doc, const std::string& out) {
    const auto start = std::chrono::steady_clock::now();
    if (!StereoExportCommand(doc).RenderTo(out, kSoundTypeWave)) {
        std::abort();
    }
    return SecondsSince(start);
}

// Arg: 24 for 24-bit integers, 32 for floats.
void BM_ExportStereoTenMinutesDeep(benchmark::State& state) {
    const bool bFloat = state.range(0) == 32;
    TempDir dir;
    TestDocumentHost host;
    host.showsViews = false;
    const auto shallow = TenMinutes(host, kFormatTagPcm, 16);
    const auto deep = TenMinutes(host, bFloat ? kFormatTagFloat : kFormatTagPcm, bFloat ? 32 : 24);
    double ours = 0;
    double baseline = 0;
    double deepCopies = 0;
    double baselineCopies = 0;
    bool bDeepFirst = true;
    for (auto _ : state) {
        double seconds;
        if (bDeepFirst) {
            seconds = ExportSeconds(*deep, dir.File("deep.wav"));
            baseline += ExportSeconds(*shallow, dir.File("sixteen.wav"));
        } else {
            baseline += ExportSeconds(*shallow, dir.File("sixteen.wav"));
            seconds = ExportSeconds(*deep, dir.File("deep.wav"));
        }
        bDeepFirst = !bDeepFirst;
        ours += seconds;
        state.SetIterationTime(seconds);
        state.PauseTiming();
        deepCopies += FsyncCopySeconds(dir.File("deep.wav"), dir.File("copy.wav"));
        baselineCopies += FsyncCopySeconds(dir.File("sixteen.wav"), dir.File("copy.wav"));
        state.ResumeTiming();
    }
    state.counters["sixteen_bit_ms"] = 1000 * baseline / static_cast<double>(state.iterations());
    state.counters["ratio_to_16_bit"] = ours / baseline;
    state.counters["fsync_copy_ratio"] = deepCopies / baselineCopies;
}
BENCHMARK(BM_ExportStereoTenMinutesDeep)
    ->ArgName("bits")
    ->Arg(24)
    ->Arg(32)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
