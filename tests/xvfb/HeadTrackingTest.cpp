// The whole editor on a real X server, following a head tracker that is a real OSC peer
// (liblo-tools' oscsend), with OpenAL Soft's wave writer catching what it plays: noise straight
// ahead, Play Through Binaural Renderer on, and the head turned while it plays. The written
// sound moves to the left ear when the head turns right, back to the middle when it returns,
// to opposite sides for /ypr 90 and /ypr -90, and each turn lands as long after the one before
// as its message came after the message before.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QEventLoop>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>

#include "../trevant/MixerTestSupport.h"
#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/QtSettingsStore.h"
#include "shell/CMainFrame.h"
#include "shell/HeadTrackingMonitor.h"
#include "support/DocumentTestFiles.h"
#include "support/FreeUdpPort.h"
#include "support/GuiTestEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "views/CWaveScrollView.h"

namespace {

using Clock = std::chrono::steady_clock;

// The X server that xvfb-run starts, and OpenAL Soft's wave writer in place of the null back end
// the GUI set-up chooses (before the first OpenAL call, which fixes the choice).
class XServerWithWriter : public GuiTestEnvironment {
  public:
    XServerWithWriter() : GuiTestEnvironment("xcb") {}
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run this under xvfb-run";
        GuiTestEnvironment::SetUp();
        m_dir = std::make_unique<TempDir>();
        output = m_dir->File("out.wav");
        const std::string conf = m_dir->File("alsoft.conf");
        std::ofstream(conf) << "[general]\ndrivers=wave\n[wave]\nfile=" << output << "\n";
        ::setenv("ALSOFT_CONF", conf.c_str(), 1);
        ::unsetenv("ALSOFT_DRIVERS");
    }
    std::string output;

  private:
    std::unique_ptr<TempDir> m_dir;
};

auto* const g_environment =
    static_cast<XServerWithWriter*>(::testing::AddGlobalTestEnvironment(new XServerWithWriter));

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Left over right in dB over the sounding 10 ms windows of [begin, end).
double Balance(const mixertest::StereoCapture& capture, size_t begin, size_t end) {
    double left = 0.0, right = 0.0;
    const size_t window = capture.rate / 100;
    for (size_t at = begin; at + window <= end; at += window) {
        const double l = mixertest::Rms(capture.left, at, at + window);
        const double r = mixertest::Rms(capture.right, at, at + window);
        if (l + r > 1e-4) {  // a pause where the writer found nothing fed is no sound
            left += l * l;
            right += r * r;
        }
    }
    return 10.0 * std::log10(left / right);
}

// The first 10 ms window from `from` whose balance passes the test; none past the end.
template <typename Test>
std::optional<size_t> FirstWindow(const mixertest::StereoCapture& capture, size_t from, Test test) {
    const size_t window = capture.rate / 100;
    for (size_t at = from; at + window <= capture.left.size(); at += window) {
        const double l = mixertest::Rms(capture.left, at, at + window);
        const double r = mixertest::Rms(capture.right, at, at + window);
        if (l + r > 1e-4 && test(20.0 * std::log10(l / r))) {
            return at;
        }
    }
    return std::nullopt;
}

}  // namespace

TEST(HeadTracking, TheEditorsBinauralPreviewTurnsWithTheHeadAsTheMessagesCome) {
    if (std::system("command -v oscsend >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "oscsend (liblo-tools) is not installed: no OSC peer to test with";
    }
    QSettings("Ambrel", "Sonomap").clear();
    TempDir dir;
    ScriptedPrompts prompts;
    QtSettingsStore settings;
    const int port = FreeUdpPort();
    ASSERT_NE(port, 0);
    // Sent at these seconds after playing starts; the midpoint of each send is when it went.
    const struct {
        double at;
        const char* message;
    } sends[] = {{0.8, "/sonomap/head fff 90 0 0"},
                 {1.9, "/sonomap/head fff 0 0 0"},
                 {3.0, "/ypr fff 90 0 0"},
                 {4.1, "/ypr fff -90 0 0"}};
    double sentAt[4] = {};
    QString paneAfterFirst;
    {
        CEditorApp app(prompts, settings);
        ASSERT_EQ(app.TrackHeadForRun(port), "");
        app.OnPlayThroughBinaural();
        auto frame = std::make_unique<CMainFrame>(
            app, settings, [&app](CTesselDoc& document, QWidget* parent) {
                return new CWaveScrollView(document, app, parent);
            });
        auto* monitor = new HeadTrackingMonitor(app, *frame);  // the window owns it
        frame->resize(900, 600);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));

        // Five seconds of noise straight ahead.
        TestSound sound;
        sound.format = MakeFormat(1, 44100, 16);
        std::mt19937 rng(9);
        std::uniform_int_distribution<int> noise(-6000, 6000);
        for (uint32_t n = 0; n < 44100 * 5; ++n) {
            const auto v = static_cast<int16_t>(noise(rng));
            sound.samples.push_back(static_cast<uint8_t>(v & 0xFF));
            sound.samples.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        }
        sound.points = {{0, 0}};
        const std::string path = dir.File("ahead.wav");
        WriteBytes(path, BuildSoundFile(sound));
        ASSERT_TRUE(frame->OpenFiles({QString::fromStdString(path)}));

        ASSERT_TRUE(frame->ExecuteCommand(CommandId::kPlay));
        ASSERT_TRUE(app.IsPlaying());
        ASSERT_NE(app.GetPlayback().GetTrackedFeed(), nullptr);
        const Clock::time_point start = Clock::now();
        const auto seconds = [&start] {
            return std::chrono::duration<double>(Clock::now() - start).count();
        };
        for (int i = 0; i < 4; ++i) {
            while (seconds() < sends[i].at) {
                RunFor(5);
            }
            const double before = seconds();
            const std::string command =
                "oscsend 127.0.0.1 " + std::to_string(port) + " " + sends[i].message;
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
            sentAt[i] = (before + seconds()) / 2.0;
            if (i == 0) {
                RunFor(2 * HeadTrackingMonitor::kPollMs + 20);
                paneAfterFirst = monitor->Pane()->text();
            }
        }
        while (seconds() < 4.8 && app.IsPlaying()) {
            RunFor(10);
        }
        ASSERT_TRUE(app.IsPlaying()) << "the sound ended early";
        app.GetPlayback().Stop();
        frame.reset();
        app.ExitInstance();  // the session closes, and the writer finishes its file
    }
    EXPECT_TRUE(paneAfterFirst.startsWith(QString("Head: yaw 90") + QChar(0x00B0)))
        << paneAfterFirst.toStdString();

    mixertest::StereoCapture capture;
    ASSERT_TRUE(mixertest::ReadFloatWav(g_environment->output, &capture));
    const size_t rate = capture.rate;
    const std::optional<size_t> onset = FirstWindow(capture, 0, [](double) { return true; });
    ASSERT_TRUE(onset) << "nothing came out";
    // Each turn: the first window past the last where the sound stands on its new side.
    std::optional<size_t> turns[4];
    turns[0] = FirstWindow(capture, *onset, [](double db) { return db > 3.0; });
    ASSERT_TRUE(turns[0]);
    turns[1] = FirstWindow(capture, *turns[0] + rate / 10, [](double db) { return db < 3.0; });
    ASSERT_TRUE(turns[1]);
    turns[2] = FirstWindow(capture, *turns[1] + rate / 10, [](double db) { return db < -3.0; });
    ASSERT_TRUE(turns[2]);
    turns[3] = FirstWindow(capture, *turns[2] + rate / 10, [](double db) { return db > 3.0; });
    ASSERT_TRUE(turns[3]);

    // The writer mixes 1024 frames at a time, more than tracking's short queue: the mixer
    // lengthens the queue so it never runs dry at each mix. A pause now and then is the
    // machine's load; a queue shorter than a period paused at every one.
    size_t last = capture.left.size();
    while (last > *onset && capture.left[last - 1] == 0.0f && capture.right[last - 1] == 0.0f) {
        --last;
    }
    const size_t periods = (last - *onset) / 1024;
    EXPECT_LE(mixertest::StarvedRuns(capture, *onset, last).size(), periods / 8)
        << "in " << periods << " periods";

    const double ahead = Balance(capture, *onset, *turns[0] - rate / 20);
    const double turnedRight = Balance(capture, *turns[0] + rate / 10, *turns[1] - rate / 20);
    const double back = Balance(capture, *turns[1] + rate / 10, *turns[2] - rate / 20);
    const double ypr90 = Balance(capture, *turns[2] + rate / 10, *turns[3] - rate / 20);
    const double yprMinus90 = Balance(capture, *turns[3] + rate / 10, *turns[3] + rate / 2);
    std::printf(
        "[ measured ] left over right: ahead %+.2f dB, /sonomap/head 90 %+.2f dB, back to "
        "0 %+.2f dB, /ypr 90 %+.2f dB, /ypr -90 %+.2f dB\n",
        ahead, turnedRight, back, ypr90, yprMinus90);
    EXPECT_LE(std::abs(ahead), 2.0);
    EXPECT_GE(turnedRight, 6.0);
    EXPECT_LE(std::abs(back), 2.0);
    EXPECT_LE(ypr90, -6.0);
    EXPECT_GE(yprMinus90, 6.0);
    for (int i = 1; i < 4; ++i) {
        const double heard = static_cast<double>(*turns[i] - *turns[i - 1]) / rate;
        const double sent = sentAt[i] - sentAt[i - 1];
        std::printf(
            "[ measured ] turn %d to %d: %.3f s apart in the sound, %.3f s between the "
            "messages (%+.0f ms)\n",
            i, i + 1, heard, sent, 1000.0 * (heard - sent));
        EXPECT_NEAR(heard, sent, 0.080);
    }
}
