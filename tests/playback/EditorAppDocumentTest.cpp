// The application object as documents reach it: the mixer wave through a real session on the
// null back end, the remembered folders, the undo record of a closing document.
#include <gtest/gtest.h>

#include "deliver/BinauralExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/PanEditCommands.h"
#include "playback/CEditorApp.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

class EditorAppAsHost : public ::testing::Test {
  protected:
    EditorAppAsHost() {
        m_sound.points = {{100, -45}};
        m_sound.chunkFrames = FramesOf(m_sound);
    }
    void TearDown() override { m_app.ExitInstance(); }
    // The sound on disk, for the tests of what open, save and export do; its path.
    const std::string& Written() {
        m_path = m_dir.File("take.wav");
        WriteBytes(m_path, BuildSoundFile(m_sound));
        return m_path;
    }
    std::unique_ptr<CTesselDoc> Memory() { return MemoryDocument(m_app, m_sound); }

    TestSound m_sound;
    TempDir m_dir;
    std::string m_path;
    ScriptedPrompts m_prompts;
    MemorySettingsStore m_settings;
    CEditorApp m_app{m_prompts, m_settings};
};

}  // namespace

TEST_F(EditorAppAsHost, ADocumentPlaysItsRangeThroughTheSession) {
    auto doc = std::make_unique<CTesselDoc>(m_app);
    ASSERT_TRUE(DocumentOpen(*doc).Open(Written()));
    EXPECT_EQ(m_app.GetPreferences().openPath, m_dir.Path().string() + "/");

    ASSERT_TRUE(m_app.GetPlayback().Play(*doc, 10, 500));
    ASSERT_NE(m_app.GetMixerSession(), 0u);
    EXPECT_EQ(m_app.GetSessionRate(), 22050u);
    ASSERT_NE(m_app.GetPlayback().GetWave(), 0u);
    EXPECT_EQ(m_app.GetPlayback().GetPlayStart(), 10u);
    EXPECT_TRUE(m_prompts.Boxes().empty());

    // Closing the playing document stops it and lets the session free the wave.
    const AmbrelWaveMixWave wave = m_app.GetPlayback().GetWave();
    doc.reset();
    EXPECT_FALSE(m_app.IsPlaying());
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_app.GetMixerSession(), wave), AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

TEST_F(EditorAppAsHost, AFailedWaveIsReportedAndLeavesNoSegment) {
    auto doc = Memory();
    const MixerWaveSource empty{};
    m_app.OpenMixerSession(22050);
    EXPECT_EQ(m_app.GetMixer().OpenWave(m_app.GetMixerSession(), empty, AMBREL_WAVEMIX_WAVE_MEMORY),
              0u);  // no format: refused
    const int code = m_app.GetMixer().GetLastError();
    EXPECT_NE(code, 0);
    m_app.ReportMixerError(code);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text.rfind("AmbrelWaveMix Error " + std::to_string(code), 0),
              0u);
}

TEST_F(EditorAppAsHost, EditsGoIntoTheHistoryOfTheirOwnDocument) {
    auto keptDocument = Memory();
    CTesselDoc& kept = *keptDocument;
    {
        auto closingDocument = Memory();
        CTesselDoc& closing = *closingDocument;
        ASSERT_TRUE(PanEditCommands::DeleteInRange(kept, 0, 1000));
        PanEditCommands::RecordEdit(closing, closing.NextPoint(nullptr), UndoKind::Modify);
        EXPECT_EQ(closing.GetUndoHistory().UndoName(), "Modify Point");
    }
    EXPECT_TRUE(PanEditCommands::CanUndo(kept));
    EXPECT_EQ(kept.GetUndoHistory().UndoName(), "Delete Point");
    EXPECT_TRUE(PanEditCommands::Undo(kept));
    EXPECT_FALSE(kept.GetPanPoints().IsEmpty());
}

TEST_F(EditorAppAsHost, SaveAsAsksTheShellsDialogAndRemembersTheFolder) {
    CTesselDoc doc(m_app);
    ASSERT_TRUE(DocumentOpen(doc).Open(Written()));
    EXPECT_FALSE(DocumentSave(doc).SaveAs());  // no dialog yet: as if cancelled

    std::vector<SaveNameRequest> asked;
    static_cast<DocumentHost&>(m_app).SetSaveFolder("/last/");
    m_app.Dialogs().SetSaveName([&](const SaveNameRequest& request, SaveNameResult& result) {
        asked.push_back(request);
        result.fullPath = m_dir.File("copy.wav");
        result.filterIndex = 1;
        return true;
    });
    m_app.Dialogs().SetOpenDocumentQuery([&](const std::string& path) { return path == m_path; });
    EXPECT_TRUE(m_app.Dialogs().IsDocumentOpen(m_path));
    ASSERT_TRUE(DocumentSave(doc).SaveAs());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].startFolder, "/last/");
    EXPECT_EQ(m_app.GetPreferences().savePath, m_dir.Path().string() + "/");
    EXPECT_EQ(doc.GetPathName(), m_dir.File("copy.wav"));
}

TEST_F(EditorAppAsHost, PlaybackStartTellsTheHrtfStateAndOnceAMissingDevice) {
    // The status lines since the last mark.
    size_t mark = m_prompts.StatusTexts().size();
    const auto lines = [&] {
        const auto& all = m_prompts.StatusTexts();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(mark), all.end());
    };
    Preferences prefs = m_app.GetPreferences();
    prefs.output.device = "USB Headset";
    prefs.output.hrtfMode = OutputPreferences::kHrtfOn;
    m_app.SetPreferences(prefs);
    auto memory = Memory();
    CTesselDoc& doc = *memory;

    m_app.OpenMixerSession(doc.GetFormat().sampleRate);
    ASSERT_NE(m_app.GetMixerSession(), 0u);  // on the default device instead
    EXPECT_TRUE(m_prompts.Boxes().empty());
    EXPECT_TRUE(lines().empty());  // nothing plays yet
    ASSERT_TRUE(m_app.GetPlayback().Play(doc, 0, -1));
    ASSERT_TRUE(m_app.GetPlayback().Play(doc, 0, -1));
    m_app.GetPlayback().Stop();
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "Output device \"USB Headset\" is not there: the default device plays. "
                           "HRTF on: default-44100",
                           "HRTF on: default-44100"}));

    mark = m_prompts.StatusTexts().size();
    prefs.output.device = "No Output";
    prefs.output.hrtfMode = OutputPreferences::kHrtfOff;
    m_app.SetPreferences(prefs);
    m_app.OnOptionsAccepted();
    ASSERT_TRUE(m_app.GetPlayback().Play(doc, 0, -1));
    m_app.GetPlayback().Stop();
    EXPECT_EQ(lines(), (std::vector<std::string>{"HRTF off: speakers"}));
}

TEST_F(EditorAppAsHost, TheBinauralExportMixesWithTheChosenHrtfOrAnyWhenItIsGone) {
    CTesselDoc doc(m_app);
    ASSERT_TRUE(DocumentOpen(doc).Open(Written()));
    std::vector<SaveNameRequest> asked;
    m_app.Dialogs().SetSaveName([&](const SaveNameRequest& request, SaveNameResult& result) {
        asked.push_back(request);
        result.fullPath = m_dir.File("binaural.wav");
        result.filterIndex = 1;
        return true;
    });
    for (const auto& [name, rate] : {std::pair{"default-48000", 48000u}, {"gone-hrtf", 44100u}}) {
        SCOPED_TRACE(name);
        Preferences prefs = m_app.GetPreferences();
        prefs.output.binauralSet = name;  // one of the mixer's sets, not a SOFA file
        m_app.SetPreferences(prefs);
        ASSERT_TRUE(BinauralExportCommand(doc).Run()) << testing::PrintToString(m_prompts.Texts());
        const Bytes file = ReadBytes(m_dir.File("binaural.wav"));
        ASSERT_GT(file.size(), 44u);
        EXPECT_EQ(file[24] | file[25] << 8 | file[26] << 16, static_cast<int>(rate));
        EXPECT_EQ(file[22], 2);   // channels
        EXPECT_EQ(file[34], 16);  // bits
    }
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].title, "Export Binaural File As...");
    EXPECT_EQ(static_cast<DocumentHost&>(m_app).GetExportFolder(), m_dir.Path().string() + "/");
}
