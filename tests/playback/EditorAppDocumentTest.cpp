// The application object as documents reach it: the mixer wave through a real session on the
// null back end, the remembered folders, the undo record of a closing document.
#include <gtest/gtest.h>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "playback/CEditorApp.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

class EditorAppAsHost : public ::testing::Test {
  protected:
    void SetUp() override {
        TestSound sound;
        sound.points = {{100, -45}};
        sound.chunkFrames = FramesOf(sound);
        m_path = m_dir.File("take.wav");
        WriteBytes(m_path, BuildSoundFile(sound));
    }
    void TearDown() override { m_app.ExitInstance(); }

    TempDir m_dir;
    std::string m_path;
    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    CEditorApp m_app{m_prompts, m_settings};
};

}  // namespace

TEST_F(EditorAppAsHost, ADocumentPlaysItsRangeThroughTheSession) {
    auto doc = std::make_unique<CTesselDoc>(m_app);
    ASSERT_TRUE(doc->OnOpenDocument(m_path));
    EXPECT_EQ(m_app.GetPreferences().openPath, m_dir.Path().string() + "/");

    doc->OpenMixerWave(10, 500);
    ASSERT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_app.GetSessionRate(), 22050u);
    ASSERT_NE(doc->GetWave(), 0u);
    EXPECT_EQ(doc->GetPanSegment()->playOffset, 10u);
    EXPECT_TRUE(m_prompts.Boxes().empty());

    // Closing the playing document stops it and lets the session free the wave.
    m_app.SetPlaying(doc.get(), nullptr);
    const AmbrelWaveMixWave wave = doc->GetWave();
    doc.reset();
    EXPECT_FALSE(m_app.IsPlaying());
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_app.GetMixerSession(), wave), AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(EditorAppAsHost, AFailedWaveIsReportedAndLeavesNoSegment) {
    CTesselDoc doc(m_app);
    ASSERT_TRUE(doc.OnOpenDocument(m_path));
    const MixerWaveSource empty{};
    m_app.OpenMixerSession(22050);
    EXPECT_EQ(m_app.MixerOpenWave(m_app.GetMixerSession(), empty), 0u);  // no format: refused
    const int code = m_app.MixerGetLastError();
    EXPECT_NE(code, 0);
    m_app.ReportMixerError(code);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text.rfind("AmbrelWaveMix Error " + std::to_string(code), 0),
              0u);
}

TEST_F(EditorAppAsHost, EditsGoIntoTheHistoryOfTheirOwnDocument) {
    CTesselDoc kept(m_app);
    ASSERT_TRUE(kept.OnOpenDocument(m_path));
    {
        CTesselDoc closing(m_app);
        ASSERT_TRUE(closing.OnOpenDocument(m_path));
        ASSERT_TRUE(PanEditCommands::DeleteInRange(kept, 0, 1000));
        PanEditCommands::RecordEdit(closing, closing.NextPoint(nullptr), UndoKind::Modify);
        EXPECT_EQ(PanEditCommands::UndoText(closing), "&Undo Modify Point\tCtrl+Z");
    }
    EXPECT_TRUE(PanEditCommands::CanUndo(kept));
    EXPECT_EQ(PanEditCommands::UndoText(kept), "&Undo Delete Point\tCtrl+Z");
    EXPECT_TRUE(PanEditCommands::Undo(kept));
    EXPECT_FALSE(kept.GetPanPoints().IsEmpty());
}

TEST_F(EditorAppAsHost, SaveAsAsksTheShellsDialogAndRemembersTheFolder) {
    CTesselDoc doc(m_app);
    ASSERT_TRUE(doc.OnOpenDocument(m_path));
    EXPECT_FALSE(doc.FileSaveAs());  // no dialog yet: as if cancelled

    std::vector<SaveNameRequest> asked;
    m_app.SetSaveFolder("/last/");
    m_app.SetSaveNameDialog([&](const SaveNameRequest& request, SaveNameResult& result) {
        asked.push_back(request);
        result.fullPath = m_dir.File("copy.wav");
        result.filterIndex = 1;
        return true;
    });
    m_app.SetOpenDocumentQuery([&](const std::string& path) { return path == m_path; });
    EXPECT_TRUE(m_app.IsDocumentOpen(m_path));
    ASSERT_TRUE(doc.FileSaveAs());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].startFolder, "/last/");
    EXPECT_EQ(m_app.GetPreferences().savePath, m_dir.Path().string() + "/");
    EXPECT_EQ(doc.GetPathName(), m_dir.File("copy.wav"));
}
