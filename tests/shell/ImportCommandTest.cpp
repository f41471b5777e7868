// File Import in the editor: the command, its dialog and key, the untitled window it makes,
// and the one question a dropped file that only import can read brings.
#include <QAction>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include "FrameTestFixture.h"
#include "document/CTesselDoc.h"
#include "playback/CommandIds.h"
#include "shell/CChildFrame.h"
#include "shell/CFileOpenDialog.h"
#include "support/FileBytes.h"
#include "support/ModalDialog.h"
#include "support/SoxTools.h"

using namespace CommandId;

namespace {

TestSound Sound24() {
    TestSound sound;
    sound.format = MakeFormat(2, 44100, 24);
    sound.samples = Bytes(6 * 500, 0);
    return sound;
}

void Drop(QWidget& target, const std::string& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &drop);
}

}  // namespace

TEST_F(FrameTest, ImportIsAFileCommandOfTheProgramWithItsKeyAndTexts) {
    EXPECT_GE(kImport, 32772u);
    EXPECT_LE(kImport, 32795u);
    QAction* action = m_pFrame->Action(kImport);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), "&Import...\tCtrl+Shift+I");
    EXPECT_EQ(action->shortcut(),
              QKeySequence(Qt::ControlModifier | Qt::ShiftModifier | Qt::Key_I));
    EXPECT_EQ(action->statusTip(), "Import a sound file of another format as a new document");
    EXPECT_EQ(action->toolTip(), "Import (Ctrl+Shift+I)");
    // Enabled with no document open and with one.
    CommandState state;
    EXPECT_TRUE(m_pFrame->UpdateRoutedCommand(kImport, state));
    EXPECT_TRUE(state.enabled);
    ASSERT_NE(m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav")), nullptr);
    CommandState withDocument;
    EXPECT_TRUE(m_pFrame->UpdateRoutedCommand(kImport, withDocument));
    EXPECT_TRUE(withDocument.enabled);
}

TEST_F(FrameTest, TheImportKeyShowsTheImportDialogInTheOpenFolder) {
    static_cast<DocumentHost&>(*m_pApp).SetOpenFolder(m_dir.Path().string() + "/");
    m_pFrame->show();
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
    bool bShown = false;
    ModalDialog::When<CFileOpenDialog>([&](CFileOpenDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Import");
        ASSERT_EQ(dialog.nameFilters().size(), 2);
        EXPECT_EQ(dialog.nameFilters()[1], "All Files (*.*)");
        const QStringList patterns = dialog.PatternsOf(dialog.nameFilters()[0]);
        for (const char* pattern :
             {"*.wav", "*.aif", "*.flac", "*.ogg", "*.opus", "*.caf", "*.rf64"}) {
            EXPECT_TRUE(patterns.contains(pattern)) << pattern;
        }
        EXPECT_EQ(dialog.directory().absolutePath().toStdString(), m_dir.Path().string());
        bShown = true;
        dialog.reject();
    });
    QTest::keyClick(m_pFrame.get(), Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(bShown);
    EXPECT_TRUE(m_pFrame->GetDocTemplate().Frames().empty());
}

TEST_F(FrameTest, AnImportOpensAnUntitledWindowThatGuardsItsSource) {
    const std::string source = WriteSound("take.wav", Sound24());
    CTesselDoc* document = m_pFrame->GetDocTemplate().ImportDocumentFile(source);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(m_prompts.Boxes().empty());
    ASSERT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    EXPECT_EQ(m_pFrame->GetDocTemplate().FrameOf(*document)->windowTitle(), "take (imported)*");
    EXPECT_EQ(m_pFrame->CurrentMenu(), 129);
    // It has no path, is not a recent file, and saving cannot pick its source.
    EXPECT_EQ(m_pFrame->GetDocTemplate().FindDocument(source), nullptr);
    EXPECT_TRUE(m_pFrame->GetRecentFiles().Entries().empty());
    EXPECT_TRUE(m_pFrame->GetDocTemplate().IsPathInUse(source));
    EXPECT_TRUE(m_pApp->Dialogs().IsDocumentOpen(source));
    CommandState save;
    m_pFrame->UpdateRoutedCommand(kFileSave, save);
    EXPECT_TRUE(save.enabled);
    // A refused import opens nothing.
    WriteBytes(m_dir.File("notes.txt"), Bytes{'n', 'o'});
    EXPECT_EQ(m_pFrame->GetDocTemplate().ImportDocumentFile(m_dir.File("notes.txt")), nullptr);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text,
              "Can't import notes.txt!\nlibsndfile reports: Format not recognised.");
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
}

TEST_F(FrameTest, ADroppedFileOnlyImportCanReadIsOfferedWithOneQuestion) {
    TestSound fast = Sound24();
    fast.format = MakeFormat(2, 96000, 24);
    const std::string source = WriteSound("take.wav", fast);
    m_prompts.Script(UserPrompts::Answer::No);
    Drop(*m_pFrame, source);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].buttons, UserPrompts::Buttons::YesNo);
    EXPECT_TRUE(m_pFrame->GetDocTemplate().Frames().empty());

    m_prompts.Clear();
    m_prompts.Script(UserPrompts::Answer::Yes);
    Drop(*m_pFrame, source);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_NE(m_prompts.Boxes()[0].text.find("\nImport it?"), std::string::npos);
    ASSERT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames()[0]->windowTitle(), "take (imported)*");
    EXPECT_TRUE(m_pFrame->GetRecentFiles().Entries().empty());
    // The same file given on a command line goes the same way.
    m_prompts.Clear();
    m_prompts.Script(UserPrompts::Answer::Yes);
    m_pFrame->OpenFiles({QString::fromStdString(source)});
    EXPECT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 2u);
}

// The everyday formats, as sox and libsndfile write them, each open in the editor: through
// Import, and through the question when dropped.
TEST_F(FrameTest, TheEverydayFormatsImportInTheEditor) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox and sndfile-programs are not installed";
    }
    using SoxTools::Quote;
    const auto sox = [&](const std::string& name, const std::string& options) {
        const std::string path = m_dir.File(name);
        const SoxTools::Outcome made = SoxTools::Command("sox -n " + options + " " + Quote(path) +
                                                         " synth 0.1 sine 441 gain -1");
        EXPECT_EQ(made.status, 0) << made.output;
        return path;
    };
    const std::string wav24 = sox("a24.wav", "-r 44100 -c 2 -b 24 -e signed-integer");
    const std::string rf64 = m_dir.File("a.rf64");
    ASSERT_EQ(
        SoxTools::Command("sndfile-convert -pcm24 " + Quote(wav24) + " " + Quote(rf64)).status, 0);
    const struct {
        std::string path;
        uint16_t channels;
        uint32_t rate;
        bool bNative;        // the native open reads it, so a drop asks nothing
        uint16_t formatTag;  // import keeps the source's depth and form
        uint16_t bits;
    } files[] = {
        {wav24, 2, 44100, true, kFormatTagPcm, 24},
        {sox("float.wav", "-r 48000 -c 1 -b 32 -e floating-point"), 1, 48000, true, kFormatTagFloat,
         32},
        {sox("a.flac", "-r 22050 -c 2 -b 24"), 2, 22050, false, kFormatTagPcm, 24},
        {rf64, 2, 44100, false, kFormatTagPcm, 24},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        m_prompts.Clear();
        CTesselDoc* imported = m_pFrame->GetDocTemplate().ImportDocumentFile(file.path);
        ASSERT_NE(imported, nullptr);
        EXPECT_TRUE(m_prompts.Boxes().empty());
        EXPECT_EQ(imported->GetFormat().bitsPerSample, file.bits);
        EXPECT_EQ(imported->GetFormat().formatTag, file.formatTag);
        EXPECT_EQ(imported->GetFormat().channels, file.channels);
        EXPECT_EQ(imported->GetFormat().sampleRate, file.rate);
        EXPECT_EQ(imported->GetFrameCount(), file.rate / 10);

        m_prompts.Script(UserPrompts::Answer::Yes);
        const size_t before = m_pFrame->GetDocTemplate().Frames().size();
        Drop(*m_pFrame, file.path);
        EXPECT_EQ(m_prompts.Boxes().size(), file.bNative ? 0u : 1u);
        EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), before + 1);
    }
}

// A rate below the ones Sonomap plays is offered for import at 8000 Hz, with the refusal's
// line saying so; Yes brings the trajectory along to the same moments.
TEST_F(FrameTest, ADroppedLowRateFileIsImportedAt8000HzWithItsPoints) {
    TestSound low;
    low.format = MakeFormat(1, 4000, 16);
    low.samples = Bytes(2 * 4000, 0);
    low.points = {{1000, -45}, {3000, 60}};
    low.chunkFrames = 4000;
    const std::string source = WriteSound("phone.wav", low);
    m_prompts.Script(UserPrompts::Answer::Yes);
    Drop(*m_pFrame, source);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    const auto& box = m_prompts.Boxes()[0];
    EXPECT_NE(box.text.find("4000 Hz) as a new 16-bit document at 8000 Hz."), std::string::npos)
        << box.text;
    EXPECT_NE(box.informative.find("; File > Import resamples it to 8000 Hz."), std::string::npos)
        << box.informative;
    ASSERT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    const CTesselDoc& doc = m_pFrame->GetDocTemplate().Frames()[0]->GetDocument();
    EXPECT_EQ(doc.GetFormat().sampleRate, 8000u);
    EXPECT_EQ(doc.GetFrameCount(), 8000u);
    std::vector<std::pair<uint32_t, int>> points;
    for (const PanPoint* p = doc.GetPanPoints().NextPoint(nullptr); p;
         p = doc.GetPanPoints().NextPoint(p)) {
        points.emplace_back(p->position, p->Pan());
    }
    EXPECT_EQ(points, (std::vector<std::pair<uint32_t, int>>{{2000, -45}, {6000, 60}}));
}
