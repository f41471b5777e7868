// The whole editor window with real wave views and the real overview bar: what a user meets
// when two sounds are open.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <functional>
#include <map>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/CommandTable.h"
#include "playback/QtSettingsStore.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CMainFrameClient.h"
#include "shell/CRoomDialog.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/ModalDialog.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "views/COverviewToolBar.h"
#include "views/CTimeRuler.h"
#include "views/CWaveScrollView.h"
#include "views/CWaveViewPane.h"

namespace {

class EditorWindow : public ::testing::Test {
  protected:
    EditorWindow() {
        QSettings("Ambrel", "Sonomap").clear();
        m_pSettings = std::make_unique<QtSettingsStore>();
        m_pApp = std::make_unique<CEditorApp>(m_prompts, *m_pSettings);
        m_pFrame = std::make_unique<CMainFrame>(
            *m_pApp, *m_pSettings, [this](CTesselDoc& document, QWidget* parent) {
                return new CWaveScrollView(document, *m_pApp, parent);
            });
        m_pFrame->resize(900, 600);
        m_pFrame->show();
    }
    ~EditorWindow() override {
        m_pFrame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_pApp->ExitInstance();
    }

    // Opens a 16-bit sound of channels channels with the given pan points; returns its view.
    CWaveScrollView* Open(const std::string& name, uint16_t channels,
                          std::vector<PanChunkPoint> points = {}) {
        TestSound sound;
        sound.format = MakeFormat(channels, 22050, 16);
        sound.samples = Pattern(size_t{22050} * 2 * channels);
        sound.points = std::move(points);
        sound.chunkFrames = 22050;
        const std::string path = m_dir.File(name);
        WriteBytes(path, BuildSoundFile(sound));
        m_pFrame->OpenFiles({QString::fromStdString(path)});
        QCoreApplication::processEvents();
        return ActiveView();
    }
    CWaveScrollView* ActiveView() const {
        auto* window = dynamic_cast<CChildFrame*>(m_pFrame->GetClient().activeSubWindow());
        return window != nullptr ? dynamic_cast<CWaveScrollView*>(window->GetView()) : nullptr;
    }
    bool Enabled(unsigned id) {
        m_pFrame->UpdateCommandUI();
        return m_pFrame->Action(id)->isEnabled();
    }

    TempDir m_dir;
    ScriptedPrompts m_prompts;
    std::unique_ptr<QtSettingsStore> m_pSettings;
    std::unique_ptr<CEditorApp> m_pApp;
    std::unique_ptr<CMainFrame> m_pFrame;
};

// What the table puts in place, read from its rows: the ids by group and order, 0 between
// two groups.
std::vector<unsigned> TableItems(CommandPlace place) {
    std::map<std::pair<int, int>, unsigned> placed;
    for (const CommandInfo& info : CommandTable::All()) {
        for (const CommandPlacement& at : info.places) {
            if (at.place == place) {
                EXPECT_TRUE(placed.emplace(std::pair(at.group, at.order), info.id).second)
                    << info.id << " shares its place with another command";
            }
        }
    }
    std::vector<unsigned> ids;
    for (auto it = placed.begin(); it != placed.end(); ++it) {
        if (it != placed.begin() && it->first.first != std::prev(it)->first.first) {
            ids.push_back(0);
        }
        ids.push_back(it->second);
    }
    return ids;
}

// A menu's or a bar's items as built, 0 for a separator.
std::vector<unsigned> ItemsOf(const QWidget& widget) {
    std::vector<unsigned> ids;
    for (QAction* action : widget.actions()) {
        ids.push_back(action->isSeparator() ? 0 : action->data().toUInt());
    }
    return ids;
}

}  // namespace

TEST_F(EditorWindow, MenusBarsAndTheContextMenuHoldTheCommandTablesEntriesInItsOrder) {
    const auto expectMenuBar = [this](int menu) {
        const QList<QAction*> titles = m_pFrame->menuBar()->actions();
        qsizetype shown = 0;
        for (const CommandPlaceInfo& place : CommandTable::Places()) {
            if (place.menu != menu) {
                continue;
            }
            ASSERT_LT(shown, titles.size()) << place.title;
            const QMenu& built = *titles[shown++]->menu();
            EXPECT_EQ(built.title(), place.title);
            EXPECT_FALSE(TableItems(place.place).empty()) << place.title;
            EXPECT_EQ(ItemsOf(built), TableItems(place.place)) << menu << " " << place.title;
        }
        EXPECT_EQ(shown, titles.size()) << menu;
    };
    expectMenuBar(CMainFrame::kNoDocumentMenu);
    for (const CommandPlaceInfo& place : CommandTable::Places()) {
        if (place.barId != 0) {
            const QToolBar* bar = m_pFrame->Bar(place.barId);
            ASSERT_NE(bar, nullptr) << place.title;
            EXPECT_EQ(bar->windowTitle(), place.title);
            EXPECT_EQ(ItemsOf(*bar), TableItems(place.place)) << place.title;
        }
    }

    CWaveScrollView* view = Open("take.wav", 1);
    ASSERT_NE(view, nullptr);
    expectMenuBar(CMainFrame::kDocumentMenu);

    // The context menu, with its texts: a zoom item there goes without its key.
    std::vector<unsigned> ids;
    std::vector<std::string> texts, tableTexts;
    QTimer::singleShot(0, [&] {
        if (auto* menu = view->findChild<QMenu*>("ContextMenu153")) {
            ids = ItemsOf(*menu);
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator()) {
                    texts.push_back(action->text().toStdString());
                    const CommandInfo* info = CommandTable::Find(action->data().toUInt());
                    tableTexts.push_back(
                        info != nullptr ? info->TextIn(CommandPlace::kContextMenu153) : "");
                }
            }
            menu->close();
        }
    });
    QTimer::singleShot(5000, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    });
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(ids, TableItems(CommandPlace::kContextMenu153));
    EXPECT_EQ(texts, tableTexts);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Zoom &In"), texts.end());
}

TEST_F(EditorWindow, TheActiveViewFillsThePanesAndFeedsTheOverviewBar) {
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->Pane(1)->text(), "    ");
    EXPECT_FALSE(m_pFrame->Action(CommandId::kPlay)->isEnabled());

    CWaveScrollView* view = Open("take.wav", 1, {{0, -90}, {22049, 90}});
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->IsActiveView());
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->Pane(1)->text(), "22,050 / 16 bit / mono / WAVE");
    QCoreApplication::processEvents();  // the status bar lays out its panes
    const QLabel* format = m_pFrame->Pane(1);
    EXPECT_GE(format->contentsRect().width(),
              format->fontMetrics().horizontalAdvance(format->text()));
    EXPECT_EQ(m_pFrame->Pane(2)->text(), "1.00 sec.");
    EXPECT_EQ(m_pFrame->Pane(3)->text(), "44,100 bytes");
    EXPECT_TRUE(m_pFrame->Action(CommandId::kPlay)->isEnabled());
    EXPECT_EQ(view->GetOverviewBar(), m_pFrame->Bar(CommandId::kBarOverview));
    auto* bar = dynamic_cast<COverviewToolBar*>(m_pFrame->Bar(CommandId::kBarOverview));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetLivePan(), kNoLivePan);
}

TEST_F(EditorWindow, AStereoWindowKeepsPanEditModeForItsOwnTrajectory) {
    CWaveScrollView* mono = Open("mono.wav", 1);
    m_pFrame->ExecuteCommand(CommandId::kEditPan);
    EXPECT_EQ(m_pApp->GetEditMode(), CEditorApp::kEditModePan);
    // The current mode shows checked, not greyed, and choosing it again does nothing.
    EXPECT_TRUE(Enabled(CommandId::kEditPan));
    EXPECT_TRUE(m_pFrame->Action(CommandId::kEditPan)->isChecked());
    EXPECT_FALSE(m_pFrame->ExecuteCommand(CommandId::kEditPan));
    EXPECT_TRUE(Enabled(CommandId::kEditSelect));
    EXPECT_FALSE(m_pFrame->Action(CommandId::kEditSelect)->isChecked());

    CWaveScrollView* stereo = Open("stereo.wav", 2);
    ASSERT_NE(stereo, mono);
    EXPECT_TRUE(stereo->IsActiveView());
    EXPECT_FALSE(mono->IsActiveView());
    // Stereo sounds place their two channels around the trajectory: the mode stays.
    EXPECT_EQ(m_pApp->GetEditMode(), CEditorApp::kEditModePan);
    EXPECT_TRUE(m_pFrame->Action(CommandId::kEditPan)->isChecked());
    EXPECT_TRUE(m_pFrame->ExecuteCommand(CommandId::kEditSelect));
    EXPECT_EQ(m_pApp->GetEditMode(), CEditorApp::kEditModeSelect);
    EXPECT_TRUE(Enabled(CommandId::kEditPan));
    EXPECT_TRUE(m_pFrame->ExecuteCommand(CommandId::kEditPan));
    EXPECT_EQ(m_pApp->GetEditMode(), CEditorApp::kEditModePan);
}

TEST_F(EditorWindow, TheModeShowsPressedOnTheToolBarAndAGreyedExportSaysWhy) {
    CWaveScrollView* bare = Open("bare.wav", 1);
    m_pFrame->ExecuteCommand(CommandId::kEditPan);
    m_pFrame->UpdateCommandUI();
    for (QToolBar* bar : m_pFrame->findChildren<QToolBar*>()) {
        if (auto* button = qobject_cast<QToolButton*>(
                bar->widgetForAction(m_pFrame->Action(CommandId::kEditPan)))) {
            EXPECT_TRUE(button->isChecked());
            EXPECT_TRUE(button->isEnabled());
        }
    }
    // No pan points: Export stays greyed, and its tip and status text say why.
    QAction* exportAction = m_pFrame->Action(CommandId::kExportStereo);
    EXPECT_FALSE(Enabled(CommandId::kExportStereo));
    const QString why = QString::fromStdString(bare->GetDocument().WhyNoExport());
    ASSERT_FALSE(why.isEmpty());
    EXPECT_EQ(exportAction->toolTip().toStdString(),
              QString("Make Ambrel File\n" + why).toStdString());
    EXPECT_EQ(exportAction->statusTip().toStdString(),
              QString("Create & Save Ambrel processed stereo sound file - " + why).toStdString());

    // A greyed menu item cannot be hovered as such; the pointer over it still shows why.
    QMenu* file = nullptr;
    for (QAction* title : m_pFrame->menuBar()->actions()) {
        if (title->text() == "&File") {
            file = title->menu();
        }
    }
    ASSERT_NE(file, nullptr);
    file->popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
    QTest::mouseMove(file, file->actionGeometry(exportAction).center());
    // The whole text: the bar's tool tip holds it when the line is elided.
    const QStatusBar* bar = m_pFrame->statusBar();
    EXPECT_EQ((bar->toolTip().isEmpty() ? bar->currentMessage() : bar->toolTip()).toStdString(),
              exportAction->statusTip().toStdString());
    file->hide();

    // A document with points: Export is available, and the tips are the plain ones again.
    Open("moving.wav", 1, {{5000, 30}});
    EXPECT_TRUE(Enabled(CommandId::kExportStereo));
    EXPECT_EQ(exportAction->toolTip().toStdString(), QString("Make Ambrel File").toStdString());
    EXPECT_EQ(exportAction->statusTip().toStdString(),
              QString("Create & Save Ambrel processed stereo sound file").toStdString());
}

TEST_F(EditorWindow, KeysAndMenusReachTheActiveView) {
    CWaveScrollView* view = Open("take.wav", 1, {{5000, 30}});
    ASSERT_TRUE(Enabled(CommandId::kSelectAll));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->GetSelStart(), 0u);
    EXPECT_EQ(view->GetSelEnd(), 22050u);
    EXPECT_FALSE(Enabled(CommandId::kSelectAll));

    // Cut through its accelerator, then the Edit menu's Undo item names the edit.
    ASSERT_TRUE(Enabled(CommandId::kEditCut));
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(view->GetDocument().GetPanPoints().IsEmpty());
    EXPECT_TRUE(Enabled(CommandId::kEditUndo));
    EXPECT_EQ(m_pFrame->Action(CommandId::kEditUndo)->text(), "&Undo Delete Point\tCtrl+Z");
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->GetDocument().GetPanPoints().GetCount(), 1u);
    EXPECT_FALSE(Enabled(CommandId::kEditUndo));
    EXPECT_EQ(m_pFrame->Action(CommandId::kEditUndo)->text(), "&Undo\tCtrl+Z");

    // Space plays, Stop stops.
    view->SetSelection(0, 1);
    QTest::keyClick(view, Qt::Key_Space);
    ASSERT_TRUE(m_pApp->IsPlaying());
    EXPECT_FALSE(Enabled(CommandId::kPlay));
    ASSERT_TRUE(Enabled(CommandId::kStop));
    m_pFrame->ExecuteCommand(CommandId::kStop);
    EXPECT_FALSE(m_pApp->IsPlaying());
}

TEST_F(EditorWindow, CtrlZWalksBackThroughTheStepsAndBothRedoKeysForward) {
    CWaveScrollView* view = Open("steps.wav", 1, {{5000, 30}, {15000, -30}});
    CTesselDoc& doc = view->GetDocument();
    const auto points = [&] { return doc.GetPanPoints().GetCount(); };
    view->SetSelection(4000, 6000);
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    view->SetSelection(14000, 16000);
    QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
    ASSERT_EQ(points(), 0u);
    EXPECT_FALSE(Enabled(CommandId::kEditRedo));

    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(points(), 1u);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(points(), 2u);
    // All undone: back at the file's state, so no longer modified.
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(Enabled(CommandId::kEditUndo));
    ASSERT_TRUE(Enabled(CommandId::kEditRedo));
    EXPECT_EQ(m_pFrame->Action(CommandId::kEditRedo)->text(), "&Redo Delete Point\tCtrl+Y");

    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(points(), 1u);
    EXPECT_TRUE(doc.IsModified());
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(points(), 0u);
    EXPECT_FALSE(Enabled(CommandId::kEditRedo));
    EXPECT_EQ(m_pFrame->Action(CommandId::kEditRedo)->text(), "&Redo\tCtrl+Y");
}

TEST_F(EditorWindow, ClosingAPlayingDocumentStopsItFirst) {
    CWaveScrollView* view = Open("take.wav", 1);
    view->Playback().Play();
    ASSERT_TRUE(m_pApp->IsPlaying());
    m_pFrame->GetClient().activeSubWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(m_pApp->IsPlaying());
    EXPECT_EQ(m_pApp->GetPlayback().GetPlayingDocument(), nullptr);
    EXPECT_EQ(ActiveView(), nullptr);
}

TEST_F(EditorWindow, NewPanesSayWhereTheCaretTheMouseAndThePlayAre) {
    m_pFrame->UpdateCommandUI();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(m_pFrame->ReadoutPane(i)->isHidden()) << i;
    }
    CWaveScrollView* view = Open("take.wav", 1);
    view->SetSelection(11025, 11026);
    m_pFrame->UpdateCommandUI();
    QCoreApplication::processEvents();
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(m_pFrame->ReadoutPane(i)->isHidden()) << i;
    }
    EXPECT_EQ(m_pFrame->ReadoutPane(0)->text(), "Caret 0:00.500 (11025)");
    EXPECT_EQ(m_pFrame->ReadoutPane(2)->text(), "");
    // They come right of the three that describe the sound, which keep their texts.
    EXPECT_EQ(m_pFrame->Pane(0)->text(), "Ready");
    EXPECT_EQ(m_pFrame->Pane(1)->text(), "22,050 / 16 bit / mono / WAVE");
    EXPECT_EQ(m_pFrame->Pane(3)->text(), "44,100 bytes");
    EXPECT_LT(m_pFrame->Pane(3)->x(), m_pFrame->ReadoutPane(0)->x());
    EXPECT_LT(m_pFrame->ReadoutPane(0)->x(), m_pFrame->ReadoutPane(1)->x());
    EXPECT_LT(m_pFrame->ReadoutPane(1)->x(), m_pFrame->ReadoutPane(2)->x());
    const QLabel* caret = m_pFrame->ReadoutPane(0);
    EXPECT_GE(caret->contentsRect().width(), caret->fontMetrics().horizontalAdvance(caret->text()));

    view->Playback().Play();
    QTest::qWait(60);
    // No tick moves the view's line meanwhile, and the pane may change again.
    QTest::qSleep(CMainFrame::kPlayPaneIntervalMs + 10);
    m_pFrame->UpdateCommandUI();
    const QString playing = m_pFrame->ReadoutPane(2)->text();
    EXPECT_TRUE(playing.startsWith("Play 0:00.")) << playing.toStdString();
    // The pane, the view's line and the overview's line tell the same frame.
    ASSERT_TRUE(view->Playback().Frame().has_value());
    EXPECT_TRUE(playing.endsWith(QString("(%1)").arg(*view->Playback().Frame())));
    auto* bar = dynamic_cast<COverviewToolBar*>(m_pFrame->Bar(CommandId::kBarOverview));
    EXPECT_EQ(bar->GetPlayPosition(), *view->Playback().Frame());
    m_pFrame->ExecuteCommand(CommandId::kStop);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->ReadoutPane(2)->text(), "");
    EXPECT_EQ(bar->GetPlayPosition(), kNoPlayPosition);
    EXPECT_EQ(m_pFrame->ReadoutPane(0)->text(), "Caret 0:00.500 (11025)");

    // A longer text widens its pane to show it whole.
    view->SetSelection(1000, 20000);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(caret->text(), "Sel 0:00.045-0:00.907 (1000-20000), length 0:00.861 (19000)");
    EXPECT_GE(caret->contentsRect().width(), caret->fontMetrics().horizontalAdvance(caret->text()));
}

TEST_F(EditorWindow, ARunningPlayPositionChangesItsPaneTenTimesASecondAtMost) {
    CWaveScrollView* view = Open("take.wav", 1);
    const QLabel* pane = m_pFrame->ReadoutPane(2);
    view->Playback().Play();
    // Started before each change, so it reads at least what the frame's own clock reads.
    QElapsedTimer sinceChange;
    sinceChange.start();
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(pane->text(), "Play 0:00.000 (0)");  // the start at once
    // From here the ticks are given by hand; no event runs the mixer's meanwhile. A move within the
    // interval is held, but a loaded machine may let the interval pass before the refresh, so
    // the hold is checked only where the clock proves the refresh came in time. Each change
    // shows a frame not shown before, so the frame's clock restarts after this one.
    const std::pair<uint32_t, const char*> moves[] = {
        {1000, "Play 0:00.045 (1000)"}, {2000, "Play 0:00.090 (2000)"},
        {3000, "Play 0:00.136 (3000)"}, {4000, "Play 0:00.181 (4000)"},
        {5000, "Play 0:00.226 (5000)"}, {6000, "Play 0:00.272 (6000)"}};
    CTesselDoc& doc = view->GetDocument();
    QString shown = pane->text();
    int holds = 0;
    for (const auto& [frame, text] : moves) {
        m_pFrame->OnPlaybackTick(doc, PlaybackTick{frame - 500, std::nullopt, std::nullopt});
        m_pFrame->UpdateCommandUI();
        if (sinceChange.elapsed() < CMainFrame::kPlayPaneIntervalMs) {
            EXPECT_EQ(pane->text(), shown) << frame;
            ++holds;
        }
        QTest::qSleep(CMainFrame::kPlayPaneIntervalMs + 10);
        sinceChange.start();
        m_pFrame->OnPlaybackTick(doc, PlaybackTick{frame, std::nullopt, std::nullopt});
        m_pFrame->UpdateCommandUI();
        EXPECT_EQ(pane->text(), text);
        shown = pane->text();
    }
    EXPECT_GE(holds, 2) << "too few refreshes came within the interval to see a move held";

    // The end at once.
    m_pFrame->OnPlaybackTick(doc, PlaybackTick{3000, std::nullopt, std::nullopt});
    m_pFrame->ExecuteCommand(CommandId::kStop);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(pane->text(), "");
}

TEST_F(EditorWindow, TheDocumentWindowShowsTheRulerOverTheViewAndTheOverviewMovesIt) {
    CWaveScrollView* view = Open("take.wav", 1);
    auto* pane = dynamic_cast<CWaveViewPane*>(m_pFrame->GetClient().activeSubWindow()->widget());
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->isAncestorOf(view));
    EXPECT_LT(pane->Ruler().geometry().bottom(), view->geometry().top());
    // The view takes the keys as soon as its window is active.
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
    EXPECT_TRUE(view->hasFocus());
    EXPECT_EQ(QApplication::focusWidget(), view);

    for (int i = 0; i < 3; ++i) {
        m_pFrame->ExecuteCommand(CommandId::kZoomIn);
    }
    m_pFrame->UpdateCommandUI();  // the bar learns what the view shows
    QCoreApplication::processEvents();
    auto* bar = dynamic_cast<COverviewToolBar*>(m_pFrame->Bar(CommandId::kBarOverview));
    const QRect inner = bar->OverviewAreaRect().adjusted(2, 2, -2, -2);
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      QPoint(inner.x() + inner.width() * 3 / 4, inner.center().y()));
    const WaveViewGeometry g = view->PaintedGeometry();
    const uint32_t centre = g.SampleOfColumn(g.LeftColumn() + g.ImageWidth() / 2);
    EXPECT_NEAR(centre, 22050 * 3 / 4, 22050 / 50);
}

// Space plays and stops wherever the focus is in the window: on the wave, the ruler over it,
// the lanes under it, the document window's frame, a record-mode button just clicked, the
// overview bar. Each time the first Space plays and the second stops.
TEST_F(EditorWindow, SpacePlaysAndStopsWhereverTheFocusIsInTheWindow) {
    CWaveScrollView* view = Open("take.wav", 1, {{5000, 30}});
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));
    view->SetAllAround(true);
    auto* pane = dynamic_cast<CWaveViewPane*>(ActiveView()->parentWidget());
    ASSERT_NE(pane, nullptr);
    QToolBar* transport = m_pFrame->Bar(CommandId::kBarTransport);
    QWidget* latch = transport->widgetForAction(m_pFrame->Action(CommandId::kRecordLatch));
    const struct {
        const char* name;
        QWidget* holder;
    } kHolders[] = {
        {"the wave", view},
        {"the time ruler", &pane->Ruler()},
        {"the lanes", view->Lanes()},
        {"the document window", m_pFrame->GetClient().activeSubWindow()},
        {"a record-mode button", latch},
        {"the overview bar", m_pFrame->Bar(CommandId::kBarOverview)},
    };
    for (const auto& h : kHolders) {
        SCOPED_TRACE(h.name);
        if (h.holder == latch) {
            QTest::mouseClick(latch, Qt::LeftButton);
            EXPECT_EQ(m_pApp->GetPlayback().GetRecordMode(), PlaybackSession::RecordMode::Latch);
        }
        h.holder->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), h.holder);
        view->SetSelection(0, 1);
        m_pFrame->UpdateCommandUI();
        QTest::keyClick(h.holder, Qt::Key_Space);
        EXPECT_TRUE(m_pApp->IsPlaying());
        m_pFrame->UpdateCommandUI();
        QTest::keyClick(h.holder, Qt::Key_Space);
        EXPECT_FALSE(m_pApp->IsPlaying());
    }
    // Loop and the record modes answer their keys and show their state in the menu.
    QTest::keyClick(view, Qt::Key_L);
    QTest::keyClick(view, Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pApp->GetPlayback().IsLoop());
    EXPECT_TRUE(m_pFrame->Action(CommandId::kLoopPlayback)->isChecked());
    EXPECT_EQ(m_pApp->GetPlayback().GetRecordMode(), PlaybackSession::RecordMode::Write);
    EXPECT_TRUE(m_pFrame->Action(CommandId::kRecordWrite)->isChecked());
    EXPECT_FALSE(m_pFrame->Action(CommandId::kRecordLatch)->isChecked());
}

// In a window of the default 1000 pixels with a sound open, the panes leave the message area a
// word or two: a reported line too long for it shows whole, wrapped, in a strip just above the
// bar, which goes with the line and opens Messages; a line that fits shows in the bar alone.
TEST_F(EditorWindow, AReportedLineTooLongForTheBarShowsWholeAboveIt) {
    const QString exported =
        "Exported a-stereo.wav in /home/someone/Music/takes/ (1,234,567 bytes). Loudness "
        "-23.0 LUFS, true peak -1.2 dBTP.";
    const struct {
        int width;
        QString line;
        bool bWhole;  // shown in the strip
    } cases[] = {
        {1000, exported, true},
        {1000, "HRTF off: speakers", true},
        {640, exported, true},
        {2400, exported, false},
    };
    Open("a.wav", 1, {{0, -90}, {22049, 90}});
    QStatusBar* bar = m_pFrame->statusBar();
    auto* strip = m_pFrame->findChild<QLabel*>("statusLineWhole");
    ASSERT_NE(strip, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        m_pFrame->resize(c.width, 700);
        m_pFrame->UpdateCommandUI();
        QCoreApplication::processEvents();
        m_pApp->Prompts().ShowStatus(c.line.toStdString());
        QCoreApplication::processEvents();
        EXPECT_EQ(strip->isVisible(), c.bWhole);
        EXPECT_EQ(bar->currentMessage() == c.line, !c.bWhole)
            << bar->currentMessage().toStdString();
        if (!c.bWhole) {
            continue;
        }
        EXPECT_EQ(strip->text(), c.line);
        // Across the window, over the bar and not on it, tall enough for every wrapped row.
        const QRect place = strip->geometry();
        EXPECT_EQ(place.left(), 0);
        EXPECT_EQ(place.width(), m_pFrame->width());
        EXPECT_EQ(place.bottom() + 1, bar->mapTo(m_pFrame.get(), QPoint(0, 0)).y());
        EXPECT_GE(place.height(), strip->heightForWidth(place.width()));
        EXPECT_GT(place.top(), 0);
    }
    // A fly-by text takes the bar's line, and the strip goes with the line.
    bar->showMessage("Zoom in to waveform");
    EXPECT_FALSE(strip->isVisible());
    // A click on the strip opens Messages.
    m_pFrame->resize(1000, 700);
    QCoreApplication::processEvents();
    m_pApp->Prompts().ShowStatus(exported.toStdString());
    ASSERT_TRUE(strip->isVisible());
    QTest::mouseClick(strip, Qt::LeftButton);
    auto* messages = m_pFrame->findChild<QDialog*>("messagesWindow");
    ASSERT_NE(messages, nullptr);
    EXPECT_TRUE(messages->isVisible());
    messages->close();
    bar->clearMessage();
    EXPECT_FALSE(strip->isVisible());
    // While a sound plays the strip would cover the overview bar's play line: it stays away.
    m_pApp->Prompts().ShowStatus(exported.toStdString());
    ASSERT_TRUE(strip->isVisible());
    CWaveScrollView* view = ActiveView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(m_pApp->GetPlayback().Play(view->GetDocument(), 0, -1));
    EXPECT_FALSE(strip->isVisible());
    m_pApp->Prompts().ShowStatus(exported.toStdString());
    EXPECT_FALSE(strip->isVisible());
    m_pApp->GetPlayback().Stop();
    m_pApp->Prompts().ShowStatus(exported.toStdString());
    EXPECT_TRUE(strip->isVisible());
}

TEST_F(EditorWindow, TheViewMenuKeepsTheSoundsRoomDopplerAndAirWithTheDocument) {
    CWaveScrollView* view = Open("take.wav", 1, {{0, -30}, {22049, 30}});
    ASSERT_NE(view, nullptr);
    CTesselDoc& doc = view->GetDocument();
    const struct {
        unsigned id;
        std::function<bool(const Acoustics&)> on;
    } toggles[] = {
        {CommandId::kDoppler, [](const Acoustics& a) { return a.bDoppler; }},
        {CommandId::kAirAbsorption, [](const Acoustics& a) { return a.bAir; }},
    };
    for (const auto& toggle : toggles) {
        SCOPED_TRACE(toggle.id);
        for (const bool bOn : {true, false}) {
            m_pFrame->UpdateCommandUI();
            QAction* action = m_pFrame->Action(toggle.id);
            ASSERT_TRUE(action->isEnabled());
            action->trigger();
            m_pFrame->UpdateCommandUI();
            EXPECT_EQ(toggle.on(doc.GetAcoustics()), bOn);
            EXPECT_EQ(action->isChecked(), bOn);
        }
    }

    // Room...: the dialog, a room kept on OK, the item checked.
    m_pFrame->Action(CommandId::kDoppler)->trigger();
    ModalDialog::When<CRoomDialog>([](CRoomDialog& dialog) {
        dialog.InRoomBox()->setChecked(true);
        dialog.Field("width")->setValue(5.0);
        dialog.Field("x")->setValue(2.5);
        dialog.accept();
    });
    m_pFrame->Action(CommandId::kRoom)->trigger();
    m_pFrame->UpdateCommandUI();
    ASSERT_TRUE(doc.GetAcoustics().room.has_value());
    EXPECT_DOUBLE_EQ(doc.GetAcoustics().room->width, 5.0);
    EXPECT_TRUE(doc.GetAcoustics().bDoppler);
    EXPECT_TRUE(m_pFrame->Action(CommandId::kRoom)->isChecked());
    EXPECT_TRUE(doc.IsModified());
}
