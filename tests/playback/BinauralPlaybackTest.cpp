// Play Through Binaural Renderer on the null back end: the wave the mixer gets is the very
// floats Export Binaural File and `sonomap-cli render --binaural` write for the span played,
// for several spans, sounds and SOFA sets; another set chosen while playing is rendered from
// the first frame the mixer has not taken, and a set that cannot serve plays nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "../binaural/SofaTestSets.h"
#include "AppOnMixerTest.h"
#include "deliver/BinauralExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "playback/CEditorApp.h"
#include "playback/PlaybackSession.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/ManualPlaybackClock.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"

namespace {

constexpr uint32_t kFrames = 30000;  // under the render's lead at 22050 Hz: all of it is ready
constexpr size_t kFloatFrame = 8;

class BinauralPlaybackTest : public AppOnMixerTest {
  protected:
    void ChooseSet(const std::string& path) {
        Preferences prefs = m_app.GetPreferences();
        prefs.output.binauralSet = path;
        m_app.SetPreferences(prefs);
        m_app.OnBinauralSetChosen();
    }
    // -24 dB: the mix stays under full scale, so the export is not scaled down (which a
    // playback cannot know ahead).
    std::unique_ptr<CTesselDoc> Document(const std::string& name, uint16_t channels,
                                         const std::string& points) {
        return PlacedNoise(name, channels, kFrames, 11, points);
    }
    // The float data of Export Binaural File through the set chosen now.
    Bytes Exported(CTesselDoc& doc, const std::string& name) {
        const std::string out = m_dir.File(name);
        EXPECT_TRUE(BinauralExportCommand(doc).RenderTo(out, 0, SampleFormat::F32));
        for (const std::string& text : m_prompts.Texts()) {
            EXPECT_EQ(text.find("scaled down"), std::string::npos) << text;
        }
        return ReadSound(out).samples;
    }
    Bytes Handed() const {
        const MixerWaveSource& wave = m_mixer.openedWaves.back();
        const auto* data = static_cast<const uint8_t*>(wave.data);
        return Bytes(data, data + wave.byteCount);
    }
    static Bytes Frames(const Bytes& floats, uint32_t first, uint32_t last) {
        return Bytes(floats.begin() + first * kFloatFrame, floats.begin() + last * kFloatFrame);
    }
};

}  // namespace

TEST_F(BinauralPlaybackTest, TheMixerGetsTheExportsAndTheCommandLinesFloatsOfEachSpan) {
    const struct {
        const char* name;
        uint16_t channels;
        const char* points;
        const char* set;
    } sounds[] = {
        {"frontal-default", 1, "0:-90,29999:90", "default"},
        {"around-default", 1, "0:-150:20:3,12000:120:-10:0.4,25000:10:60", "default"},
        {"stereo-cartesian", 2, "0:30:0:1:60,20000:-170:30:2:120", "cartesian-48000"},
        {"around-grid8000", 1, "0:170:-40:0.2,29000:-100:70:5", "grid-8000"},
    };
    // Past the renderer's warm-up and off its 256-frame grid, and the whole sound.
    const struct {
        uint32_t first;
        int64_t last;
    } spans[] = {{0, -1}, {1, 777}, {5000, 17001}, {12345, -1}};
    m_app.OnPlayThroughBinaural();
    for (const auto& s : sounds) {
        SCOPED_TRACE(s.name);
        const std::string set = SofaSetPath(s.set);
        ChooseSet(set);
        auto doc = Document(s.name, s.channels, s.points);
        const Bytes exported = Exported(*doc, std::string(s.name) + "-export.wav");
        ASSERT_EQ(exported.size(), kFrames * kFloatFrame);
        const std::string cli = m_dir.File(std::string(s.name) + "-cli.wav");
        ASSERT_EQ(Cli("render " + m_path + " -o " + cli + " --binaural --hrtf " + set +
                      " --sample-format f32"),
                  0);
        EXPECT_TRUE(ReadSound(cli).samples == exported);
        for (const auto& span : spans) {
            SCOPED_TRACE(span.first);
            ASSERT_TRUE(m_app.GetPlayback().Play(*doc, span.first, span.last));
            EXPECT_TRUE(m_app.GetPlayback().IsPlayingThroughBinaural());
            const uint32_t last = span.last < 0 ? kFrames : static_cast<uint32_t>(span.last);
            ASSERT_EQ(m_app.GetPlayback().ReadFilterQueue()->ready, last - span.first);
            EXPECT_TRUE(Handed() == Frames(exported, span.first, last));
            m_app.GetPlayback().Stop();
        }
    }
}

TEST_F(BinauralPlaybackTest, AnotherSetIsHeardFromTheNextTickAndABadOnePlaysNothing) {
    m_app.OnPlayThroughBinaural();
    auto doc = Document("switch", 1, "0:-150:20:3,29999:120:-10:0.4");
    ChooseSet(SofaSetPath("grid-44100"));
    const Bytes before = Exported(*doc, "before.wav");
    ChooseSet(SofaSetPath("default"));
    const Bytes after = Exported(*doc, "after.wav");
    ASSERT_FALSE(before == after);

    ChooseSet(SofaSetPath("grid-44100"));
    PlaybackSession& playback = m_app.GetPlayback();
    ASSERT_TRUE(playback.Play(*doc, 0, -1));
    EXPECT_EQ(m_prompts.StatusTexts().back().rfind("Binaural renderer: grid-44100.sofa (HRTF ", 0),
              0u)
        << m_prompts.StatusTexts().back();
    const size_t opened = m_mixer.openedWaves.size();
    // Once the mixer has taken some of the first set's render (5 s at most).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (playback.ReadFilterQueue().value_or(PlaybackSession::FilterQueue{}).fed == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ChooseSet(SofaSetPath("default"));
    m_pClock->tick();
    const std::optional<PlaybackSession::FilterQueue> queue = playback.ReadFilterQueue();
    ASSERT_TRUE(queue);
    EXPECT_GT(queue->renderFirst, 0u);
    EXPECT_EQ(m_mixer.openedWaves.size(), opened);  // the same play goes on
    ASSERT_EQ(queue->ready, kFrames);
    EXPECT_EQ(m_app.GetOutputStateText().rfind("Binaural renderer: default.sofa (HRTF ", 0), 0u)
        << m_app.GetOutputStateText();
    // What the mixer had taken stays the old set's; from there on, the new set's.
    const Bytes handed = Handed();
    EXPECT_TRUE(Frames(handed, 0, queue->renderFirst) == Frames(before, 0, queue->renderFirst));
    EXPECT_TRUE(Frames(handed, queue->renderFirst, kFrames) ==
                Frames(after, queue->renderFirst, kFrames));
    playback.Stop();

    // A file that cannot serve: its reason is shown, and nothing plays in its place.
    const std::string bad = m_dir.File("bad.sofa");
    std::ofstream(bad) << "not an HRTF";
    ChooseSet(bad);
    const size_t messages = m_prompts.Texts().size();
    EXPECT_FALSE(playback.Play(*doc, 0, -1));
    EXPECT_FALSE(playback.IsPlaying());
    ASSERT_EQ(m_prompts.Texts().size(), messages + 1);
    EXPECT_NE(m_prompts.Texts().back().find(bad + "\" cannot be used: it is not a SOFA file"),
              std::string::npos)
        << m_prompts.Texts().back();
}
