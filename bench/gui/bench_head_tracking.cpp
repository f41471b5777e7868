// Head tracking through the editor's preview path (Play Through Binaural Renderer on the
// default SOFA set, the application object, the real mixer on OpenAL Soft's null back end, which
// mixes in real time as a device does, and the event loop running between turns):
// - BM_HeadMotionToSound: an OSC message sent over UDP to the tracker, to the first output frame
//   rendered with the new orientation reaching the mixer's output timeline (its play position;
//   the iteration time), and to its being heard (that position less the latency the device
//   reports, which the device's period sets: OpenAL Soft's period_size and periods), for many
//   turns at random moments;
// - BM_TrackedBinauralCpu: a second of the preview following a tracker that sends 100 messages a
//   second, against a second of the same preview rendered ahead without tracking, in turns: the
//   processor time of the whole process (the tracker's own sender thread taken off).
#include <benchmark/benchmark.h>

#include <lo/lo.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "OffscreenBenchmarks.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "playback/CEditorApp.h"
#include "playback/Mixer.h"
#include "playback/TrackedBinauralFeed.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr uint32_t kRate = 44100;
constexpr uint32_t kFrames = kRate * 20;

void Run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double Seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0.0;
    }
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, static_cast<size_t>(share * values.size()));
    return values[at];
}

// The application with 20 s of mono noise straight ahead open, the binaural preview on.
struct Preview {
    TempDir dir;
    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app{prompts, settings};
    std::unique_ptr<CTesselDoc> document;
    int port = 47500 + static_cast<int>(::getpid() % 400);
    lo_address address = nullptr;

    Preview() {
        TestSound sound;
        sound.format = MakeFormat(1, kRate, 16);
        std::mt19937 rng(3);
        std::uniform_int_distribution<int> noise(-8000, 8000);
        for (uint32_t n = 0; n < kFrames; ++n) {
            const auto v = static_cast<int16_t>(noise(rng));
            sound.samples.push_back(static_cast<uint8_t>(v & 0xFF));
            sound.samples.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
        sound.points = {{0, 0}};
        const std::string path = dir.File("noise.wav");
        WriteBytes(path, BuildSoundFile(sound));
        // As `sonomap --osc-port` starts: with the short device period, unless
        // SONOMAP_BENCH_ALSOFT_CONF names a configuration of its own.
        app.SelectOutputBackEnd(true);
        document = std::make_unique<CTesselDoc>(app);
        DocumentOpen(*document).Open(path);
        app.OnPlayThroughBinaural();
        address = lo_address_new("127.0.0.1", std::to_string(port).c_str());
    }
    ~Preview() {
        app.GetPlayback().Stop();
        app.ExitInstance();
        lo_address_free(address);
    }
    // Tracking on or off; the session opens again with the latency that goes with it.
    bool Track(bool bOn) {
        app.GetPlayback().Stop();
        if (bOn) {
            if (!app.TrackHeadForRun(port).empty()) {
                return false;
            }
        } else {
            app.GetHeadTracker().Stop();
        }
        app.CloseMixerSession();
        return true;
    }
};

// Arg: the Latency preference in ms (0: the default, which tracking holds to 15 ms).
void BM_HeadMotionToSound(benchmark::State& state) {
    Preview preview;
    Preferences prefs = preview.app.GetPreferences();
    prefs.latency = static_cast<int>(state.range(0));
    preview.app.SetPreferences(prefs);
    if (!preview.Track(true)) {
        state.SkipWithError("the tracker's port could not be bound");
        return;
    }
    PlaybackSession& playback = preview.app.GetPlayback();
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> pause(15, 70);
    std::vector<double> total, toRender, toOutput;
    double deviceMs = 0.0;
    float yaw = 90.0f;
    for (auto _ : state) {
        const std::optional<uint32_t> now = playback.ReadHeardFrameNow();
        if (!playback.IsPlaying() || !now || *now > kFrames - 2 * kRate) {
            if (!playback.Play(*preview.document, 0, -1) || playback.GetTrackedFeed() == nullptr) {
                state.SkipWithError("the tracked preview did not play");
                return;
            }
            Run(300);
        }
        const TrackedBinauralFeed& feed = *playback.GetTrackedFeed();
        const uint64_t version = preview.app.GetHeadTracker().Head()->Read().version;
        const Clock::time_point sent = Clock::now();
        lo_send(preview.address, "/sonomap/head", "fff", yaw, 0.0f, 0.0f);
        yaw = -yaw;
        TrackedBinauralFeed::Turned turned;
        while ((turned = feed.LastTurned()).version <= version && Clock::now() - sent < 1s) {
            std::this_thread::yield();
        }
        const Clock::time_point rendered = Clock::now();
        // On the mixer's output timeline: its play position reaches the turn's frame; then
        // the device's own latency, as it reports it, until that frame is heard.
        const uint32_t target = playback.GetPlayStart() + turned.frame;
        Mixer& mixer = preview.app.GetMixer();
        uint32_t position = 0, latencyUs = 0;
        const auto output = [&] {
            position = 0;
            mixer.GetOutputPosition(preview.app.GetMixerSession(), 0, playback.GetWave(), position,
                                    latencyUs);
            return playback.GetPlayStart() + position;
        };
        while (output() < target && Clock::now() - sent < 1s) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const Clock::time_point mixed = Clock::now();
        while (playback.ReadHeardFrameNow().value_or(UINT32_MAX) < target &&
               Clock::now() - sent < 1s) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const Clock::time_point heard = Clock::now();
        state.SetIterationTime(std::chrono::duration<double>(mixed - sent).count());
        toOutput.push_back(Ms(mixed - sent));
        total.push_back(Ms(heard - sent));
        toRender.push_back(Ms(rendered - sent));
        deviceMs = latencyUs / 1000.0;
        // The event loop runs between turns, as in the editor, for a random while so the turns
        // fall anywhere between the device's updates.
        Run(pause(rng));
    }
    state.counters["message_to_mixer_output_ms_median"] = Percentile(toOutput, 0.5);
    state.counters["message_to_mixer_output_ms_p95"] = Percentile(toOutput, 0.95);
    state.counters["message_to_mixer_output_ms_max"] = Percentile(toOutput, 1.0);
    state.counters["device_reported_latency_ms"] = deviceMs;
    state.counters["motion_to_sound_ms_median"] = Percentile(total, 0.5);
    state.counters["motion_to_sound_ms_p95"] = Percentile(total, 0.95);
    state.counters["motion_to_sound_ms_max"] = Percentile(total, 1.0);
    state.counters["message_to_render_ms_median"] = Percentile(toRender, 0.5);
    state.counters["message_to_render_ms_max"] = Percentile(toRender, 1.0);
}
BENCHMARK(BM_HeadMotionToSound)
    ->Arg(0)
    ->Arg(10)
    ->Iterations(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_TrackedBinauralCpu(benchmark::State& state) {
    Preview preview;
    struct Spent {
        double cpu = 0.0;
        double wall = 0.0;
    } tracked, ahead;
    uint32_t start = 0;
    for (auto _ : state) {
        for (const bool bTracked : {false, true}) {
            if (!preview.Track(bTracked)) {
                state.SkipWithError("the tracker's port could not be bound");
                return;
            }
            Run(200);
            // The tracker: a head sweeping at 100 messages a second, on a thread of its own
            // whose processor time is not the editor's.
            std::atomic<bool> bSending{bTracked};
            std::atomic<double> senderCpu{0.0};
            std::thread sender([&] {
                const double cpu = Seconds(CLOCK_THREAD_CPUTIME_ID);
                for (int i = 0; bSending; ++i) {
                    lo_send(preview.address, "/sonomap/head", "fff",
                            static_cast<float>(60.0 * std::sin(i * 0.05)), 0.0f, 0.0f);
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                senderCpu = Seconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
            });
            const Clock::time_point wall = Clock::now();
            const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID);
            preview.app.GetPlayback().Play(*preview.document, start, -1);
            Run(1000);
            preview.app.GetPlayback().Stop();
            bSending = false;
            sender.join();
            Spent& spent = bTracked ? tracked : ahead;
            spent.cpu += Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu - senderCpu;
            spent.wall += std::chrono::duration<double>(Clock::now() - wall).count();
            start = (start + kRate * 3) % (kFrames - kRate * 2);
            Run(200);
        }
    }
    const double percentAhead = 100.0 * ahead.cpu / ahead.wall;
    const double percentTracked = 100.0 * tracked.cpu / tracked.wall;
    state.counters["ahead_cpu_percent"] = percentAhead;
    state.counters["tracked_cpu_percent"] = percentTracked;
    state.counters["tracked_over_ahead_percent_of_a_core"] = percentTracked - percentAhead;
}
BENCHMARK(BM_TrackedBinauralCpu)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    // SONOMAP_BENCH_ALSOFT_CONF names a configuration to measure with, such as OpenAL Soft's
    // default period (period_size=1024) or a user's own device.
    if (const char* conf = std::getenv("SONOMAP_BENCH_ALSOFT_CONF")) {
        ::setenv("ALSOFT_CONF", conf, 1);
    } else {
        ::unsetenv("ALSOFT_CONF");
    }
    return RunOffscreenBenchmarks(argc, argv);
}
