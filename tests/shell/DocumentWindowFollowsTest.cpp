// The editor's window keeps up with its document where the change comes from elsewhere: a
// Generate Trajectory preview is drawn as the fields change, points recovered after a crash
// come back in the view their places need, and a file another program (sonomap-cli) writes
// is offered for loading again and never silently saved over.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPaintEvent>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <memory>
#include <set>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/RecoveryFolder.h"
#include "document/RecoveryJournal.h"
#include "document/TrajectorySpan.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/QtSettingsStore.h"
#include "shell/CChildFrame.h"
#include "shell/CGenerateTrajectoryDialog.h"
#include "shell/CMainFrame.h"
#include "shell/CMainFrameClient.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/ModalDialog.h"
#include "support/PaintRecorder.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "trajectory/SoundPlace.h"
#include "views/CWaveScrollView.h"

namespace {

class DocumentWindowFollows : public ::testing::Test {
  protected:
    DocumentWindowFollows() {
        QSettings("Ambrel", "Sonomap").clear();
        m_pSettings = std::make_unique<QtSettingsStore>();
        m_pApp = std::make_unique<CEditorApp>(m_prompts, *m_pSettings);
        m_pFrame = std::make_unique<CMainFrame>(
            *m_pApp, *m_pSettings, [this](CTesselDoc& document, QWidget* parent) {
                return new CWaveScrollView(document, *m_pApp, parent);
            });
        CGenerateTrajectoryDialog::Install(*m_pApp, m_pFrame.get());
        m_pFrame->resize(900, 600);
        m_pFrame->show();
    }
    ~DocumentWindowFollows() override {
        m_pFrame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_pApp->ExitInstance();
    }

    std::string WriteMono(const std::string& name, std::vector<PanChunkPoint> points) {
        TestSound sound;
        sound.format = MakeFormat(1, 22050, 16);
        sound.samples = Pattern(size_t{22050} * 2);
        sound.points = std::move(points);
        sound.chunkFrames = 22050;
        const std::string path = m_dir.File(name);
        WriteBytes(path, BuildSoundFile(sound));
        return path;
    }
    CWaveScrollView* Open(const std::string& path) {
        m_pFrame->OpenFiles({QString::fromStdString(path)});
        QCoreApplication::processEvents();
        auto* window = dynamic_cast<CChildFrame*>(m_pFrame->GetClient().activeSubWindow());
        return window != nullptr ? dynamic_cast<CWaveScrollView*>(window->GetView()) : nullptr;
    }
    // The rows of column x where the view shows the trajectory's red, as it is on screen.
    static std::set<int> RedRows(CWaveScrollView& view, int x) {
        QCoreApplication::processEvents();
        const QImage shown = view.viewport()->grab().toImage();
        std::set<int> rows;
        for (int y = 0; y < shown.height(); ++y) {
            const QColor c = shown.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 80 && c.blue() < 80) {
                rows.insert(y);
            }
        }
        return rows;
    }
    static void FlushDeletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static bool Near(const std::set<int>& rows, int y) {
        return rows.lower_bound(y - 2) != rows.upper_bound(y + 2);
    }

    TempDir m_dir;
    ScriptedPrompts m_prompts;
    std::unique_ptr<QtSettingsStore> m_pSettings;
    std::unique_ptr<CEditorApp> m_pApp;
    std::unique_ptr<CMainFrame> m_pFrame;
};

}  // namespace

TEST_F(DocumentWindowFollows, AGeneratePreviewIsDrawnAsItsFieldsChangeAndCancelTakesItBack) {
    CWaveScrollView* view = Open(WriteMono("level.wav", {{0, -30}, {22050, -30}}));
    ASSERT_NE(view, nullptr);
    const int x = view->viewport()->width() / 2;
    const int before = view->Geometry().YOfPan(-30);
    ASSERT_TRUE(Near(RedRows(*view, x), before));
    bool bChecked = false;
    ModalDialog::When<CGenerateTrajectoryDialog>([&](CGenerateTrajectoryDialog& dialog) {
        QCoreApplication::processEvents();
        PaintRecorder recorder(view->viewport());
        for (const char* key : {"start", "end"}) {
            QDoubleSpinBox* box = dialog.Field(key);
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, "60");
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(recorder.painted.contains(QPoint(x, before)));
        EXPECT_TRUE(recorder.painted.contains(QPoint(x, view->Geometry().YOfPan(60))));
        // With a caret the shape spans the whole sound: a level line at +60, on screen while
        // the dialog is open.
        EXPECT_EQ(dialog.Field("to")->value(), 22050.0);
        const std::set<int> rows = RedRows(*view, x);
        EXPECT_TRUE(Near(rows, view->Geometry().YOfPan(60)));
        EXPECT_FALSE(Near(rows, before));
        dialog.reject();
        bChecked = true;
    });
    m_pFrame->ExecuteCommand(CommandId::kGenerateTrajectory);
    ASSERT_TRUE(bChecked);
    const std::set<int> rows = RedRows(*view, x);
    EXPECT_TRUE(Near(rows, before));
    EXPECT_FALSE(Near(rows, view->Geometry().YOfPan(60)));
}

TEST_F(DocumentWindowFollows, RecoveredPointsBehindComeBackInTheAllAroundView) {
    const std::string path = WriteMono("behind.wav", {{0, 10}});
    PanPoint behind(0, 0);
    SetAzimuth(behind, -116);
    std::vector<PanPoint> points = {behind, behind};
    points[1].position = 22050;
    RecoveryJournal journal;
    journal.key = path;
    journal.ownerToken = 5;  // no live run holds it
    journal.lastEditMs = 1765200000000;
    journal.points = points;
    journal.StampKeyFile();
    journal.WriteTo(RecoveryFolder(RecoveryFolder::DefaultPath()).JournalPathFor(path));
    m_prompts.Script(UserPrompts::Answer::Yes);

    CWaveScrollView* view = Open(path);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    ASSERT_EQ(view->GetDocument().GetPanPoints().Values(), points);
    EXPECT_TRUE(view->IsAllAround());
    EXPECT_TRUE(view->Lanes()->isVisible());
    // Drawn at -116 round the circle, not at its frontal fold of -64.
    const std::set<int> rows = RedRows(*view, view->viewport()->width() / 2);
    EXPECT_TRUE(Near(rows, view->Geometry().AzimuthAxis().YOf(-116)));
    EXPECT_FALSE(Near(rows, view->Geometry().AzimuthAxis().YOf(-64)));
}

namespace {

// Another program's save: sonomap-cli replaces the file's points in place.
void SetPointsElsewhere(const std::string& path, const std::string& points) {
    QProcess cli;
    cli.start(SONOMAP_CLI_PATH, {"set-points", QString::fromStdString(path), "--points",
                                 QString::fromStdString(points)});
    ASSERT_TRUE(cli.waitForFinished(20000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
}

std::vector<int32_t> AzimuthsInFile(const std::string& path) {
    TestDocumentHost host;
    CTesselDoc doc(host);
    EXPECT_TRUE(DocumentOpen(doc).Open(path));
    std::vector<int32_t> azimuths;
    for (const PanPoint& point : doc.GetPanPoints().Values()) {
        azimuths.push_back(point.azimuth);
    }
    return azimuths;
}

}  // namespace

TEST_F(DocumentWindowFollows, AFileWrittenElsewhereIsOfferedAgainAndNeverSavedOverUnasked) {
    using Answer = UserPrompts::Answer;
    const std::vector<int32_t> ours = {-30, -30};
    const std::vector<int32_t> theirs = {45, 45};
    const std::vector<int32_t> edited = {10, 10};
    // An edit here comes before the file changes on disk, or after coming back to it.
    enum class Edit { None, Before, After };
    const struct {
        const char* name;
        bool bWrittenElsewhere;
        Edit edit;
        std::optional<Answer> reload;     // the question on coming back, if asked
        std::optional<Answer> overwrite;  // the question at Save, if asked
        std::vector<int32_t> shown;       // in the window after coming back
        std::vector<int32_t> inFile;      // after Save (greyed without an edit)
    } cases[] = {
        {"untouched file", false, Edit::Before, std::nullopt, std::nullopt, edited, edited},
        {"reloaded", true, Edit::None, Answer::Yes, std::nullopt, theirs, theirs},
        {"not reloaded, then not saved over", true, Edit::After, Answer::No, Answer::No, edited,
         theirs},
        {"not reloaded, then saved over", true, Edit::After, Answer::No, Answer::Yes, edited,
         edited},
        // Unsaved edits are never thrown away by a reload: only Save asks.
        {"edited here, not saved over", true, Edit::Before, std::nullopt, Answer::No, edited,
         theirs},
    };
    const auto edit = [](CTesselDoc& doc) {
        doc.BeginGroup(UndoKind::Replace);
        TrajectorySpan::Replace(doc, 0, 22050, {PanPoint(0, 10), PanPoint(22050, 10)});
        doc.EndGroup();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prompts.Clear();
        const std::string path = WriteMono(std::string(c.name) + ".wav", {{0, -30}, {22050, -30}});
        CWaveScrollView* view = Open(path);
        ASSERT_NE(view, nullptr);
        const QRect place = m_pFrame->GetClient().activeSubWindow()->geometry();
        if (c.edit == Edit::Before) {
            edit(view->GetDocument());
        }
        if (c.bWrittenElsewhere) {
            SetPointsElsewhere(path, "0:45,22050:45");
        }
        if (c.reload) {
            m_prompts.Script(*c.reload);
        }
        for (int pass = 0; pass < 2; ++pass) {  // a No holds until the file changes again
            emit qApp->applicationStateChanged(Qt::ApplicationInactive);
            emit qApp->applicationStateChanged(Qt::ApplicationActive);
        }
        ASSERT_EQ(m_prompts.Boxes().size(), c.reload ? 1u : 0u);
        FlushDeletes();
        auto* window = dynamic_cast<CChildFrame*>(m_pFrame->GetClient().activeSubWindow());
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->geometry(), place);
        CTesselDoc& doc = window->GetDocument();
        if (c.edit == Edit::After) {
            edit(doc);
        }
        std::vector<int32_t> shown;
        for (const PanPoint& point : doc.GetPanPoints().Values()) {
            shown.push_back(point.azimuth);
        }
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(doc.IsModified(), c.edit != Edit::None);

        m_prompts.Clear();
        if (c.overwrite) {
            m_prompts.Script(*c.overwrite);
        }
        m_pFrame->ExecuteCommand(CommandId::kFileSave);
        ASSERT_EQ(m_prompts.Boxes().size(), c.overwrite ? 1u : 0u);
        if (c.overwrite) {
            EXPECT_EQ(m_prompts.Boxes()[0].defaultAnswer, Answer::No);
        }
        EXPECT_EQ(AzimuthsInFile(path), c.inFile);
        // Saved or not, a later change of ours is the file's own: nothing more is asked.
        m_prompts.Clear();
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        EXPECT_EQ(m_prompts.Boxes().size(), 0u);
        m_pFrame->GetDocTemplate().CloseAllDocuments();
        FlushDeletes();
    }
}
