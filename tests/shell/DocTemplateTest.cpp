// The document template and the ways a file comes in: open, drop, a second start, the recent
// list and the Open dialog; and the ways a document goes.
#include <QApplication>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "FrameTestFixture.h"
#include "document/CTesselDoc.h"
#include "playback/CSingleInstance.h"
#include "playback/CommandIds.h"
#include "shell/CChildFrame.h"
#include "shell/CFileOpenDialog.h"
#include "shell/CMainFrameClient.h"
#include "shell/CRecentFileList.h"
#include "support/FileBytes.h"
#include "support/ModalDialog.h"

using namespace CommandId;
using Confidence = CMyMultiDocTemplate::Confidence;

TEST_F(FrameTest, TemplateStringsAndTheFilterExtensionRule) {
    CMyMultiDocTemplate& docTemplate = m_pFrame->GetDocTemplate();
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::windowTitle), "");
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::docName), "SndDoc");
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::fileNewName), "Sound");
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::filterName),
              "Sound Files (*.wav;*.aif)");
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::filterExt), ".wav;*.aif");
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::regFileTypeId), "Sonomap.Document");
    EXPECT_EQ(docTemplate.GetDocString(CMyMultiDocTemplate::regFileTypeName), "Wave Document");
}

TEST_F(FrameTest, EveryFileIsOfferedNativeByExtensionInAnyCaseOtherwiseForeign) {
    CMyMultiDocTemplate& docTemplate = m_pFrame->GetDocTemplate();
    const struct {
        const char* path;
        Confidence expected;
    } cases[] = {
        {"/sounds/take.wav", Confidence::MaybeAttemptNative},
        {"/sounds/take.WAV", Confidence::MaybeAttemptNative},
        {"/sounds/take.Aif", Confidence::MaybeAttemptNative},
        {"/sounds/take.snd", Confidence::MaybeAttemptForeign},
        {"/sounds/take.aiff", Confidence::MaybeAttemptForeign},
        {"/sounds/take", Confidence::MaybeAttemptForeign},
        {"/sounds.wav/take", Confidence::MaybeAttemptForeign},
    };
    for (const auto& test : cases) {
        CTesselDoc* matched = reinterpret_cast<CTesselDoc*>(1);
        EXPECT_EQ(docTemplate.MatchDocType(test.path, matched), test.expected) << test.path;
        EXPECT_EQ(matched, nullptr);
    }

    // A foreign name holding a WAV file still opens: the document's check decides.
    const std::string foreign = WriteSound("take.snd");
    CTesselDoc* document = docTemplate.OpenDocumentFile(foreign);
    ASSERT_NE(document, nullptr);
    CTesselDoc* matched = nullptr;
    EXPECT_EQ(docTemplate.MatchDocType(foreign, matched), Confidence::YesAlreadyOpen);
    EXPECT_EQ(matched, document);
    // Byte-wise: another case is another file.
    std::string upper = foreign;
    upper.replace(upper.size() - 3, 3, "SND");
    EXPECT_EQ(docTemplate.MatchDocType(upper, matched), Confidence::MaybeAttemptForeign);
}

TEST_F(FrameTest, OpeningAnOpenPathActivatesThatDocumentInsteadOfLoadingItAgain) {
    CMyMultiDocTemplate& docTemplate = m_pFrame->GetDocTemplate();
    const std::string a = WriteSound("a.wav");
    CTesselDoc* first = docTemplate.OpenDocumentFile(a);
    ASSERT_NE(docTemplate.OpenDocumentFile(WriteSound("b.wav")), nullptr);
    ASSERT_NE(first, nullptr);
    const size_t boxes = m_prompts.Boxes().size();

    // The same file under another spelling of its path.
    const std::string sameFile = m_dir.Path().string() + "/./sub/../a.wav";
    std::filesystem::create_directory(m_dir.Path() / "sub");
    EXPECT_EQ(docTemplate.OpenDocumentFile(sameFile), first);
    EXPECT_EQ(docTemplate.Frames().size(), 2u);
    auto* current = dynamic_cast<CChildFrame*>(m_pFrame->GetClient().currentSubWindow());
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(&current->GetDocument(), first);
    EXPECT_EQ(m_prompts.Boxes().size(), boxes);
    EXPECT_EQ(first->GetPathName(), a);

    // The save dialog's open-document question sees the same list, and the same files under
    // any name: a save through a link must not replace an open document.
    EXPECT_TRUE(m_pApp->Dialogs().IsDocumentOpen(a));
    EXPECT_FALSE(m_pApp->Dialogs().IsDocumentOpen(m_dir.File("c.wav")));
    std::filesystem::create_symlink(a, m_dir.File("link.wav"));
    std::filesystem::create_hard_link(a, m_dir.File("hard.wav"));
    EXPECT_TRUE(m_pApp->Dialogs().IsDocumentOpen(m_dir.File("link.wav")));
    EXPECT_TRUE(m_pApp->Dialogs().IsDocumentOpen(m_dir.File("hard.wav")));
}

TEST_F(FrameTest, OpeningAFileClearsWhatAKilledSaveLeftBesideIt) {
    const std::string path = WriteSound("take.wav");
    const std::string left = m_dir.File(".take.wav.saving-AbCdEf");
    const std::string young = m_dir.File(".take.wav.saving-GhIjKl");
    WriteBytes(left, Bytes(1000, 7));
    WriteBytes(young, Bytes(1000, 7));
    std::filesystem::last_write_time(
        left, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    ASSERT_NE(m_pFrame->GetDocTemplate().OpenDocumentFile(path), nullptr);
    EXPECT_FALSE(std::filesystem::exists(left));
    EXPECT_TRUE(std::filesystem::exists(young)) << "may be a save under way";
}

TEST_F(FrameTest, AFileThatIsNoSoundOpensNoWindow) {
    const std::string path = m_dir.File("notes.wav");
    WriteBytes(path, Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'});
    EXPECT_EQ(m_pFrame->GetDocTemplate().OpenDocumentFile(path), nullptr);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].helpId, 104u);
    EXPECT_TRUE(m_pFrame->GetDocTemplate().Frames().empty());
    EXPECT_EQ(m_pFrame->CurrentMenu(), 128);
    EXPECT_TRUE(m_pFrame->GetRecentFiles().Entries().empty());
}

TEST_F(FrameTest, RecentFileListKeepsTheLastFourNewestFirstAcrossARestart) {
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        paths.push_back(WriteSound("take" + std::to_string(i) + ".wav"));
        ASSERT_NE(m_pFrame->GetDocTemplate().OpenDocumentFile(paths.back()), nullptr);
    }
    const std::vector<std::string> expected = {paths[4], paths[3], paths[2], paths[1]};
    EXPECT_EQ(m_pFrame->GetRecentFiles().Entries(), expected);
    // Activating an open one moves nothing; closing all leaves the list.
    m_pFrame->GetDocTemplate().OpenDocumentFile(paths[2]);
    EXPECT_EQ(m_pFrame->GetRecentFiles().Entries(), expected);
    ASSERT_TRUE(m_pFrame->close());
    DestroyFrame();

    MakeFrame();
    EXPECT_EQ(m_pFrame->GetRecentFiles().Entries(), expected);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->Action(kFileMru1 + 2)->text().toStdString(), "&3 " + paths[2]);
    EXPECT_TRUE(m_pFrame->Action(kFileMru1 + 3)->isEnabled());

    // Opening the third entry moves it first.
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileMru1 + 2));
    ASSERT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    EXPECT_EQ(m_pFrame->GetRecentFiles().Entries(),
              (std::vector<std::string>{paths[2], paths[4], paths[3], paths[1]}));
    // An entry whose file is gone is dropped after its message.
    std::filesystem::remove(paths[1]);
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileMru1 + 3));
    EXPECT_EQ(m_pFrame->GetRecentFiles().Entries(),
              (std::vector<std::string>{paths[2], paths[4], paths[3]}));
    EXPECT_FALSE(m_prompts.Boxes().empty());
    QSettings stored("Ambrel", "Sonomap");
    EXPECT_EQ(stored.value("Recent File List/File1").toString().toStdString(), paths[2]);
    EXPECT_EQ(stored.value("Recent File List/File4").toString(), "");
}

TEST_F(FrameTest, RecentFileListUnitRules) {
    CRecentFileList list(*m_pSettings);
    for (const char* path : {"/a", "/b", "/c", "/d", "/e", "/c"}) {
        list.Add(path);
    }
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/c", "/e", "/d", "/b"}));
    list.Remove(1);
    list.Remove(7);
    EXPECT_EQ(list.Entries(), (std::vector<std::string>{"/c", "/d", "/b"}));
}

TEST_F(FrameTest, FilesDroppedOnTheWindowOpen) {
    const std::string a = WriteSound("a.wav");
    TestSound aiff;
    aiff.bAiff = true;
    const std::string b = WriteSound("b.aif", aiff);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(a)),
                  QUrl::fromLocalFile(QString::fromStdString(b))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_pFrame.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_pFrame.get(), &drop);
    ASSERT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 2u);
    EXPECT_NE(m_pFrame->GetDocTemplate().FindDocument(a), nullptr);
    EXPECT_NE(m_pFrame->GetDocTemplate().FindDocument(b), nullptr);
}

TEST_F(FrameTest, FilesGivenToASecondStartOpenInTheRunningFrame) {
    const std::string a = WriteSound("a.wav");
    const QString name = QString::fromStdString(m_pApp->GetMainFrameClassName());
    ASSERT_NE(name.toStdString(), CEditorApp::kNoClassName);
    ASSERT_TRUE(CSingleInstance::AskRunningInstance(name, {QString::fromStdString(a)}));
    for (int i = 0; i < 200 && m_pFrame->GetDocTemplate().Frames().empty(); ++i) {
        QTest::qWait(25);
    }
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    EXPECT_NE(m_pFrame->GetDocTemplate().FindDocument(a), nullptr);
}

TEST_F(FrameTest, ClosingAPlayingDocumentStopsPlaybackFirst) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    ASSERT_TRUE(m_pApp->GetPlayback().Play(*document, 0, -1));
    bool bPlayingWhenViewCloses = true;
    ViewOf(*document)->onClose = [&] { bPlayingWhenViewCloses = m_pApp->IsPlaying(); };
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileClose));
    EXPECT_FALSE(bPlayingWhenViewCloses);
    EXPECT_FALSE(m_pApp->IsPlaying());
    FlushDeletes();
    EXPECT_TRUE(m_pFrame->GetDocTemplate().Frames().empty());
}

TEST_F(FrameTest, ClosingAModifiedDocumentAsksAndCancelKeepsIt) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    document->SetModifiedFlag(true);
    m_prompts.Script(UserPrompts::Answer::Cancel);
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileClose));
    FlushDeletes();
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text, "Save changes to a.wav?");
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    // Exit asks the same question and stays on Cancel.
    m_prompts.Script(UserPrompts::Answer::Cancel);
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kAppExit));
    EXPECT_EQ(m_prompts.Boxes().size(), 2u);
    EXPECT_EQ(m_pFrame->GetDocTemplate().Frames().size(), 1u);
    // No throws the changes away.
    m_prompts.Script(UserPrompts::Answer::No);
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileClose));
    FlushDeletes();
    EXPECT_TRUE(m_pFrame->GetDocTemplate().Frames().empty());
}

TEST_F(FrameTest, OpenCommandShowsBothFiltersInTheOpenFolderAndOpensTheChoice) {
    const std::string a = WriteSound("a.wav");
    static_cast<DocumentHost&>(*m_pApp).SetOpenFolder(m_dir.Path().string() + "/");
    bool bChecked = false;
    ModalDialog::When<CFileOpenDialog>([&](CFileOpenDialog& shown) {
        CFileOpenDialog* dialog = &shown;
        EXPECT_EQ(dialog->windowTitle(), "Open");
        EXPECT_EQ(dialog->nameFilters(),
                  (QStringList{"Sound Files (*.wav;*.aif)", "All Files (*.*)"}));
        EXPECT_EQ(dialog->selectedNameFilter(), "Sound Files (*.wav;*.aif)");
        EXPECT_EQ(dialog->PatternsOf("Sound Files (*.wav;*.aif)"),
                  (QStringList{"*.wav", "*.aif", "*.wave", "*.aiff"}));
        EXPECT_EQ(dialog->PatternsOf("All Files (*.*)"), QStringList{"*"});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        EXPECT_EQ(dialog->defaultSuffix(), "wav");
        EXPECT_EQ(dialog->directory().absolutePath().toStdString(), m_dir.Path().string());
        // Typed as a user would: selectFile() leaves the name box alone while it has focus,
        // and accepting an empty box does nothing.
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "a.wav");
        QTest::keyClick(name, Qt::Key_Return);
        bChecked = true;
    });
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileOpen));
    EXPECT_TRUE(bChecked);
    EXPECT_NE(m_pFrame->GetDocTemplate().FindDocument(a), nullptr);
}

TEST_F(FrameTest, OpenListsEverySpellingOfTheSoundExtensionsInAnyCase) {
    for (const char* name : {"a.WAV", "b.aiff", "c.Wave", "d.AIF", "e.wav", "f.txt", "g.flac"}) {
        WriteSound(name);
    }
    static_cast<DocumentHost&>(*m_pApp).SetOpenFolder(m_dir.Path().string() + "/");
    QStringList listed;
    ModalDialog::When<CFileOpenDialog>([&](CFileOpenDialog& dialog) {
        auto* model = dialog.findChild<QFileSystemModel*>();
        ASSERT_NE(model, nullptr);
        const QModelIndex folder = model->index(QString::fromStdString(m_dir.Path().string()));
        const auto names = [&] {
            QStringList shown;
            for (int row = 0; row < model->rowCount(folder); ++row) {
                shown << model->index(row, 0, folder).data().toString();
            }
            shown.sort();
            return shown;
        };
        // The model reads the folder on a thread of its own.
        QTRY_COMPARE_WITH_TIMEOUT(names().size(), 5, 5000);
        listed = names();
        dialog.reject();
    });
    m_pFrame->ExecuteCommand(kFileOpen);
    EXPECT_EQ(listed, (QStringList{"a.WAV", "b.aiff", "c.Wave", "d.AIF", "e.wav"}));
}

TEST_F(FrameTest, WindowMenuListsTheDocumentsAndActivatesThePickedOne) {
    CTesselDoc* a = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    CTesselDoc* b = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("b&c.wav"));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    QMenu* window = m_pFrame->menuBar()->actions().at(4)->menu();
    ASSERT_EQ(m_pFrame->menuBar()->actions().at(4)->text(), "&Window");
    emit window->aboutToShow();
    emit window->aboutToShow();  // shown twice, listed once
    QStringList texts;
    QList<bool> checks;
    for (QAction* item : window->actions().mid(3)) {
        if (!item->isSeparator()) {
            texts << item->text();
            checks << item->isChecked();
        }
    }
    EXPECT_EQ(texts, (QStringList{"&1 a.wav", "&2 b&&c.wav"}));
    EXPECT_EQ(checks, (QList<bool>{false, true}));
    window->actions().last()->trigger();
    window->actions().at(4)->trigger();
    auto* current = dynamic_cast<CChildFrame*>(m_pFrame->GetClient().currentSubWindow());
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(&current->GetDocument(), a);
}
