// The editor's window keeps up with its document where the change comes from elsewhere: a
// Generate Trajectory preview is drawn as the fields change, and points recovered after a
// crash come back in the view their places need.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QPaintEvent>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <memory>
#include <set>

#include "document/CTesselDoc.h"
#include "document/RecoveryFolder.h"
#include "document/RecoveryJournal.h"
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
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "trajectory/SoundPlace.h"
#include "views/CWaveScrollView.h"

namespace {

// Collects the regions a widget is asked to repaint: what reaches the screen without a grab,
// which paints everything afresh.
class PaintRecorder : public QObject {
  public:
    explicit PaintRecorder(QWidget* widget) { widget->installEventFilter(this); }
    QRegion painted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

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
