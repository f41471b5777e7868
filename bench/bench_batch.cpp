// sonomap-cli batch on a scaled-down sound-event localisation set: 60 scenes of 60 s at 24 kHz
// (with Arg 1 each in a room of 10 x 8 x 4 m, order 3 with the tail),
// each three tracks of moving events (so at most three overlap), half of the sources at 48 kHz
// and resampled, to first-order AmbiX in 16 bits with labels. The real binary runs with one
// worker (--jobs 1), against dd conv=fsync copying each output it wrote, in alternating order in
// the same iterations; every run writes new files. Counters: real_time_x_per_core (seconds of
// scene per second of the run, wall and processor), ratio_to_fsync_copy, and the minutes the
// full 1,200-scene set would take on this machine's cores at the measured rate. With
// SONOMAP_BASELINE_CLI naming another build's sonomap-cli, that one runs the same manifest in
// the same iterations, taking turns: ratio_to_baseline, and same_bytes_as_baseline (1 when
// every output and label file is the same bytes).
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "BenchClock.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

constexpr int kScenes = 60;
constexpr double kSceneSeconds = 60.0;
constexpr int kSources = 12;

// Noise bursts of 2 to 7 s, fading in and out, the odd ones at 48 kHz.
void WriteSources(const fs::path& folder) {
    fs::create_directories(folder / "src");
    std::mt19937 rng(41);
    for (int s = 0; s < kSources; ++s) {
        TestSound sound;
        const uint32_t rate = s % 2 == 0 ? 24000 : 48000;
        sound.format = MakeFormat(1, rate, 16);
        const auto frames = static_cast<uint32_t>(rate * (2 + s % 6));
        sound.samples.resize(size_t{frames} * 2);
        std::uniform_int_distribution<int> noise(-9000, 9000);
        for (uint32_t i = 0; i < frames; ++i) {
            const double fade = std::min({1.0, i / 2400.0, (frames - i) / 2400.0});
            const auto value = static_cast<uint16_t>(static_cast<int16_t>(noise(rng) * fade));
            sound.samples[2 * i] = static_cast<uint8_t>(value & 0xFF);
            sound.samples[2 * i + 1] = static_cast<uint8_t>(value >> 8);
        }
        WriteBytes((folder / "src" / ("s" + std::to_string(s) + ".wav")).string(),
                   BuildSoundFile(sound));
    }
}

// Three tracks a scene; an event follows the one before on its track after a gap.
std::string Manifest(bool bRooms) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> source(0, kSources - 1);
    std::uniform_real_distribution<double> gap(0.5, 4.0);
    std::string text;
    for (int n = 0; n < kScenes; ++n) {
        const std::string name = "out/scene" + std::to_string(n);
        text += R"({"output": ")" + name + R"(.wav", "format": "ambix", "rate": 24000, )" +
                R"("duration": 60, "labels": ")" + name + R"(.csv", )" +
                (bRooms ? R"("room": {"size": [10, 8, 4], "listener": [5, 4, 1.5], )"
                          R"("absorption": 0.3}, )"
                        : "") +
                R"("events": [)";
        bool bFirst = true;
        for (int track = 0; track < 3; ++track) {
            for (double at = gap(rng); at < kSceneSeconds; at += 8.0 + gap(rng)) {
                const int s = source(rng);
                const std::string path =
                    s % 3 == 0 ? R"({"points": "0:-150:-20:3,47999:60:40:0.6"})"
                               : R"({"generate": "random:speed=60,min=-180,max=180", "seed": )" +
                                     std::to_string(n * 100 + track) + "}";
                text += std::string(bFirst ? "" : ", ") + R"({"source": "src/s)" +
                        std::to_string(s) + R"(.wav", "onset": )" + std::to_string(at) +
                        R"(, "class": )" + std::to_string(s % 13) + R"(, "trajectory": )" + path +
                        "}";
                bFirst = false;
            }
        }
        text += "]}\n";
    }
    return text;
}

double ChildCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void BM_BatchSeldSet60Scenes(benchmark::State& state) {
    const TempDir temp;
    WriteSources(temp.Path());
    const std::string manifest = temp.File("scenes.jsonl");
    std::ofstream(manifest) << Manifest(state.range(0) == 1);
    const std::string command =
        std::string(SONOMAP_CLI_PATH) + " batch '" + manifest + "' --jobs 1 2>/dev/null";

    const char* baseline = std::getenv("SONOMAP_BASELINE_CLI");
    const std::string baselineCommand =
        baseline != nullptr
            ? std::string(baseline) + " batch '" + manifest + "' --jobs 1 2>/dev/null"
            : std::string();
    double batchTotal = 0, cpuTotal = 0, copyTotal = 0, baselineTotal = 0;
    bool bSameBytes = true;
    bool bBatchFirst = true;
    for (auto _ : state) {
        const auto batchOnce = [&] {
            fs::remove_all(temp.Path() / "out");
            const double cpu = ChildCpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            if (std::system(command.c_str()) != 0) {
                std::abort();
            }
            const double seconds = SecondsSince(start);
            cpuTotal += ChildCpuSeconds() - cpu;
            return seconds;
        };
        // The baseline into out as well, then its files beside the new build's for comparing.
        const auto baselineOnce = [&] {
            if (baseline == nullptr) {
                return;
            }
            const fs::path kept = temp.Path() / "kept";
            fs::remove_all(kept);
            if (fs::exists(temp.Path() / "out")) {
                fs::rename(temp.Path() / "out", kept);
            }
            const auto start = std::chrono::steady_clock::now();
            if (std::system(baselineCommand.c_str()) != 0) {
                std::abort();
            }
            baselineTotal += SecondsSince(start);
            for (const auto& entry : fs::directory_iterator(kept)) {
                const fs::path other = temp.Path() / "out" / entry.path().filename();
                bSameBytes =
                    bSameBytes && ReadBytes(entry.path().string()) == ReadBytes(other.string());
            }
            fs::remove_all(temp.Path() / "out");
            fs::rename(kept, temp.Path() / "out");
        };
        const auto copyAll = [&] {
            double seconds = 0;
            for (int n = 0; n < kScenes; ++n) {
                seconds += FsyncCopySeconds(temp.File("out/scene" + std::to_string(n) + ".wav"),
                                            temp.File("copy.wav"));
            }
            return seconds;
        };
        double batchSeconds = 0, copySeconds = 0;
        if (bBatchFirst || !fs::exists(temp.Path() / "out")) {
            batchSeconds = batchOnce();
            copySeconds = copyAll();
            baselineOnce();
        } else {
            copySeconds = copyAll();
            baselineOnce();
            batchSeconds = batchOnce();
        }
        bBatchFirst = !bBatchFirst;
        state.SetIterationTime(batchSeconds);
        batchTotal += batchSeconds;
        copyTotal += copySeconds;
    }
    const double sound = kScenes * kSceneSeconds * static_cast<double>(state.iterations());
    state.counters["real_time_x_per_core"] = sound / batchTotal;
    state.counters["cpu_real_time_x"] = sound / cpuTotal;
    state.counters["ratio_to_fsync_copy"] = batchTotal / copyTotal;
    if (baseline != nullptr) {
        state.counters["ratio_to_baseline"] = batchTotal / baselineTotal;
        state.counters["same_bytes_as_baseline"] = bSameBytes ? 1 : 0;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    state.counters["full_set_minutes"] =
        1200.0 * kSceneSeconds / (sound / batchTotal) / cores / 60.0;
}
BENCHMARK(BM_BatchSeldSet60Scenes)
    ->ArgNames({"rooms"})
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kSecond);

}  // namespace
