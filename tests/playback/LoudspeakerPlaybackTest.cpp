// Playback to loudspeakers on the null back end, with the mixer in front saying how many
// channels its output plays (Debian 12's OpenAL Soft cannot tell): the wave the mixer gets is
// the loudspeaker export's floats of the span played, in OpenAL's channel order; an output of
// other channels, or one that cannot tell, plays as before and the status line says why; the
// exports auditioned come first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "AppOnMixerTest.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "playback/CEditorApp.h"
#include "playback/LoudspeakerPlayback.h"
#include "playback/PlaybackSession.h"
#include "render/SpeakerLayout.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/ManualPlaybackClock.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"

namespace {

constexpr uint32_t kFrames = 30000;  // under the render's lead at 22050 Hz: all of it is ready

class LoudspeakerPlaybackTest : public AppOnMixerTest {
  protected:
    void ChooseLoudspeakers(const std::string& name) {
        Preferences prefs = m_app.GetPreferences();
        prefs.output.loudspeakers = name;
        m_app.SetPreferences(prefs);
    }
    // Loud enough (bLoud) that the export scales it down.
    std::unique_ptr<CTesselDoc> Document(const std::string& name, uint16_t channels,
                                         const std::string& points, bool bLoud) {
        return PlacedNoise(name, channels, kFrames, 5, points, bLoud);
    }
    // Export Loudspeakers' float samples of the document, reordered as OpenAL takes them.
    std::vector<float> Exported(CTesselDoc& doc, const SpeakerLayout& layout) {
        AmbisonicsExport::Options options;
        options.format = SampleFormat::F32;
        options.pLayout = &layout;
        const std::string out = m_dir.File("export.wav");
        EXPECT_TRUE(LoudspeakerExportCommand(doc).RenderTo(out, 0, options));
        const Bytes bytes = ReadSound(out).samples;
        std::vector<float> inFile(bytes.size() / 4);
        std::memcpy(inFile.data(), bytes.data(), inFile.size() * 4);
        // The file's channels go in its mask's order; BS.2051's first.
        const std::vector<uint16_t> wave = layout.WaveChannelOrder();
        std::vector<float> written(inFile.size());
        for (size_t f = 0; f < inFile.size() / wave.size(); ++f) {
            for (size_t i = 0; i < wave.size(); ++i) {
                written[f * wave.size() + wave[i]] = inFile[f * wave.size() + i];
            }
        }
        const std::vector<int> order = LoudspeakerPlayback::DeviceOrder(layout);
        std::vector<float> reordered(written.size());
        for (size_t f = 0; f < written.size() / order.size(); ++f) {
            for (size_t k = 0; k < order.size(); ++k) {
                reordered[f * order.size() + k] =
                    written[f * order.size() + static_cast<size_t>(order[k])];
            }
        }
        return reordered;
    }
    std::vector<float> Handed() const {
        const MixerWaveSource& wave = m_mixer.openedWaves.back();
        std::vector<float> floats(wave.byteCount / 4);
        std::memcpy(floats.data(), wave.data, floats.size() * 4);
        return floats;
    }
};

}  // namespace

TEST_F(LoudspeakerPlaybackTest, TheMixerGetsTheExportsFloatsOfEachSpanInOpenAlsOrder) {
    const struct {
        const char* name;
        uint16_t channels;
        const char* points;
        bool bLoud;
    } sounds[] = {
        {"around", 1, "0:-150:20:3,12000:120:-10:0.4,25000:10:60", false},
        {"stereo-wide", 2, "0:30:0:1:60,20000:-170:30:2:120", false},
        {"near-scaled", 1, "0:0:0:0.3,29999:90:0:0.3", true},
    };
    // Off the panner's 256-frame grid, and the whole sound.
    const struct {
        uint32_t first;
        int64_t last;
    } spans[] = {{0, -1}, {1, 777}, {12345, 20001}};
    for (const std::string& name : LoudspeakerPlayback::Choices()) {
        SCOPED_TRACE(name);
        const SpeakerLayout& layout = *LoudspeakerPlayback::LayoutOf(name);
        const size_t channels = layout.ChannelCount();
        m_mixer.ReportOutputChannels(static_cast<uint32_t>(channels));
        ChooseLoudspeakers(name);
        for (const auto& s : sounds) {
            SCOPED_TRACE(s.name);
            auto doc = Document(s.name, s.channels, s.points, s.bLoud);
            const std::vector<float> exported = Exported(*doc, layout);
            ASSERT_EQ(exported.size(), kFrames * channels);
            for (const auto& span : spans) {
                SCOPED_TRACE(span.first);
                ASSERT_TRUE(m_app.GetPlayback().Play(*doc, span.first, span.last));
                EXPECT_EQ(m_app.GetPlayback().GetPlayingLayout(), &layout);
                EXPECT_EQ(m_mixer.openedWaves.back().format->channels, channels);
                const uint32_t last = span.last < 0 ? kFrames : static_cast<uint32_t>(span.last);
                ASSERT_EQ(m_app.GetPlayback().ReadFilterQueue()->ready, last - span.first);
                const std::vector<float> expected(exported.begin() + span.first * channels,
                                                  exported.begin() + last * channels);
                EXPECT_TRUE(Handed() == expected);
                ASSERT_FALSE(m_prompts.StatusTexts().empty());
                EXPECT_NE(m_prompts.StatusTexts().back().find(
                              "Playing to the " + LoudspeakerPlayback::ChoiceText(name)),
                          std::string::npos)
                    << m_prompts.StatusTexts().back();
                m_app.GetPlayback().Stop();
            }
        }
    }
}

TEST_F(LoudspeakerPlaybackTest, AnOutputOfOtherChannelsPlaysAsBeforeAndSaysWhy) {
    auto doc = Document("around", 1, "0:-150:20:3,25000:10:60", false);
    ChooseLoudspeakers("0+5+0");
    const struct {
        uint32_t reported;  // 0: the library's own answer
        const char* why;
    } outputs[] = {
        {2, "The output plays 2 channels; 5.1 (0+5+0) needs 6"},
        {8, "The output plays 8 channels; 5.1 (0+5+0) needs 6"},
        {0, ""},  // whatever this OpenAL Soft tells: untold, or the null device's stereo
    };
    for (const auto& output : outputs) {
        SCOPED_TRACE(output.reported);
        m_mixer.ReportOutputChannels(output.reported);
        ASSERT_TRUE(m_app.GetPlayback().Play(*doc, 0, -1));
        EXPECT_FALSE(m_app.GetPlayback().IsPlayingThroughFilter());
        EXPECT_EQ(m_app.GetPlayback().GetPlayingLayout(), nullptr);
        const std::string& note = m_app.GetPlayback().LoudspeakerNote();
        EXPECT_NE(note.find(output.why), std::string::npos) << note;
        EXPECT_FALSE(note.empty());
        ASSERT_FALSE(m_prompts.StatusTexts().empty());
        EXPECT_NE(
            m_prompts.StatusTexts().back().find("Not playing to the chosen loudspeakers: " + note),
            std::string::npos);
        m_app.GetPlayback().Stop();
    }
    // The filter auditioned plays its stereo whatever the output.
    m_mixer.ReportOutputChannels(6);
    m_app.OnPlayThroughFilter();
    ASSERT_TRUE(m_app.GetPlayback().Play(*doc, 0, -1));
    EXPECT_TRUE(m_app.GetPlayback().IsPlayingThroughFilter());
    EXPECT_EQ(m_app.GetPlayback().GetPlayingLayout(), nullptr);
    EXPECT_EQ(m_mixer.openedWaves.back().format->channels, 2);
}
