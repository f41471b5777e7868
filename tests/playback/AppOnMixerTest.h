#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "playback/CEditorApp.h"
#include "playback/PlaybackSession.h"
#include "playback/TrevantMixer.h"
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

    TempDir m_dir;
    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    FailingMixer m_mixer{TrevantMixer::Shared()};
    ManualPlaybackClock* m_pClock = nullptr;
    CEditorApp m_app{m_prompts, m_settings, m_mixer, MakeClock(m_pClock)};
};
