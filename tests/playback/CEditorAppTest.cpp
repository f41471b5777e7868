#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/PlaybackListener.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "trajectory/PanPointList.h"

namespace {

// Records how playbacks end.
class StopRecorder : public PlaybackListener {
  public:
    void OnPlaybackStopped(CTesselDoc&, const PlaybackStop& stop) override {
        stops.push_back(stop);
    }
    std::vector<PlaybackStop> stops;
};

// A second of a 22050 Hz mono sound, made in memory.
std::unique_ptr<CTesselDoc> Second(DocumentHost& host) {
    TestSound sound;
    sound.samples = Pattern(22050 * 2);
    return MemoryDocument(host, sound);
}

const std::string kWaveOutHint = "Perhaps another application is using your WaveOut device.";

class EditorApp : public ::testing::Test {
  protected:
    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    FailingMixer m_mixer{TrevantMixer::Shared()};
    CEditorApp m_app{m_prompts, m_settings, m_mixer};
};

TEST_F(EditorApp, PreferencesDefaultWhenNothingIsStored) {
    m_app.LoadPreferences();
    EXPECT_FALSE(m_app.GetPreferences().bCursorFollow);
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, 2);
    EXPECT_FALSE(m_app.GetPreferences().bLowpassFilter);
    EXPECT_FALSE(m_app.GetPreferences().bUsePrimaryBuffer);
    EXPECT_EQ(m_app.GetPreferences().latency, 0);
    EXPECT_EQ(m_app.GetPreferences().savePath, "");
    EXPECT_EQ(m_app.GetPreferences().openPath, "");
    EXPECT_EQ(m_app.GetPreferences().exportPath, "");
    EXPECT_EQ(m_app.GetEditMode(), CEditorApp::kEditModeSelect);
    EXPECT_EQ(m_app.GetMainFrameClassName(), "Noneasdasdasd");
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    EXPECT_FALSE(m_app.IsPlaying());
}

TEST_F(EditorApp, BooleanPreferencesAreOnOnlyWhenStoredAsOne) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"1", true}, {"0", false}, {"2", false}, {"-1", false}, {"yes", false}};
    for (const auto& [raw, bOn] : cases) {
        SCOPED_TRACE(raw);
        for (const char* key : {"CursorFollow", "LowpassFilter", "UsePrimaryBuffer"}) {
            m_settings.Put("Preferences", key, raw);
        }
        m_app.LoadPreferences();
        EXPECT_EQ(m_app.GetPreferences().bCursorFollow, bOn);
        EXPECT_EQ(m_app.GetPreferences().bLowpassFilter, bOn);
        EXPECT_EQ(m_app.GetPreferences().bUsePrimaryBuffer, bOn);
    }
    m_settings.Put("Preferences", "MixerOutput", "1");
    m_settings.Put("Preferences", "Latency", "340");
    m_settings.Put("Preferences", "OpenPath", "/home/u/sounds/");
    m_app.LoadPreferences();
    EXPECT_EQ(m_app.GetPreferences().mixerOutput, 1);
    EXPECT_EQ(m_app.GetPreferences().latency, 340);
    EXPECT_EQ(m_app.GetPreferences().openPath, "/home/u/sounds/");
}

TEST_F(EditorApp, ShutdownMarksTheFrameGoneThenWritesPreferencesInTableOrder) {
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.bCursorFollow = true;
        prefs.mixerOutput = 0;
        prefs.bUsePrimaryBuffer = true;
        prefs.latency = 120;
        prefs.savePath = "/s/";
        prefs.exportPath = "/e/";
        prefs.output.device = "USB Headset";
        prefs.output.hrtfMode = OutputPreferences::kHrtfOff;
        prefs.output.hrtfName = "default-48000";
        m_app.SetPreferences(prefs);
    }
    static_cast<DocumentHost&>(m_app).SetPanClipboard(std::make_unique<PanPointList>());
    m_app.OpenMixerSession(44100);
    ASSERT_NE(m_app.GetMixerSession(), 0u);

    m_app.ExitInstance();
    const std::vector<std::string> expected = {
        "Initialization/ClassName", "Preferences/CursorFollow", "Preferences/MixerOutput",
        "Preferences/LowpassFilter", "Preferences/UsePrimaryBuffer", "Preferences/Latency",
        "Preferences/SavePath", "Preferences/OpenPath", "Preferences/ExportPath",
        // The keys that came with the Linux outputs follow the table's.
        "Preferences/OutputDevice", "Preferences/HrtfMode", "Preferences/HrtfName",
        "Preferences/BinauralHrtf", "Preferences/Loudspeakers",
        // Head tracking's keys, in their own section, last.
        "HeadTracking/Enabled", "HeadTracking/ReadHead", "HeadTracking/ReadYpr",
        "HeadTracking/ReadQuaternion", "HeadTracking/ReadPlace", "HeadTracking/InvertYaw",
        "HeadTracking/InvertPitch", "HeadTracking/InvertRoll", "HeadTracking/Port"};
    EXPECT_EQ(m_settings.Writes(), expected);
    EXPECT_EQ(m_app.GetMainFrameClassName(), "wergarbageqwert");
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(static_cast<DocumentHost&>(m_app).GetPanClipboard(), nullptr);
    EXPECT_EQ(m_settings.GetString("Preferences", "CursorFollow", ""), "1");
    EXPECT_EQ(m_settings.GetString("Preferences", "LowpassFilter", ""), "0");
    EXPECT_EQ(m_settings.GetString("Preferences", "UsePrimaryBuffer", ""), "1");

    ScriptedPrompts otherPrompts;
    CEditorApp next(otherPrompts, m_settings);
    next.LoadPreferences();
    EXPECT_TRUE(next.GetPreferences().bCursorFollow);
    EXPECT_EQ(next.GetPreferences().mixerOutput, 0);
    EXPECT_FALSE(next.GetPreferences().bLowpassFilter);
    EXPECT_TRUE(next.GetPreferences().bUsePrimaryBuffer);
    EXPECT_EQ(next.GetPreferences().latency, 120);
    EXPECT_EQ(next.GetPreferences().savePath, "/s/");
    EXPECT_EQ(next.GetPreferences().exportPath, "/e/");
    EXPECT_EQ(next.GetPreferences().output.device, "USB Headset");
    EXPECT_EQ(next.GetPreferences().output.hrtfMode, OutputPreferences::kHrtfOff);
    EXPECT_EQ(next.GetPreferences().output.hrtfName, "default-48000");
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST(EditorAppRates, RateClasses) {
    const std::vector<std::pair<uint32_t, uint32_t>> cases = {
        {8000, 11025},  {11025, 11025}, {11026, 22050}, {16000, 22050},
        {22050, 22050}, {22051, 44100}, {32000, 44100}, {48000, 44100}};
    for (const auto& [rate, rounded] : cases) {
        EXPECT_EQ(CEditorApp::RoundMixerRate(rate), rounded) << rate;
    }
}

TEST_F(EditorApp, ConfigFollowsThePreferences) {
    static_assert(sizeof(MixerSessionConfig) == 40);
    struct Case {
        int output;
        bool bPrimary;
        uint32_t flags;
        uint32_t mixerOutput;
    };
    // 7: a stored value of no meaning lets the mixer decide, without the primary buffer.
    const Case cases[] = {{0, true, 1, 2},  {1, true, 0, 1},  {2, true, 1, 0}, {7, true, 0, 0},
                          {0, false, 0, 2}, {1, false, 0, 1}, {2, false, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.output << " " << c.bPrimary);
        {
            Preferences prefs = m_app.GetPreferences();
            prefs.mixerOutput = c.output;
            prefs.bUsePrimaryBuffer = c.bPrimary;
            prefs.latency = 260;
            m_app.SetPreferences(prefs);
        }
        const MixerSessionConfig config = m_app.MakeMixerConfig(22050);
        EXPECT_EQ(config.size, 40u);
        EXPECT_EQ(config.flags, c.flags);
        EXPECT_EQ(config.sampleRate, 22050u);
        EXPECT_EQ(config.channels, 1u);
        EXPECT_EQ(config.output, c.mixerOutput);
        EXPECT_EQ(config.latencyMs, 260u);
        EXPECT_EQ(config.reserved1 | config.reserved2 | config.reserved3 | config.reserved4, 0u);
    }
}

TEST(OutputChoice, StoredValuesAndMixerOutputsMapBothWays) {
    const struct {
        int preference;
        uint32_t output;
    } pairs[] = {{Preferences::kOutputDirectSound, AMBREL_WAVEMIX_OUTPUT_PULSE},
                 {Preferences::kOutputWaveOut, AMBREL_WAVEMIX_OUTPUT_ALSA},
                 {Preferences::kOutputLetMixerDecide, AMBREL_WAVEMIX_OUTPUT_AUTO},
                 {Preferences::kOutputJack, AMBREL_WAVEMIX_OUTPUT_JACK}};
    for (const auto& pair : pairs) {
        EXPECT_EQ(OutputPreferences::MixerOutputValue(pair.preference), pair.output);
        EXPECT_EQ(OutputPreferences::PreferenceOfMixerOutput(pair.output), pair.preference);
    }
    for (int unknown : {-1, 4, 7}) {
        EXPECT_EQ(OutputPreferences::MixerOutputValue(unknown), AMBREL_WAVEMIX_OUTPUT_AUTO)
            << unknown;
    }
    EXPECT_EQ(OutputPreferences::PreferenceOfMixerOutput(4), Preferences::kOutputLetMixerDecide);
}

TEST(OutputChoice, HrtfsListedOnceARateGroupIntoOneSetEach) {
    using Listed = std::vector<std::pair<std::string, uint32_t>>;
    const Listed listed = {{"default-48000", 48000}, {"Built-In 44100hz", 44100},
                           {"default-44100", 44100}, {"Built-In 48000Hz", 48000},
                           {"kemar_44100", 44100},   {"studio48000", 48000},
                           {"broken-44100", 0}};
    const std::vector<OutputPreferences::HrtfSet> sets = OutputPreferences::GroupHrtfs(listed);
    ASSERT_EQ(sets.size(), 5u);
    EXPECT_EQ(sets[0].name, "default");
    EXPECT_EQ(sets[0].members, (Listed{{"default-44100", 44100}, {"default-48000", 48000}}));
    EXPECT_EQ(sets[1].name, "Built-In");
    EXPECT_EQ(sets[1].members, (Listed{{"Built-In 44100hz", 44100}, {"Built-In 48000Hz", 48000}}));
    EXPECT_EQ(sets[2].name, "kemar");
    // Without a separator before the rate, or not loadable: a set of its own, named in full.
    EXPECT_EQ(sets[3].name, "studio48000");
    EXPECT_EQ(sets[4].name, "broken-44100");
}

TEST_F(EditorApp, SessionIsKeptWithinARateClassAndReplacedAcrossIt) {
    m_app.OpenMixerSession(22050);
    const AmbrelWaveMixSession first = m_app.GetMixerSession();
    ASSERT_NE(first, 0u);
    EXPECT_EQ(m_app.GetSessionRate(), 22050u);
    m_app.OpenMixerSession(16000);
    EXPECT_EQ(m_app.GetMixerSession(), first);
    m_app.OpenMixerSession(44100);
    const AmbrelWaveMixSession second = m_app.GetMixerSession();
    ASSERT_NE(second, 0u);
    EXPECT_NE(second, first);
    EXPECT_EQ(m_app.GetSessionRate(), 44100u);
    // The replaced session is gone from the mixer.
    EXPECT_EQ(AmbrelWaveMixActivate(first, 1), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    m_app.CloseMixerSession();
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(AmbrelWaveMixActivate(second, 1), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    m_app.CloseMixerSession();
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(EditorApp, MixerErrorTextHasTheCodeTheLibraryTextAndTheInUseHint) {
    EXPECT_EQ(CEditorApp::FormatMixerError(4),
              "AmbrelWaveMix Error 4...\n\nNo audio output device could be opened.");
    EXPECT_EQ(CEditorApp::FormatMixerError(21),
              "AmbrelWaveMix Error 21...\n\nThe ALSA output device (WaveOut) is busy.\n\n"
              "Perhaps your WaveOut device is in use by another application.");
    m_app.ReportMixerError(1);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    const UserPrompts::Box& box = m_prompts.Boxes()[0];
    EXPECT_EQ(box.text, CEditorApp::FormatMixerError(1));
    EXPECT_EQ(box.buttons, UserPrompts::Buttons::Ok);
    EXPECT_EQ(box.icon, UserPrompts::Icon::None);
}

TEST_F(EditorApp, FailedInitReportsTheLastErrorAndLeavesNoSession) {
    m_mixer.FailNext("InitEx", AMBREL_WAVEMIX_ERR_NO_DEVICE);
    m_app.OpenMixerSession(44100);
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_prompts.Texts(),
              std::vector<std::string>{CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_NO_DEVICE)});
    // The next play tries again.
    m_app.OpenMixerSession(44100);
    EXPECT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_prompts.Boxes().size(), 1u);
}

TEST_F(EditorApp, BusyDeviceShowsTheErrorThenTheWaveOutHint) {
    m_mixer.FailNext("Activate", AMBREL_WAVEMIX_ERR_DEVICE_BUSY);
    m_app.OpenMixerSession(22050);
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    const std::vector<std::string> expected = {CEditorApp::FormatMixerError(1), kWaveOutHint};
    EXPECT_EQ(m_prompts.Texts(), expected);
}

TEST_F(EditorApp, OtherActivateAndChannelFailuresShowOneBoxAndCloseTheSession) {
    struct Case {
        const char* operation;
        int code;
    };
    for (const Case& c : {Case{"Activate", 21}, Case{"Activate", 12}, Case{"OpenChannel", 11}}) {
        SCOPED_TRACE(testing::Message() << c.operation << " " << c.code);
        m_prompts.Clear();
        m_mixer.FailNext(c.operation, c.code);
        m_app.OpenMixerSession(11025);
        EXPECT_EQ(m_app.GetMixerSession(), 0u);
        EXPECT_EQ(m_prompts.Texts(),
                  std::vector<std::string>{CEditorApp::FormatMixerError(c.code)});
    }
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    m_prompts.Clear();
    m_app.OpenMixerSession(11025);
    EXPECT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(EditorApp, LowpassOffTurnsTheFilterOffAndOnLeavesItAlone) {
    // With the preference on the options call is not made: a queued failure stays unused.
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.bLowpassFilter = true;
        m_app.SetPreferences(prefs);
    }
    m_mixer.FailNext("SetOptions", AMBREL_WAVEMIX_ERR_AUDIO);
    m_app.OpenMixerSession(44100);
    EXPECT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_TRUE(m_prompts.Boxes().empty());
    m_app.CloseMixerSession();

    // With it off the call is made; its failure is shown and the session stays usable.
    {
        Preferences prefs = m_app.GetPreferences();
        prefs.bLowpassFilter = false;
        m_app.SetPreferences(prefs);
    }
    m_app.OpenMixerSession(44100);
    EXPECT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_prompts.Texts(),
              std::vector<std::string>{CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_AUDIO)});
}

TEST_F(EditorApp, CommandStatesFollowPlayingAndOptionsOkDropsTheSession) {
    auto doc = Second(m_app);
    CTesselDoc& document = *doc;
    EXPECT_FALSE(m_app.IsPlaying());
    ASSERT_TRUE(m_app.GetPlayback().Play(document, 0, -1));
    EXPECT_TRUE(m_app.IsPlaying());

    m_app.OnCursorFollow();
    EXPECT_TRUE(m_app.GetPreferences().bCursorFollow);
    m_app.OnCursorFollow();
    EXPECT_FALSE(m_app.GetPreferences().bCursorFollow);

    m_app.OpenMixerSession(22050);
    ASSERT_NE(m_app.GetMixerSession(), 0u);
    m_app.OnOptionsAccepted();
    EXPECT_EQ(m_app.GetMixerSession(), 0u);
    EXPECT_FALSE(m_app.IsPlaying());
    EXPECT_FALSE(m_app.GetPlayback().IsPlaying(document));
    // The preferences reach the store at once, in the order shutdown writes them.
    ASSERT_EQ(m_settings.Writes().size(), 22u);
    EXPECT_EQ(m_settings.Writes().front(), "Preferences/CursorFollow");
    EXPECT_EQ(m_settings.Writes()[12], "Preferences/Loudspeakers");
    EXPECT_EQ(m_settings.Writes().back(), "HeadTracking/Port");
}

TEST_F(EditorApp, StopPlaybackSilencesChannelZeroAndForgetsThePlayer) {
    m_app.GetPlayback().Stop();  // nothing plays: nothing happens
    m_app.OpenMixerSession(22050);
    const AmbrelWaveMixSession session = m_app.GetMixerSession();
    ASSERT_NE(session, 0u);
    auto document = Second(m_app);
    StopRecorder recorder;
    m_app.GetPlayback().AddListener(&recorder);
    ASSERT_TRUE(m_app.GetPlayback().Play(*document, 0, -1));
    const AmbrelWaveMixWave wave = m_app.GetPlayback().GetWave();
    EXPECT_TRUE(m_app.IsPlaying());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));

    m_app.GetPlayback().Stop();
    // Cursor following is off: the stop names no frame, so a caret stays where it is.
    ASSERT_EQ(recorder.stops.size(), 1u);
    EXPECT_FALSE(recorder.stops[0].bPlayedOut);
    EXPECT_FALSE(recorder.stops[0].stopFrame);
    EXPECT_FALSE(m_app.IsPlaying());
    EXPECT_EQ(m_app.GetPlayback().GetPlayingDocument(), nullptr);
    uint32_t stopped = 0;
    ASSERT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &stopped, 1), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    uint32_t later = 0;
    ASSERT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &later, 1), 0);
    EXPECT_EQ(later, stopped);
    m_app.GetPlayback().RemoveListener(&recorder);
    EXPECT_LT(stopped, 22050u);
}

}  // namespace
