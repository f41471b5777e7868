#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"

#include "playback/CEditorApp.h"
#include "playback/PlaybackSession.h"
#include "playback/TrevantMixer.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/ManualPlaybackClock.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

// The application on the real mixer behind a FailingMixer (which records what it is handed),
// with scripted prompts, settings in memory and a clock the test ticks. Playback stops and
// the application exits before the members go.
class AppOnMixerTest : public ::testing::Test {
  protected:
    ~AppOnMixerTest() override {
        m_app.GetPlayback().Stop();
        m_app.ExitInstance();
    }
    static std::unique_ptr<PlaybackClock> MakeClock(ManualPlaybackClock*& clock) {
        auto made = std::make_unique<ManualPlaybackClock>();
        clock = made.get();
        return made;
    }
    // sonomap-cli's exit code for args (its messages dropped).
    static int Cli(const std::string& args) {
        const std::string command = SONOMAP_CLI_PATH " " + args + " 2>/dev/null";
        return WEXITSTATUS(std::system(command.c_str()));
    }
    // frames of 16-bit 22050 Hz noise (Pattern's seed), at -24 dB unless bLoud, given its
    // trajectory by `sonomap-cli set-points` and opened; m_path is its file.
    std::unique_ptr<CTesselDoc> PlacedNoise(const std::string& name, uint16_t channels,
                                            uint32_t frames, uint32_t seed,
                                            const std::string& points, bool bLoud = false) {
        TestSound sound;
        sound.format = MakeFormat(channels, 22050, 16);
        sound.samples = Pattern(size_t{frames} * channels * 2, seed);
        for (size_t i = 1; i < sound.samples.size() && !bLoud; i += 2) {
            sound.samples[i] = static_cast<uint8_t>(static_cast<int8_t>(sound.samples[i]) / 16);
        }
        const std::string bare = m_dir.File(name + "-bare.wav");
        WriteBytes(bare, BuildSoundFile(sound));
        m_path = m_dir.File(name + ".wav");
        EXPECT_EQ(Cli("set-points " + bare + " --points '" + points + "' --save-as " + m_path), 0);
        auto doc = std::make_unique<CTesselDoc>(m_app);
        EXPECT_TRUE(DocumentOpen(*doc).Open(m_path));
        return doc;
    }

    TempDir m_dir;
    std::string m_path;  // PlacedNoise's last file
    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    FailingMixer m_mixer{TrevantMixer::Shared()};
    ManualPlaybackClock* m_pClock = nullptr;
    CEditorApp m_app{m_prompts, m_settings, m_mixer, MakeClock(m_pClock)};
};
