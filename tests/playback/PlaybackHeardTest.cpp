// The one playback on OpenAL Soft's wave-file writer, ticking every 33 ms as in the editor:
// a point moved while the sound plays is heard in what comes out within two ticks, not after
// the segment that was playing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <thread>

#include "../trevant/MixerTestSupport.h"
#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "playback/CEditorApp.h"
#include "support/DocumentTestFiles.h"
#include "support/ManualPlaybackClock.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kFrames = kRate * 3 / 2;  // 1.5 s

// The writer's file; set before OpenAL Soft's first use in this process.
class WaveWriter : public ::testing::Environment {
  public:
    void SetUp() override {
        dir = std::make_unique<TempDir>();
        output = dir->File("out.wav");
        const std::string conf = dir->File("alsoft.conf");
        std::ofstream(conf) << "[general]\ndrivers=wave\n[wave]\nfile=" << output << "\n";
        ::setenv("ALSOFT_CONF", conf.c_str(), 1);
        ::unsetenv("ALSOFT_DRIVERS");
    }
    std::unique_ptr<TempDir> dir;
    std::string output;
};

WaveWriter* const g_writer =
    static_cast<WaveWriter*>(::testing::AddGlobalTestEnvironment(new WaveWriter));

// Whether the window of capture frames around at sounds from the right only.
bool IsRight(const mixertest::StereoCapture& capture, size_t at, size_t window) {
    return mixertest::Rms(capture.right, at, at + window) >
           10.0 * mixertest::Rms(capture.left, at, at + window);
}

}  // namespace

TEST(PlaybackHeard, APointMovedWhilePlayingIsHeardWithinTwoTicks) {
    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    auto clock = std::make_unique<ManualPlaybackClock>();
    ManualPlaybackClock& ticks = *clock;
    uint32_t editedAt = 0;   // the play position when the points moved, in frames
    uint32_t appliedAt = 0;  // and at the tick after, which hands the mixer the new direction
    {
        CEditorApp app(prompts, settings, TrevantMixer::Shared(), std::move(clock));
        Preferences prefs = app.GetPreferences();
        prefs.bLowpassFilter = false;
        app.SetPreferences(prefs);
        TestSound sound;
        sound.samples = mixertest::MakeTone(kRate, kFrames, 440.0, 16);
        sound.points = {{0, -90}, {kFrames - 1, -90}};  // full left all along
        std::unique_ptr<CTesselDoc> doc = MemoryDocument(app, sound);
        PlaybackSession& playback = app.GetPlayback();
        ASSERT_TRUE(playback.Play(*doc, 0, -1));

        // Half a second in, both points go full right, as one edit.
        const auto period = std::chrono::milliseconds(PlaybackSession::kTickPeriodMs);
        auto next = std::chrono::steady_clock::now();
        for (int i = 0; i < 90 && playback.IsPlaying(); ++i) {
            next += period;
            std::this_thread::sleep_until(next);
            ticks.tick();
            if (i == 16) {
                ASSERT_EQ(
                    app.GetMixer().GetPlayPosition(app.GetMixerSession(), 0, playback.GetWave(),
                                                   appliedAt, AMBREL_WAVEMIX_POSITION_FRAMES),
                    0);
            }
            if (i == 15) {
                ASSERT_EQ(
                    app.GetMixer().GetPlayPosition(app.GetMixerSession(), 0, playback.GetWave(),
                                                   editedAt, AMBREL_WAVEMIX_POSITION_FRAMES),
                    0);
                doc->BeginGroup(UndoKind::Modify);
                for (PanPoint* point = doc->NextPoint(nullptr); point;
                     point = doc->NextPoint(point)) {
                    point->azimuth = 90;
                }
                doc->TrajectoryChanged();
                doc->EndGroup();
            }
            if (ManualPlaybackClock::DoneNotice() != 0) {
                break;
            }
        }
        playback.Stop();
        ASSERT_GT(editedAt, 0u);
        ASSERT_LT(editedAt, kFrames / 2) << "the machine was too slow to edit in time";
    }  // the session closes, and the writer finishes its file

    mixertest::StereoCapture capture;
    ASSERT_TRUE(mixertest::ReadFloatWav(g_writer->output, &capture));
    ASSERT_GT(capture.rate, 0u);
    // Where the sound begins in the file, and where the edit's frame comes out.
    size_t onset = 0;
    while (onset < capture.left.size() && std::abs(capture.left[onset]) < 1e-3f &&
           std::abs(capture.right[onset]) < 1e-3f) {
        ++onset;
    }
    ASSERT_LT(onset, capture.left.size()) << "nothing came out";
    // A busy machine may starve the output: the pauses it leaves hold none of the frames
    // played, and two ticks after the edit the sound may still be paused. It may also hold
    // back the tick after the edit while the mixer plays on: the new direction is then heard
    // a tick after that tick, which comes two ticks after the edit when nothing is held back.
    const double scale = static_cast<double>(capture.rate) / kRate;
    const size_t edit =
        mixertest::AfterSoundingFrames(capture, onset, static_cast<size_t>(editedAt * scale));
    const size_t applied =
        mixertest::AfterSoundingFrames(capture, onset, static_cast<size_t>(appliedAt * scale));
    const size_t tick = capture.rate * PlaybackSession::kTickPeriodMs / 1000;
    const size_t window = capture.rate / 200;  // 5 ms
    const size_t heard =
        mixertest::AfterSoundingFrames(capture, std::max(edit + 2 * tick, applied + tick), 0);
    ASSERT_LT(heard + window, capture.left.size());

    // Left until the edit, right from two ticks after it.
    EXPECT_FALSE(IsRight(capture, onset + window, window));
    EXPECT_FALSE(IsRight(capture, edit - window, window));
    EXPECT_TRUE(IsRight(capture, heard, window))
        << "still left " << 2 * PlaybackSession::kTickPeriodMs << " ms after the edit";
    EXPECT_TRUE(prompts.Boxes().empty());
}
