// The playhead on an hour of sound: what one step costs to repaint in a 1920-column view,
// against repaints of the whole view in the same run; and the processor time the whole editor
// takes while the sound plays with the playhead running, against the same editor idle, side
// by side.
// Offscreen platform, OpenAL Soft's null back end (it mixes in real time, as a device does).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "OffscreenBenchmarks.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "platform/SettingsStore.h"
#include "playback/CEditorApp.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CMainFrameClient.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "views/CWaveScrollView.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kHourFrames = kRate * 3600;  // 158,760,000 frames, 317.5 MB of 16-bit mono
constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 600;

void Put32(std::ofstream& out, uint32_t value) {
    const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    out.write(bytes, 4);
}

// A 16-bit mono WAV file of an hour of a wandering tone, written once into /tmp and kept.
const std::string& HourWave() {
    static const std::string path = [] {
        const std::string file = "/tmp/sonomap-bench-hour-mono16.wav";
        const uint32_t dataBytes = kHourFrames * 2;
        if (std::filesystem::exists(file) && std::filesystem::file_size(file) == 44u + dataBytes) {
            return file;
        }
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write("RIFF", 4);
        Put32(out, 36 + dataBytes);
        out.write("WAVEfmt ", 8);
        Put32(out, 16);
        Put32(out, 1u | (1u << 16));  // PCM, one channel
        Put32(out, kRate);
        Put32(out, kRate * 2);
        Put32(out, 2u | (16u << 16));  // block align 2, 16 bits
        out.write("data", 4);
        Put32(out, dataBytes);
        std::vector<int16_t> block(kRate);
        double phase = 0.0;
        for (uint32_t second = 0; second < 3600; ++second) {
            const double hz = 110.0 + 770.0 * (0.5 + 0.5 * std::sin(second * 0.05));
            for (int16_t& sample : block) {
                phase += 2.0 * 3.14159265358979 * hz / kRate;
                sample = static_cast<int16_t>(12000.0 * std::sin(phase));
            }
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 2));
        }
        return file;
    }();
    return path;
}

// Runs the event loop as the editor does, idle refreshes and all.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Processor time of the whole process (the mixer's threads too), and of this thread alone.
double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
double ProcessSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Counts the paints a widget gets while counting is on.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (bCounting && event->type() == QEvent::Paint) {
            ++count;
        }
        return false;
    }
    bool bCounting = false;
    int count = 0;
};

// The editor's application on the null back end, with the hour's document open.
struct Editor {
    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app{prompts, settings};
    std::unique_ptr<CTesselDoc> document;

    Editor() {
        document = std::make_unique<CTesselDoc>(app);
        if (!DocumentOpen(*document).Open(HourWave())) {
            std::fprintf(stderr, "could not open %s\n", HourWave().c_str());
            std::abort();
        }
    }
    ~Editor() {
        app.GetPlayback().Stop();
        document.reset();
        app.ExitInstance();
    }
};

// The whole editor window with the hour open in a maximised 1920-column view and a trajectory
// across the hour, so that the pan ticks run as well.
struct HourWindow {
    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app{prompts, settings};
    std::unique_ptr<CMainFrame> frame;
    CWaveScrollView* view = nullptr;

    // False, with the benchmark skipped, when the hour does not open.
    bool Open(benchmark::State& state) {
        frame = std::make_unique<CMainFrame>(app, settings,
                                             [this](CTesselDoc& document, QWidget* parent) {
                                                 return new CWaveScrollView(document, app, parent);
                                             });
        frame->resize(kViewWidth + 40, 1000);
        frame->show();
        if (!frame->OpenFiles({QString::fromStdString(HourWave())})) {
            state.SkipWithError("could not open the hour");
            return false;
        }
        auto* child = dynamic_cast<CChildFrame*>(frame->GetClient().activeSubWindow());
        child->showMaximized();
        view = dynamic_cast<CWaveScrollView*>(child->GetView());
        view->GetDocument().AddPoint(0, -90);
        view->GetDocument().AddPoint(kHourFrames - 1, 90);
        RunFor(300);
        return true;
    }
    ~HourWindow() {
        frame.reset();
        app.ExitInstance();
    }
};

// Processor and wall seconds added up over measured windows.
struct Spent {
    double cpu = 0.0;
    double wall = 0.0;
    double Percent() const { return 100.0 * cpu / wall; }
};

// Plays from the selection for windowMs and adds what it took to spent; during() runs just
// after the play starts and after() just before it stops.
template <typename During, typename After>
void PlayWindow(HourWindow& w, int windowMs, Spent& spent, During during, After after) {
    const auto wall = std::chrono::steady_clock::now();
    const double cpu = ProcessSeconds();
    w.view->Playback().Play();
    during();
    RunFor(windowMs);
    after();
    w.app.GetPlayback().Stop();
    spent.cpu += ProcessSeconds() - cpu;
    spent.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
}

// Repaints what was asked for now, painted and flushed, as the event loop would.
void Flush(CWaveScrollView& view) {
    QCoreApplication::sendPostedEvents(&view, QEvent::UpdateRequest);
}

// One step of the playhead, one column on, in a 1920-column view of the hour: fitted
// (argument 0), or at a frame a column (1). The baseline, timed in the same run after the
// steps, repaints the whole view as often: whole_view_over_step is its time over a step's.
void BM_PlayheadStep(benchmark::State& state) {
    Editor editor;
    CWaveScrollView view(*editor.document, editor.app);
    view.resize(kViewWidth, kViewHeight);
    view.show();
    RunFor(50);
    if (state.range(0) == 1) {
        while (view.Geometry().CanZoomIn()) {
            view.Navigation().ZoomIn();
        }
        view.ScrollToSample(kHourFrames / 2);
    }
    RunFor(50);
    const WaveViewGeometry g = view.PaintedGeometry();
    const uint32_t first = g.SampleOfColumn(g.LeftColumn() + 10);
    const double perColumn = g.SamplesPerPixel();
    int column = 0;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point stepsBegin = Clock::now();
    for (auto _ : state) {
        const auto frame = static_cast<uint32_t>(first + perColumn * column + perColumn / 2);
        column = (column + 1) % (kViewWidth - 20);
        view.Playback().ShowPlayPosition(frame);
        Flush(view);
    }
    const double stepSeconds =
        std::chrono::duration<double>(Clock::now() - stepsBegin).count() / state.iterations();
    view.Playback().ShowPlayPosition(std::nullopt);
    Flush(view);

    const int repaints = static_cast<int>(std::min<int64_t>(state.iterations(), 500));
    const Clock::time_point wholeBegin = Clock::now();
    for (int i = 0; i < repaints; ++i) {
        view.viewport()->update();
        Flush(view);
    }
    const double wholeSeconds =
        std::chrono::duration<double>(Clock::now() - wholeBegin).count() / repaints;
    state.counters["frames_per_column"] = perColumn;
    state.counters["whole_view_us"] = wholeSeconds * 1e6;
    state.counters["whole_view_over_step"] = wholeSeconds / stepSeconds;
}
BENCHMARK(BM_PlayheadStep)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The whole editor window with the hour open: a second idle, then a second of playback
// with the pan ticks and the playhead running, in turn, each iteration; what comes between
// (the move to where the play starts, the stop) settles outside both. Reports the
// processor time of the process (all its threads, the mixer's too) as percent of one core.
// Argument 0: the hour fitted to the window, where the line moves a column every 1.9
// seconds; 1: zoomed to about 80 frames a column with Cursor Follows Playback on, where it
// moves at every tick and the view pages ahead every 3.5 seconds.
void BM_PlaybackCpuOverIdle(benchmark::State& state) {
    HourWindow w;
    if (!w.Open(state)) {
        return;
    }
    CEditorApp& app = w.app;
    CWaveScrollView* view = w.view;
    if (state.range(0) == 1) {
        for (int i = 0; i < 10; ++i) {
            view->Navigation().ZoomIn();  // about 80 frames a column
        }
        Preferences prefs = app.GetPreferences();
        prefs.bCursorFollow = true;
        app.SetPreferences(prefs);
        RunFor(300);
    }

    const int windowMs = 1000;
    const int settleMs = 200;
    double idleCpu = 0.0;
    double playCpu = 0.0;
    double idleUi = 0.0;
    double playUi = 0.0;
    double idleWall = 0.0;
    double playWall = 0.0;
    PaintCounter paints;
    view->viewport()->installEventFilter(&paints);
    int idlePasses = 0;
    uint32_t start = kHourFrames / 3;
    for (auto _ : state) {
        using Clock = std::chrono::steady_clock;
        auto wall = Clock::now();
        double cpu = ProcessSeconds();
        double ui = ThreadSeconds();
        RunFor(windowMs);
        idleCpu += ProcessSeconds() - cpu;
        idleUi += ThreadSeconds() - ui;
        idleWall += std::chrono::duration<double>(Clock::now() - wall).count();

        // Where the play starts, shown and settled outside the measured windows.
        view->SetSelection(start, start + 1);
        view->ScrollToSample(start);
        start += kRate * 5;
        RunFor(settleMs);
        wall = Clock::now();
        cpu = ProcessSeconds();
        ui = ThreadSeconds();
        paints.bCounting = true;
        const int passesBefore = w.frame->GetIdleUpdater().PassCount();
        view->Playback().Play();
        RunFor(windowMs);
        app.GetPlayback().Stop();
        idlePasses += w.frame->GetIdleUpdater().PassCount() - passesBefore;
        paints.bCounting = false;
        playCpu += ProcessSeconds() - cpu;
        playUi += ThreadSeconds() - ui;
        playWall += std::chrono::duration<double>(Clock::now() - wall).count();
        // The caret's return and the repaint after the stop, before the next idle second.
        RunFor(settleMs);
    }
    const double idle = 100.0 * idleCpu / idleWall;
    const double playing = 100.0 * playCpu / playWall;
    state.counters["idle_cpu_percent"] = idle;
    state.counters["playing_cpu_percent"] = playing;
    state.counters["over_idle_percent_of_a_core"] = playing - idle;
    // The interface thread's share of it: the ticks, the playhead, the panes, the overview.
    state.counters["ui_thread_over_idle_percent"] = 100.0 * (playUi / playWall - idleUi / idleWall);
    state.counters["view_paints_per_second"] = paints.count / playWall;
    // Each refreshes the command states, the panes and the overview bar.
    state.counters["idle_passes_per_second"] = idlePasses / playWall;
    state.counters["frames_per_column"] = view->PaintedGeometry().SamplesPerPixel();
}
BENCHMARK(BM_PlaybackCpuOverIdle)->Arg(0)->Arg(1)->Iterations(4)->Unit(benchmark::kMillisecond);

// Record Trajectory at the 30 ticks a second of playback: a second of playback with the left
// button held over the wave and the pointer moving (the sampling timer, the live writes into
// the trajectory, the repaints they cause), against a second of the same playback without, in
// turn, each iteration. Reports what recording adds as percent of one core. Arg 0: the pointer
// rests during plain playback, so its moves (hover readouts, cursor) count against recording;
// arg 1: it moves the same way in both, so the difference is recording's own.
void BM_RecordingCpuOverPlaying(benchmark::State& state) {
    HourWindow w;
    if (!w.Open(state)) {
        return;
    }
    CEditorApp& app = w.app;
    CWaveScrollView* view = w.view;
    for (int i = 0; i < 10; ++i) {
        view->Navigation().ZoomIn();  // the performance shows as it is written
    }
    RunFor(300);
    QWidget* area = view->viewport();
    const auto send = [&](QEvent::Type type, int y) {
        const QPoint at(area->width() / 2, y);
        QMouseEvent event(type, at, area->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(area, &event);
    };
    // The hand: a new height every 20 ms, up and down the view.
    int step = 0;
    QTimer hand;
    hand.setInterval(20);
    QObject::connect(&hand, &QTimer::timeout,
                     [&] { send(QEvent::MouseMove, 20 + (step++ * 7) % (area->height() - 40)); });

    const bool bHandAlways = state.range(0) == 1;
    const int windowMs = 1000;
    const int settleMs = 200;
    Spent plainSpent;
    Spent recordSpent;
    uint32_t start = kHourFrames / 3;
    for (auto _ : state) {
        for (const bool bRecord : {false, true}) {
            view->SetSelection(start, start + 1);
            view->ScrollToSample(start);
            start += kRate * 5;
            app.GetPlayback().SetRecordArmed(bRecord);
            RunFor(settleMs);
            PlayWindow(
                w, windowMs, bRecord ? recordSpent : plainSpent,
                [&] {
                    if (bRecord) {
                        send(QEvent::MouseButtonPress, area->height() / 2);
                    }
                    if (bRecord || bHandAlways) {
                        hand.start();
                    }
                },
                [&] {
                    hand.stop();
                    if (bRecord) {
                        send(QEvent::MouseButtonRelease, area->height() / 2);
                    }
                });
            RunFor(settleMs);
        }
    }
    const double plain = plainSpent.Percent();
    const double recording = recordSpent.Percent();
    state.counters["playing_cpu_percent"] = plain;
    state.counters["recording_cpu_percent"] = recording;
    state.counters["recording_over_playing_percent_of_a_core"] = recording - plain;
    state.counters["undo_steps"] =
        static_cast<double>(view->GetDocument().GetUndoHistory().UndoCount());
}
BENCHMARK(BM_RecordingCpuOverPlaying)->Arg(0)->Arg(1)->Iterations(4)->Unit(benchmark::kMillisecond);

// Playing through the stereo export's filter against plain playback: a second of each in
// turn, each iteration, from the same kind of start, with the whole play counted (the render
// ahead at the start and at each tick). Reports what the filter adds as percent of one core. Arg 0:
// a ten-second selection; arg 1: from the caret to the end of the hour.
void BM_FilterPlaybackCpuOverPlaying(benchmark::State& state) {
    HourWindow w;
    if (!w.Open(state)) {
        return;
    }
    CEditorApp& app = w.app;
    CWaveScrollView* view = w.view;

    const uint32_t span = state.range(0) == 0 ? kRate * 10 : 1;
    const int windowMs = 1000;
    const int settleMs = 200;
    Spent plainSpent;
    Spent filterSpent;
    uint32_t start = kHourFrames / 3;
    for (auto _ : state) {
        for (const bool bFilter : {false, true}) {
            view->SetSelection(start, start + span);
            view->ScrollToSample(start);
            start += kRate * 5;
            if (bFilter != app.IsPlayThroughFilter()) {
                app.OnPlayThroughFilter();
            }
            RunFor(settleMs);
            PlayWindow(
                w, windowMs, bFilter ? filterSpent : plainSpent, [] {}, [] {});
            RunFor(settleMs);
        }
    }
    const double plain = plainSpent.Percent();
    const double filtered = filterSpent.Percent();
    state.counters["playing_cpu_percent"] = plain;
    state.counters["filter_playing_cpu_percent"] = filtered;
    state.counters["filter_over_playing_percent_of_a_core"] = filtered - plain;
}
BENCHMARK(BM_FilterPlaybackCpuOverPlaying)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

// The same for Play Through Binaural Renderer with the default SOFA set: what the renderer adds
// as percent of one core over plain playback, measured in turns as above.
void BM_BinauralPlaybackCpuOverPlaying(benchmark::State& state) {
    HourWindow w;
    if (!w.Open(state)) {
        return;
    }
    CEditorApp& app = w.app;
    CWaveScrollView* view = w.view;
    const uint32_t span = state.range(0) == 0 ? kRate * 10 : 1;
    Spent plainSpent;
    Spent binauralSpent;
    uint32_t start = kHourFrames / 3;
    for (auto _ : state) {
        for (const bool bBinaural : {false, true}) {
            view->SetSelection(start, start + span);
            view->ScrollToSample(start);
            start += kRate * 5;
            if (bBinaural != app.IsPlayThroughBinaural()) {
                app.OnPlayThroughBinaural();
            }
            RunFor(200);
            PlayWindow(
                w, 1000, bBinaural ? binauralSpent : plainSpent, [] {}, [] {});
            RunFor(200);
        }
    }
    const double plain = plainSpent.Percent();
    const double binaural = binauralSpent.Percent();
    state.counters["playing_cpu_percent"] = plain;
    state.counters["binaural_playing_cpu_percent"] = binaural;
    state.counters["binaural_over_playing_percent_of_a_core"] = binaural - plain;
}
BENCHMARK(BM_BinauralPlaybackCpuOverPlaying)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ::unsetenv("ALSOFT_CONF");
    return RunOffscreenBenchmarks(argc, argv);
}
