// The editor on a machine with no audio output: each attempt to play reports the mixer's
// error once and leaves the program without a session, ready to try again.
#include <gtest/gtest.h>

#include "playback/CEditorApp.h"
#include "support/MemorySettingsStore.h"
#include "support/OpenAlBackEnd.h"
#include "support/ScriptedPrompts.h"

namespace {

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new OpenAlBackEnd::Environment(OpenAlBackEnd::kNoDevice));

TEST(EditorWithoutDevice, EachOpenReportsOnceAndLeavesNoSession) {
    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    CEditorApp app(prompts, settings);
    app.LoadPreferences();
    app.OpenMixerSession(44100);
    EXPECT_EQ(app.GetMixerSession(), 0u);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text, CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_NO_DEVICE));
    app.OpenMixerSession(44100);
    EXPECT_EQ(app.GetMixerSession(), 0u);
    EXPECT_EQ(prompts.Boxes().size(), 2u);
    app.GetPlayback().Stop();
    app.ExitInstance();
    EXPECT_EQ(prompts.Boxes().size(), 2u);
}

}  // namespace
