// A view's playback on the null back end with chosen mixer calls failing: each failure is
// shown once and leaves the program silent, or the sound playing on without its ticks.
#include "playback/ViewPlayer.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/PlayingView.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

class QuietView : public PlayingView {
  public:
    void StopPlaybackTimer() override {}
    void SendLivePan(int pan) override { pans.push_back(pan); }
    bool ShowsCaret() const override { return true; }
    void PlaceCaret(uint32_t frame) override { carets.push_back(frame); }
    void ShowPlayPosition(std::optional<uint32_t> frame) override { positions.push_back(frame); }
    std::vector<int> pans;
    std::vector<std::optional<uint32_t>> positions;
    std::vector<uint32_t> carets;
};

class PlayerWithFailures : public ::testing::Test {
  protected:
    PlayerWithFailures() {
        TestSound sound;
        sound.samples = Pattern(22050 * 2);  // one second
        sound.points = {{0, -90}, {22049, 90}};
        sound.chunkFrames = FramesOf(sound);
        const std::string path = m_dir.File("take.wav");
        WriteBytes(path, BuildSoundFile(sound));
        EXPECT_TRUE(m_doc.OnOpenDocument(path));
    }
    ~PlayerWithFailures() override {
        m_app.StopPlayback();
        m_app.ExitInstance();
    }

    TempDir m_dir;
    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    FailingMixer m_mixer{TrevantMixer::Shared()};
    CEditorApp m_app{m_prompts, m_settings, m_mixer};
    CTesselDoc m_doc{m_app};
    QuietView m_view;
    ViewPlayer m_player{m_doc, m_app, m_view};
};

}  // namespace

TEST_F(PlayerWithFailures, AFailedStartIsShownOnceAndLeavesTheProgramSilent) {
    for (const char* operation : {"SetPosition", "SetVolume", "PlayEx"}) {
        SCOPED_TRACE(operation);
        m_prompts.Clear();
        m_mixer.FailNext(operation, AMBREL_WAVEMIX_ERR_AUDIO);
        m_player.Play(0, -1);
        EXPECT_EQ(m_prompts.Texts(),
                  std::vector<std::string>{CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_AUDIO)});
        EXPECT_FALSE(m_app.IsPlaying());
        EXPECT_FALSE(m_doc.IsPlaying());
        EXPECT_FALSE(m_player.IsTimerRunning());
    }
    // Nothing is left queued: the next start plays, with the trajectory's ticks.
    m_prompts.Clear();
    m_player.Play(0, -1);
    EXPECT_TRUE(m_app.IsPlaying());
    EXPECT_EQ(m_app.GetPlayingView(), &m_view);
    EXPECT_TRUE(m_player.IsTimerRunning());
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(PlayerWithFailures, AFailedTickStopsTheTicksAndTheSoundPlaysOn) {
    m_player.Play(0, -1);
    ASSERT_TRUE(m_player.IsTimerRunning());
    m_mixer.FailNext("GetPlayPosition", AMBREL_WAVEMIX_ERR_BAD_WAVE);
    for (int waited = 0; m_player.IsTimerRunning() && waited < 2000; waited += 5) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    EXPECT_FALSE(m_player.IsTimerRunning());
    EXPECT_EQ(m_prompts.Texts(),
              std::vector<std::string>{CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_BAD_WAVE)});
    EXPECT_TRUE(m_app.IsPlaying());
    // The view going away silences it without a word.
    m_player.StopWithView();
    EXPECT_FALSE(m_app.IsPlaying());
    EXPECT_FALSE(m_doc.IsPlaying());
    EXPECT_EQ(m_view.pans.back(), kNoLivePan);
    EXPECT_TRUE(m_view.carets.empty());
    EXPECT_EQ(m_prompts.Boxes().size(), 1u);
}

TEST_F(PlayerWithFailures, AFailedPositionReadHidesThePlayheadQuietlyAndThePanTicksGoOn) {
    m_player.Play(1000, -1);
    ASSERT_TRUE(m_player.IsPositionTimerRunning());
    ASSERT_FALSE(m_view.positions.empty());
    EXPECT_EQ(m_view.positions.front(), 1000u);  // shown at once, where playing begins
    m_mixer.FailNext("GetOutputPosition", AMBREL_WAVEMIX_ERR_BAD_WAVE);
    m_player.TickPosition();
    EXPECT_FALSE(m_player.IsPositionTimerRunning());
    EXPECT_EQ(m_view.positions.back(), std::nullopt);
    EXPECT_TRUE(m_prompts.Boxes().empty());
    EXPECT_TRUE(m_player.IsTimerRunning());
    EXPECT_TRUE(m_app.IsPlaying());
}

TEST(ViewPlayerHeardFrame, TheLatencyIsTakenOffAtTheWavesRateButNeverBeforeTheStart) {
    EXPECT_EQ(ViewPlayer::HeardFrame(1000, 5000, 0, 22050), 6000u);
    EXPECT_EQ(ViewPlayer::HeardFrame(1000, 5000, 100000, 22050), 6000u - 2205u);
    EXPECT_EQ(ViewPlayer::HeardFrame(1000, 2000, 100000, 22050), 1000u);
    EXPECT_EQ(ViewPlayer::HeardFrame(4294967000u, 1000, 0, 44100), 4294967295u);
}
