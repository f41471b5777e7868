// The one playback on the null back end, its ticks stepped by hand: the range it plays, the
// direction along the trajectory (an edit heard at the next tick), the stop paths, and chosen
// mixer calls failing, each shown once.
#include "playback/PlaybackSession.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "playback/CEditorApp.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackListener.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/ManualPlaybackClock.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "trajectory/SoundPlace.h"

namespace {

using ManualClock = ManualPlaybackClock;
std::atomic<uint32_t>& g_doneNotice = ManualPlaybackClock::DoneNotice();

class Heard : public PlaybackListener {
  public:
    void OnPlaybackStarted(CTesselDoc&, uint32_t frame) override { starts.push_back(frame); }
    void OnPlaybackTick(CTesselDoc&, const PlaybackTick& tick) override { ticks.push_back(tick); }
    void OnPlaybackStopped(CTesselDoc&, const PlaybackStop& stop) override {
        stops.push_back(stop);
    }
    std::vector<uint32_t> starts;
    std::vector<PlaybackTick> ticks;
    std::vector<PlaybackStop> stops;
};

class PlaybackSessionTest : public ::testing::Test {
  protected:
    PlaybackSessionTest() {
        TestSound sound;
        sound.samples = Pattern(22050 * 2);  // one second, mono 16-bit
        sound.points = {{0, -90}, {22049, 90}};
        m_pDoc = MemoryDocument(m_app, sound);
        m_playback.AddListener(&m_heard);
    }
    ~PlaybackSessionTest() override {
        m_playback.RemoveListener(&m_heard);
        m_playback.Stop();
        m_app.ExitInstance();
    }
    static std::unique_ptr<PlaybackClock> MakeClock(ManualClock*& clock) {
        auto made = std::make_unique<ManualClock>();
        clock = made.get();
        return made;
    }

    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    FailingMixer m_mixer{TrevantMixer::Shared()};
    ManualClock* m_pClock = nullptr;
    CEditorApp m_app{m_prompts, m_settings, m_mixer, MakeClock(m_pClock)};
    PlaybackSession& m_playback = m_app.GetPlayback();
    std::unique_ptr<CTesselDoc> m_pDoc;
    Heard m_heard;
};

}  // namespace

TEST_F(PlaybackSessionTest, PlaysTheRangeFromItsDirectionAndTellsWhereItStarts) {
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 1000, 2000));
    ASSERT_EQ(m_mixer.openedReaders.size(), 1u);
    const MixerWaveReader& reader = m_mixer.openedReaders[0];
    EXPECT_EQ(reader.frameCount, 1000u);
    EXPECT_EQ(reader.channels, 1u);
    // The feeder's first frames are the sound's frames 1000 on, as floats.
    float read[3];
    reader.read(reader.user, 0, 3, read);
    for (int i = 0; i < 3; ++i) {
        int16_t stored = 0;
        std::memcpy(&stored, m_pDoc->GetSamples() + (1000 + i) * 2, 2);
        EXPECT_EQ(read[i], stored / 32768.0f) << i;
    }
    EXPECT_EQ(m_app.GetSessionRate(), 22050u);
    EXPECT_EQ(m_playback.GetPlayStart(), 1000u);
    EXPECT_NE(m_playback.GetWave(), 0u);
    // Frame 1000 of a sweep from -90 at 0 to +90 at 22049.
    EXPECT_EQ(m_mixer.directions, std::vector<int32_t>{-90 + 1000 * 180 / 22049});
    EXPECT_TRUE(m_playback.IsPlaying(*m_pDoc));
    EXPECT_TRUE(m_pClock->IsRunning());
    EXPECT_EQ(m_pClock->period, PlaybackSession::kTickPeriodMs);
    EXPECT_EQ(m_heard.starts, std::vector<uint32_t>{1000});
    EXPECT_EQ(m_playback.HeardFrame(), 1000u);

    // To the end; the first wave goes before the next is made.
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 4000, -1));
    ASSERT_EQ(m_heard.stops.size(), 1u);
    EXPECT_FALSE(m_heard.stops[0].bPlayedOut);
    EXPECT_EQ(m_mixer.openedReaders[1].frameCount, 22050u - 4000u);
}

TEST_F(PlaybackSessionTest, AnEditDuringPlaybackIsHeardAtTheNextTick) {
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 0, -1));
    m_pClock->tick();
    ASSERT_EQ(m_heard.ticks.size(), 1u);
    ASSERT_TRUE(m_heard.ticks[0].direction);
    EXPECT_LT(*m_heard.ticks[0].direction, 0);  // still near the left

    // The first point is dragged to full right: the sound is now right from the start.
    PanPoint* start = m_pDoc->NextPoint(nullptr);
    PanEditCommands::RecordEdit(*m_pDoc, start, UndoKind::Modify);
    start->azimuth = 90;
    m_pDoc->TrajectoryChanged();
    m_pClock->tick();
    ASSERT_TRUE(m_heard.ticks.back().direction);
    EXPECT_EQ(*m_heard.ticks.back().direction, 90);
    EXPECT_EQ(m_mixer.directions.back(), 90);
    PanEditCommands::FinishEdit(*m_pDoc);

    // Undo brings the sweep back, again at the next tick; emptying it keeps the direction.
    PanEditCommands::Undo(*m_pDoc);
    m_pClock->tick();
    ASSERT_TRUE(m_heard.ticks.back().direction);
    EXPECT_LT(*m_heard.ticks.back().direction, 0);
    const size_t directions = m_mixer.directions.size();
    while (const PanPoint* first = m_pDoc->NextPoint(nullptr)) {
        m_pDoc->RemovePoint(first);
    }
    m_pClock->tick();
    EXPECT_FALSE(m_heard.ticks.back().direction);
    EXPECT_EQ(m_mixer.directions.size(), directions);
    EXPECT_TRUE(m_playback.IsPlaying());
}

TEST_F(PlaybackSessionTest, ATrajectoryAllAroundIsPlacedAndAnEditBackToTheFrontStepsPansAgain) {
    PanPoint* start = m_pDoc->NextPoint(nullptr);
    PanEditCommands::RecordEdit(*m_pDoc, start, UndoKind::Modify);
    SetAzimuth(*start, 180);
    start->distanceCm = 200;
    PanEditCommands::FinishEdit(*m_pDoc);

    ASSERT_TRUE(m_playback.Play(*m_pDoc, 0, -1));
    ASSERT_EQ(m_mixer.places.size(), 1u);
    EXPECT_EQ(m_mixer.places[0].azimuth, 180);
    EXPECT_EQ(m_mixer.places[0].distanceCm, 200u);
    EXPECT_TRUE(m_mixer.directions.empty());
    m_pClock->tick();
    ASSERT_TRUE(m_heard.ticks.back().place);
    ASSERT_EQ(m_mixer.places.size(), 2u);
    // On its way from behind towards the right, a little nearer.
    EXPECT_GE(m_mixer.places[1].azimuth, 90);
    EXPECT_LE(m_mixer.places[1].distanceCm, 200u);
    EXPECT_EQ(*m_heard.ticks.back().direction, FrontalFold(m_mixer.places[1].azimuth));

    PanEditCommands::RecordEdit(*m_pDoc, start, UndoKind::Modify);
    SetAzimuth(*start, -90);
    start->distanceCm = 100;
    m_pDoc->TrajectoryChanged();
    m_pClock->tick();
    EXPECT_EQ(m_mixer.places.size(), 2u);
    ASSERT_FALSE(m_mixer.directions.empty());
    EXPECT_LT(m_mixer.directions.back(), 0);
    PanEditCommands::FinishEdit(*m_pDoc);
    m_playback.Stop();

    // A stereo sound with a trajectory is always placed, its channels around the direction.
    TestSound stereo;
    stereo.format = MakeFormat(2, 22050, 16);
    stereo.samples = Pattern(22050 * 4);
    stereo.points = {{0, 30}};
    auto stereoDoc = MemoryDocument(m_app, stereo);
    ASSERT_TRUE(m_playback.Play(*stereoDoc, 0, -1));
    ASSERT_EQ(m_mixer.places.size(), 3u);
    EXPECT_EQ(m_mixer.places[2].azimuth, 30);
    EXPECT_EQ(m_mixer.places[2].width, 0);
    m_playback.Stop();
}

TEST_F(PlaybackSessionTest, StopTheEndOfTheWaveAndClosingTheDocumentEndItTheOneWay) {
    // Played out: the notice for an older play is ignored, its own ends it.
    g_doneNotice = 0;
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 500, 600));
    m_pClock->done(g_doneNotice + 1000);
    EXPECT_TRUE(m_playback.IsPlaying());
    for (int i = 0; i < 400 && g_doneNotice == 0; ++i) {
        m_pClock->tick();  // the null back end plays a hundred frames in about 5 ms
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(g_doneNotice.load(), 0u) << "the mixer never said the wave had played out";
    m_pClock->done(g_doneNotice);
    ASSERT_EQ(m_heard.stops.size(), 1u);
    EXPECT_TRUE(m_heard.stops[0].bPlayedOut);
    EXPECT_EQ(m_heard.stops[0].playStart, 500u);
    EXPECT_FALSE(m_pClock->IsRunning());
    EXPECT_NE(m_playback.GetWave(), 0u);  // kept, at its end, until the next play

    // Stopped with the caret following: where it was is told.
    Preferences prefs = m_app.GetPreferences();
    prefs.bCursorFollow = true;
    m_app.SetPreferences(prefs);
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 100, -1));
    m_playback.Stop();
    ASSERT_EQ(m_heard.stops.size(), 2u);
    EXPECT_FALSE(m_heard.stops[1].bPlayedOut);
    ASSERT_TRUE(m_heard.stops[1].stopFrame);
    EXPECT_GE(*m_heard.stops[1].stopFrame, 100u);

    // The playing document goes: its sound stops with it.
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 0, -1));
    m_pDoc.reset();
    EXPECT_FALSE(m_playback.IsPlaying());
    EXPECT_EQ(m_playback.GetWave(), 0u);
    EXPECT_EQ(m_heard.stops.size(), 3u);
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(PlaybackSessionTest, AFailedStartIsShownOnceAndLeavesTheProgramSilent) {
    for (const char* operation : {"OpenWave", "SetPosition", "SetVolume", "PlayEx"}) {
        SCOPED_TRACE(operation);
        m_prompts.Clear();
        m_mixer.FailNext(operation, AMBREL_WAVEMIX_ERR_AUDIO);
        EXPECT_FALSE(m_playback.Play(*m_pDoc, 0, -1));
        EXPECT_EQ(m_prompts.Texts(),
                  std::vector<std::string>{CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_AUDIO)});
        EXPECT_FALSE(m_app.IsPlaying());
        EXPECT_FALSE(m_pClock->IsRunning());
        EXPECT_EQ(m_playback.GetWave(), 0u);
    }
    EXPECT_TRUE(m_heard.starts.empty());
    // Nothing is left queued: the next start plays, with its ticks.
    m_prompts.Clear();
    EXPECT_TRUE(m_playback.Play(*m_pDoc, 0, -1));
    EXPECT_TRUE(m_app.IsPlaying());
    EXPECT_TRUE(m_pClock->IsRunning());
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(PlaybackSessionTest, AFailedTickStopsTheDirectionAndTheSoundPlaysOn) {
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 0, -1));
    m_mixer.FailNext("GetPlayPosition", AMBREL_WAVEMIX_ERR_BAD_WAVE);
    m_pClock->tick();
    m_pClock->tick();
    EXPECT_EQ(m_prompts.Texts(),
              std::vector<std::string>{CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_BAD_WAVE)});
    ASSERT_EQ(m_heard.ticks.size(), 2u);
    EXPECT_FALSE(m_heard.ticks[0].direction);
    EXPECT_FALSE(m_heard.ticks[1].direction);
    EXPECT_TRUE(m_heard.ticks[1].heardFrame);
    EXPECT_TRUE(m_app.IsPlaying());
    // Its document's window going silences it without a word.
    m_playback.StopDocument(*m_pDoc);
    EXPECT_FALSE(m_app.IsPlaying());
    ASSERT_EQ(m_heard.stops.size(), 1u);
    EXPECT_FALSE(m_heard.stops[0].stopFrame);
    EXPECT_EQ(m_prompts.Boxes().size(), 1u);
}

TEST_F(PlaybackSessionTest, AFailedPositionReadHidesThePlayheadQuietlyAndTheDirectionGoesOn) {
    ASSERT_TRUE(m_playback.Play(*m_pDoc, 1000, -1));
    m_mixer.FailNext("GetOutputPosition", AMBREL_WAVEMIX_ERR_BAD_WAVE);
    m_pClock->tick();
    m_pClock->tick();
    ASSERT_EQ(m_heard.ticks.size(), 2u);
    EXPECT_FALSE(m_heard.ticks[1].heardFrame);
    EXPECT_TRUE(m_heard.ticks[1].direction);
    EXPECT_FALSE(m_playback.HeardFrame());
    EXPECT_TRUE(m_prompts.Boxes().empty());
    EXPECT_TRUE(m_app.IsPlaying());
}

TEST(PlaybackHeardFrame, TheLatencyIsTakenOffAtTheWavesRateButNeverBeforeTheStart) {
    EXPECT_EQ(PlaybackSession::HeardFrame(1000, 5000, 0, 22050), 6000u);
    EXPECT_EQ(PlaybackSession::HeardFrame(1000, 5000, 100000, 22050), 6000u - 2205u);
    EXPECT_EQ(PlaybackSession::HeardFrame(1000, 2000, 100000, 22050), 1000u);
    EXPECT_EQ(PlaybackSession::HeardFrame(4294967000u, 1000, 0, 44100), 4294967295u);
}
