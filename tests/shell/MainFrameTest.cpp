// The main frame as a whole window: menus, route, bars, panes, state and deactivation.
#include <QAction>
#include <QDialog>
#include <QEventLoop>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "FrameTestFixture.h"
#include "document/CTesselDoc.h"
#include "playback/CommandIds.h"
#include "playback/CommandTable.h"
#include "shell/CMainFrameClient.h"
#include "views/ViewEvents.h"

using namespace CommandId;

namespace {

struct MenuItem {
    QString text;
    unsigned id;
    bool operator==(const MenuItem& other) const = default;
};
using Menu = std::pair<QString, std::vector<MenuItem>>;

void PrintTo(const MenuItem& item, std::ostream* os) {
    *os << item.text.toStdString() << " " << item.id;
}

// The menu bar as shown: visible items without separators.
std::vector<Menu> MenusOf(CMainFrame& frame) {
    std::vector<Menu> menus;
    for (QAction* title : frame.menuBar()->actions()) {
        std::vector<MenuItem> items;
        for (QAction* item : title->menu()->actions()) {
            if (!item->isSeparator() && item->isVisible()) {
                items.push_back({item->text(), item->data().toUInt()});
            }
        }
        menus.emplace_back(title->text(), items);
    }
    return menus;
}

// Records the overview bar's messages.
class OverviewRecorder : public QObject {
  public:
    std::vector<OverviewViewInfo> updates;
    std::vector<int> livePans;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == kOverviewUpdateEvent) {
            updates.push_back(static_cast<OverviewUpdateEvent*>(event)->Info());
        } else if (event->type() == kSetLivePanEvent) {
            livePans.push_back(static_cast<SetLivePanEvent*>(event)->Pan());
        }
        return false;
    }
};

// Runs the event loop for a while, the way the program idles (blocking for events).
void IdleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The overview spans the frame on a row of its own, and the transport bar is whole beside it.
void ExpectOverviewRowOfItsOwn(CMainFrame& frame) {
    QToolBar* overview = frame.Bar(kBarOverview);
    QToolBar* transport = frame.Bar(kBarTransport);
    EXPECT_EQ(frame.toolBarArea(overview), Qt::BottomToolBarArea);
    EXPECT_EQ(overview->width(), frame.width());
    EXPECT_EQ(overview->height(), 105);
    EXPECT_FALSE(transport->isHidden());
    EXPECT_GE(transport->width(), transport->sizeHint().width());
    const QRect row = overview->geometry();
    const QRect bar = transport->geometry();
    EXPECT_TRUE(bar.bottom() < row.top() || bar.top() > row.bottom())
        << "transport at y " << bar.y() << ", overview at y " << row.y();
}

const std::vector<MenuItem> kViewBars128 = {{"&Toolbar", 59392},
                                            {"T&ransport", 200},
                                            {"I&nfo Button", 145},
                                            {"O&verview", 59492},
                                            {"Stat&us Bar", 59393}};
const std::vector<MenuItem> kHelpMenu = {{"&Help Topics", 57667}, {"&About Sonomap...", 57664}};

}  // namespace

TEST_F(FrameTest, MenusSwitchFrom128To129AsTheFirstDocumentOpensAndBackAsTheLastCloses) {
    const std::vector<Menu> menu128 = {{"&File",
                                        {{"&Open...\tCtrl+O", 57601},
                                         {"&Import...\tCtrl+Shift+I", 32787},
                                         {"Preferences...", 32794},
                                         {"Recent File", 57616},
                                         {"E&xit", 57665}}},
                                       {"&View", kViewBars128},
                                       {"&Help", kHelpMenu}};
    EXPECT_EQ(m_pFrame->CurrentMenu(), 128);
    EXPECT_EQ(MenusOf(*m_pFrame), menu128);

    const std::string a = WriteSound("a.wav");
    const std::string b = WriteSound("b.wav");
    CTesselDoc* first = m_pFrame->GetDocTemplate().OpenDocumentFile(a);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(m_pFrame->GetDocTemplate().OpenDocumentFile(b), nullptr);
    m_pFrame->UpdateCommandUI();
    EXPECT_EQ(m_pFrame->CurrentMenu(), 129);
    std::vector<MenuItem> view129 = {{"Zoom &In\tCtrl + ->", 32772},
                                     {"Zoom &Out\tCtrl + <-", 32774},
                                     {"Zoom To &Selection\tCtrl + Shift + ->", 32778},
                                     {"Show &All\tCtrl + Shift + <-", 32777},
                                     {"Show All Aro&und\tCtrl+Shift+U", 32812}};
    view129.insert(view129.end(), kViewBars128.begin(), kViewBars128.end());
    view129[8].text = "Over&view";
    view129.push_back({"Play Through Stereo E&xport Filter", 32855});
    view129.push_back({"Play Through &Binaural Renderer", 32856});
    view129.push_back({"&Room...", 32875});
    view129.push_back({"&Doppler", 32876});
    view129.push_back({"Air &Absorption", 32877});
    const std::vector<Menu> menu129 = {
        {"&File",
         {{"&Open...\tCtrl+O", 57601},
          {"&Import...\tCtrl+Shift+I", 32787},
          {"&Close", 57602},
          {"&Save\tCtrl+S", 57603},
          {"Save &As...", 57604},
          {"Export Stereo File...", 32788},
          {"Export Binaural File...", 32789},
          {"Export Ambisonics...", 32840},
          {"Export ADM BW64...", 32845},
          {"Export Loudspeakers...", 32846},
          {"Preferences...", 32794},
          {QString::fromStdString("&1 " + b), 57616},
          {QString::fromStdString("&2 " + a), 57617},
          {"E&xit", 57665}}},
        {"&Edit",
         {{"&Undo\tCtrl+Z", 57643},
          {"&Redo\tCtrl+Y", 57644},
          {"Cu&t\tCtrl+X", 57635},
          {"&Copy\tCtrl+C", 57634},
          {"&Paste\tCtrl+V", 32795},
          {"&Delete", 32786},
          {"Point Properties...\tAlt+Enter", 32811},
          {"&Select All\tCtrl+A", 32793},
          {"Cursor &Follows Playback", 32790},
          {"&Generate Trajectory...", 32830},
          {"S&tretch Points...", 32831}}},
        {"&View", view129},
        // Every key of playing and recording stands in a menu.
        {"&Transport",
         {{"&Play/Stop\tSpace", 32860},
          {"&Loop Playback\tL", 32832},
          {"&Record Trajectory\tCtrl+R", 32833},
          {"&Touch\tCtrl+Shift+T", 32834},
          {"L&atch\tCtrl+Shift+L", 32835},
          {"&Write\tCtrl+Shift+W", 32836},
          {"Reset &Head\tCtrl+Shift+H", 32870}}},
        {"&Window", {{"&Cascade", 57650}, {"&Tile", 57651}, {"&Arrange Icons", 57649}}},
        {"&Help", kHelpMenu}};
    EXPECT_EQ(MenusOf(*m_pFrame), menu129);

    // Closing one of two keeps the document menu; closing the last brings back 128.
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileClose));
    EXPECT_EQ(m_pFrame->CurrentMenu(), 129);
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kFileClose));
    FlushDeletes();
    EXPECT_EQ(m_pFrame->CurrentMenu(), 128);
    EXPECT_TRUE(m_pFrame->GetDocTemplate().Frames().empty());
    m_pFrame->UpdateCommandUI();
    const std::vector<Menu> after = MenusOf(*m_pFrame);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[1].second, kViewBars128);
}

TEST_F(FrameTest, WithNoDocumentTheFrameAnswersPlayUndoPanesAndTheOverviewBar) {
    OverviewRecorder recorder;
    QToolBar* overview = m_pFrame->Bar(kBarOverview);
    ASSERT_NE(overview, nullptr);
    overview->installEventFilter(&recorder);
    m_pFrame->UpdateCommandUI();

    EXPECT_FALSE(m_pFrame->Action(kPlay)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(kEditUndo)->isEnabled());
    EXPECT_EQ(m_pFrame->Action(kEditUndo)->text(), "&Undo\tCtrl+Z");
    EXPECT_FALSE(m_pFrame->Action(kStop)->isEnabled());
    // Commands with no handler at all are disabled.
    for (unsigned id : {kZoomIn, kSelectAll, kFileSave, kFileClose, kFilePrint, kNextPane}) {
        EXPECT_FALSE(m_pFrame->Action(id)->isEnabled()) << id;
    }
    for (unsigned id : {kFileOpen, kPreferences, kAppExit, kAppAbout, kCursorFollow}) {
        EXPECT_TRUE(m_pFrame->Action(id)->isEnabled()) << id;
    }
    EXPECT_EQ(m_pFrame->Pane(0)->text(), "Ready");
    for (int pane = 1; pane < 4; ++pane) {
        EXPECT_EQ(m_pFrame->Pane(pane)->text(), "    ") << pane;
    }
    ASSERT_EQ(recorder.updates.size(), 1u);
    const OverviewViewInfo& info = recorder.updates[0];
    EXPECT_EQ(info.overviewImage, nullptr);
    EXPECT_EQ(info.selStart + info.selEnd + info.firstVisible + info.lastVisible + info.length +
                  info.force,
              0u);
    EXPECT_EQ(recorder.livePans, std::vector<int>{kNoLivePan});
    EXPECT_FALSE(m_pFrame->ExecuteCommand(kPlay));
}

TEST_F(FrameTest, TheActiveViewAnswersFirstThenItsWindowThenTheApplication) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    TestView* view = ViewOf(*document);
    ASSERT_NE(view, nullptr);
    view->answers[kPlay].enabled = true;
    view->answers[kEditUndo].text = "&Undo Add Point\tCtrl+Z";
    view->answers[kIndicatorFormat].text = "22,050 / 16 bit / mono / WAVE";
    view->answers[kIndicatorDuration].text = "0.05 sec.";
    view->answers[kIndicatorSize].text = "2,000 bytes";
    view->answers[kOverviewUpdate].enabled = true;
    m_pFrame->UpdateCommandUI();

    EXPECT_TRUE(m_pFrame->Action(kPlay)->isEnabled());
    EXPECT_EQ(m_pFrame->Action(kEditUndo)->text(), "&Undo Add Point\tCtrl+Z");
    EXPECT_EQ(m_pFrame->Pane(1)->text(), "22,050 / 16 bit / mono / WAVE");
    EXPECT_EQ(m_pFrame->Pane(2)->text(), "0.05 sec.");
    EXPECT_EQ(m_pFrame->Pane(3)->text(), "2,000 bytes");
    // The overview request names the bar that asked.
    EXPECT_NE(
        std::find(view->requesters.begin(), view->requesters.end(), m_pFrame->Bar(kBarOverview)),
        view->requesters.end());
    // The document's window: Save only while modified, Export only with pan points.
    EXPECT_TRUE(m_pFrame->Action(kFileSaveAs)->isEnabled());
    EXPECT_TRUE(m_pFrame->Action(kFileClose)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(kFileSave)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(kExportStereo)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(kExportBinaural)->isEnabled());
    EXPECT_FALSE(m_pFrame->Action(kExportAdm)->isEnabled());
    document->AddPoint(10, 45);
    document->SetModifiedFlag(true);
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->Action(kFileSave)->isEnabled());
    EXPECT_TRUE(m_pFrame->Action(kExportStereo)->isEnabled());
    EXPECT_TRUE(m_pFrame->Action(kExportBinaural)->isEnabled());
    EXPECT_TRUE(m_pFrame->Action(kExportAdm)->isEnabled());

    // The application: Cursor Follows Playback carries its check mark and toggles.
    EXPECT_TRUE(m_pFrame->Action(kCursorFollow)->isCheckable());
    EXPECT_FALSE(m_pFrame->Action(kCursorFollow)->isChecked());
    EXPECT_TRUE(m_pFrame->ExecuteCommand(kCursorFollow));
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pApp->GetPreferences().bCursorFollow);
    EXPECT_TRUE(m_pFrame->Action(kCursorFollow)->isChecked());
    // Stop only while something plays.
    ASSERT_TRUE(m_pApp->GetPlayback().Play(*document, 0, -1));
    m_pFrame->UpdateCommandUI();
    EXPECT_TRUE(m_pFrame->Action(kStop)->isEnabled());
    EXPECT_TRUE(m_pFrame->ExecuteCommand(kStop));
    EXPECT_FALSE(m_pApp->IsPlaying());

    EXPECT_TRUE(m_pFrame->ExecuteCommand(kPlay));
    EXPECT_EQ(view->runs, std::vector<unsigned>{kPlay});
}

TEST_F(FrameTest, AcceleratorsRunOnlyEnabledCommands) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    TestView* view = ViewOf(*document);
    ASSERT_NE(view, nullptr);
    m_pFrame->show();
    m_pFrame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_pFrame.get()));

    view->answers[kSelectAll].enabled = false;
    m_pFrame->UpdateCommandUI();
    QTest::keyClick(m_pFrame.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(view->runs.empty());
    EXPECT_FALSE(m_pFrame->ExecuteCommand(kSelectAll));
    EXPECT_TRUE(view->runs.empty());

    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        unsigned id;
    } keys[] = {
        {Qt::Key_A, Qt::ControlModifier, kSelectAll},
        {Qt::Key_Insert, Qt::ControlModifier, kEditCopy},
        {Qt::Key_Insert, Qt::ShiftModifier, kPaste},
        {Qt::Key_Delete, Qt::ShiftModifier, kEditCut},
        {Qt::Key_Backspace, Qt::ControlModifier, kEditCut},
        {Qt::Key_Backspace, Qt::AltModifier, kEditUndo},
        {Qt::Key_Right, Qt::ControlModifier, kZoomIn},
        {Qt::Key_Left, Qt::ControlModifier, kZoomOut},
        {Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier, kZoomSelection},
        {Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, kShowAll},
    };
    for (const auto& key : keys) {
        view->answers[key.id].enabled = true;
    }
    m_pFrame->UpdateCommandUI();
    for (const auto& key : keys) {
        view->runs.clear();
        QTest::keyClick(m_pFrame.get(), key.key, key.modifiers);
        EXPECT_EQ(view->runs, std::vector<unsigned>{key.id}) << key.id;
    }
}

TEST_F(FrameTest, ToolBarsCarryTheirButtonsTipsAndPlaces) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    const struct {
        unsigned id;
        const char* title;
        std::vector<unsigned> buttons;
    } bars[] = {
        {kBarBasic,
         "Basic",
         {kFileOpen, kFileSave, 0, kEditPan, kEditSelect, kDeleteInRange, kZoomIn, kZoomOut,
          kShowAll, kZoomSelection, 0, kContextHelp}},
        {kBarTransport,
         "Transport",
         {kStop, kPlay, kLoopPlayback, kRecordTrajectory, kRecordTouch, kRecordLatch,
          kRecordWrite}},
        {kBarInfo, "Info.", {kAppAbout}},
    };
    for (const auto& expected : bars) {
        QToolBar* bar = m_pFrame->Bar(expected.id);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->windowTitle(), expected.title);
        EXPECT_TRUE(bar->isMovable());
        EXPECT_EQ(bar->allowedAreas(), Qt::AllToolBarAreas);
        EXPECT_EQ(m_pFrame->toolBarArea(bar), Qt::TopToolBarArea);
        std::vector<unsigned> ids;
        for (QAction* action : bar->actions()) {
            ids.push_back(action->isSeparator() ? 0 : action->data().toUInt());
            if (action->isSeparator()) {
                continue;
            }
            const CommandInfo* info = CommandTable::Find(action->data().toUInt());
            ASSERT_NE(info, nullptr);
            EXPECT_FALSE(action->icon().isNull());
            EXPECT_EQ(action->toolTip(), info->ToolTipWithKey());
            EXPECT_TRUE(action->toolTip().startsWith(info->ToolTip()));
            EXPECT_EQ(action->statusTip(), info->FlyBy());
            EXPECT_FALSE(action->toolTip().isEmpty());
        }
        EXPECT_EQ(ids, expected.buttons) << expected.title;
    }
    // The tip names the key in the style every menu shows.
    EXPECT_EQ(m_pFrame->Action(kZoomIn)->toolTip(), "Zoom In (Ctrl+Right)");
    EXPECT_EQ(m_pFrame->Action(kExportStereo)->toolTip(), "Make Ambrel File");
    EXPECT_EQ(m_pFrame->Action(kZoomIn)->statusTip(), "Zoom in to waveform");

    // "Transport" right of "Basic" and "Info." right of "Transport", on one row.
    QToolBar* basic = m_pFrame->Bar(kBarBasic);
    QToolBar* transport = m_pFrame->Bar(kBarTransport);
    QToolBar* info = m_pFrame->Bar(kBarInfo);
    EXPECT_EQ(transport->y(), basic->y());
    EXPECT_EQ(info->y(), basic->y());
    EXPECT_GE(transport->x(), basic->geometry().right());
    EXPECT_GE(info->x(), transport->geometry().right());
    // The info button is the wide picture.
    auto* picture = qobject_cast<QToolButton*>(info->widgetForAction(m_pFrame->Action(kAppAbout)));
    ASSERT_NE(picture, nullptr);
    EXPECT_GT(picture->iconSize().width(), 4 * picture->iconSize().height());

    QToolBar* overview = m_pFrame->Bar(kBarOverview);
    EXPECT_EQ(m_pFrame->toolBarArea(overview), Qt::BottomToolBarArea);
    EXPECT_FALSE(overview->isMovable());

    // Fly-by help of a button goes to the status bar.
    m_pFrame->Action(kZoomIn)->showStatusText(m_pFrame.get());
    EXPECT_EQ(m_pFrame->statusBar()->currentMessage(), "Zoom in to waveform");
}

TEST_F(FrameTest, CommandsCarryTheirStatusTextsAndToolTips) {
    const struct {
        unsigned id;
        const char* statusText;
        const char* toolTip;
    } prompts[] = {
        {kExportStereo, "Create & Save Ambrel processed stereo sound file", "Make Ambrel File"},
        {kExportBinaural,
         "Create & Save a binaural file for headphones, mixed with HRTF as playback is",
         "Make Binaural File"},
        {kExportAdm,
         "Create & Save an ADM broadcast WAV file: the sound as it is, its trajectory as objects",
         "Make ADM File"},
        {kZoomIn, "Zoom in to waveform", "Zoom In"},
        {kZoomOut, "Zoom out of waveform", "Zoom Out"},
        {kShowAll, "Zoom out to full waveform", "Show All"},
        {kZoomSelection, "Zoom in to current selection region", "Zoom Selection"},
        {kEditPan, "Edit Mode: Pan Point Edit", "Edit Pan"},
        {kEditSelect, "Edit Mode: Selection Caret", "Selection Caret"},
        {kDeleteInRange, "Delete pan points in current selection region", "Delete In Range"},
        {kEditCut, "Cut the selection and put it on the Clipboard", "Cut"},
        {kEditCopy, "Copy the selection and put it on the Clipboard", "Copy"},
        {kPaste, "Insert Clipboard contents", "Paste"},
        {kSelectAll, "Expand selection region to include entire waveform", "Select All"},
        {kEditUndo, "Undo the last action", "Undo"},
    };
    for (const auto& expected : prompts) {
        QAction* action = m_pFrame->Action(expected.id);
        ASSERT_NE(action, nullptr) << expected.id;
        EXPECT_EQ(action->statusTip(), expected.statusText) << expected.id;
        const CommandInfo* info = CommandTable::Find(expected.id);
        ASSERT_NE(info, nullptr) << expected.id;
        EXPECT_EQ(info->ToolTip(), expected.toolTip) << expected.id;
        EXPECT_EQ(action->toolTip(), info->ToolTipWithKey()) << expected.id;
    }
    // Every command has a status text for the status bar.
    for (const CommandInfo& info : CommandTable::All()) {
        EXPECT_FALSE(m_pFrame->Action(info.id)->statusTip().isEmpty()) << info.id;
    }
}

TEST_F(FrameTest, StatusBarHasTheStretchingPaneThenFormatDurationAndSize) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    EXPECT_EQ(m_pFrame->Pane(1)->width(), 160);
    EXPECT_EQ(m_pFrame->Pane(2)->width(), 70);
    EXPECT_EQ(m_pFrame->Pane(3)->width(), 90);
    EXPECT_EQ(m_pFrame->Pane(1)->property("commandId").toUInt(), kIndicatorFormat);
    EXPECT_EQ(m_pFrame->Pane(2)->property("commandId").toUInt(), kIndicatorDuration);
    EXPECT_EQ(m_pFrame->Pane(3)->property("commandId").toUInt(), kIndicatorSize);
    // Left to right in that order, the message pane taking what is left.
    EXPECT_LT(m_pFrame->Pane(0)->x(), m_pFrame->Pane(1)->x());
    EXPECT_LT(m_pFrame->Pane(1)->x(), m_pFrame->Pane(2)->x());
    EXPECT_LT(m_pFrame->Pane(2)->x(), m_pFrame->Pane(3)->x());
    EXPECT_GT(m_pFrame->Pane(0)->width(), 300);
}

// Where a pane's text starts inside its frame: QLabel's indent, or with none set half an "x".
int TextIndent(const QLabel& label) {
    if (label.indent() >= 0) {
        return label.indent();
    }
    return label.frameWidth() > 0 ? label.fontMetrics().horizontalAdvance('x') / 2 : 0;
}

// The width a pane needs to show text whole.
int NeededWidth(const QLabel& label, const QString& text) {
    return label.fontMetrics().horizontalAdvance(text) + 2 * label.frameWidth() + TextIndent(label);
}

TEST_F(FrameTest, StatusPanesKeepTheirWidthsUnlessATextWouldBeCutOff) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    TestView* view = ViewOf(*document);
    ASSERT_NE(view, nullptr);
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    const unsigned ids[] = {kIndicatorFormat, kIndicatorDuration, kIndicatorSize};
    const int classic[] = {160, 70, 90};
    const auto show = [&](int pane, const QString& text) {
        view->answers[ids[pane - 1]].text = text.toStdString();
        m_pFrame->UpdateCommandUI();
        IdleFor(20);
    };

    // In a small and a large current font.
    for (const int pointSize : {8, 14}) {
        QFont font = m_pFrame->font();
        font.setPointSize(pointSize);
        m_pFrame->setFont(font);
        for (int pane = 1; pane < 4; ++pane) {
            QLabel* label = m_pFrame->Pane(pane);
            const int width = classic[pane - 1];
            // The longest text that fits, to a pixel or two: the classic width.
            QString text;
            for (const char* more : {"0", "1", ".", "'"}) {
                while (NeededWidth(*label, text + more) <= width) {
                    text += more;
                }
            }
            show(pane, text);
            EXPECT_EQ(label->width(), width) << pane << " " << text.toStdString();
            // Any more would be cut off: the pane widens just enough to show it whole.
            for (const QString& longer : {text + "0", text + "000"}) {
                show(pane, longer);
                EXPECT_EQ(label->width(), NeededWidth(*label, longer))
                    << pane << " " << longer.toStdString();
            }
            // A short text: the classic width again.
            show(pane, "    ");
            EXPECT_EQ(label->width(), width) << pane;
        }
    }
}

TEST_F(FrameTest, BarTogglesHideAndShowTheirBarsWithACheckMark) {
    const unsigned toggles[] = {kBarBasic, kBarTransport, kBarInfo, kBarOverview, kBarStatus};
    for (unsigned id : toggles) {
        m_pFrame->UpdateCommandUI();
        EXPECT_TRUE(m_pFrame->Action(id)->isChecked()) << id;
        ASSERT_TRUE(m_pFrame->ExecuteCommand(id));
        m_pFrame->UpdateCommandUI();
        EXPECT_FALSE(m_pFrame->Action(id)->isChecked()) << id;
    }
    EXPECT_TRUE(m_pFrame->Bar(kBarTransport)->isHidden());
    EXPECT_TRUE(m_pFrame->statusBar()->isHidden());
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kBarTransport));
    EXPECT_FALSE(m_pFrame->Bar(kBarTransport)->isHidden());
}

TEST_F(FrameTest, BarStateSurvivesARestart) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kBarTransport));
    ASSERT_TRUE(m_pFrame->ExecuteCommand(kBarStatus));
    // The info bar moves to the left side.
    m_pFrame->addToolBar(Qt::LeftToolBarArea, m_pFrame->Bar(kBarInfo));
    ASSERT_TRUE(m_pFrame->close());
    DestroyFrame();

    MakeFrame();
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    EXPECT_TRUE(m_pFrame->Bar(kBarTransport)->isHidden());
    EXPECT_TRUE(m_pFrame->statusBar()->isHidden());
    EXPECT_FALSE(m_pFrame->Bar(kBarBasic)->isHidden());
    EXPECT_EQ(m_pFrame->toolBarArea(m_pFrame->Bar(kBarInfo)), Qt::LeftToolBarArea);
}

TEST_F(FrameTest, TheOverviewKeepsARowOfItsOwnWhateverIsDockedBesideIt) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    QToolBar* overview = m_pFrame->Bar(kBarOverview);
    QToolBar* transport = m_pFrame->Bar(kBarTransport);
    EXPECT_EQ(overview->sizeHint(), QSize(32767, 105));

    // What a drop on the overview's row leaves: the bar before it, then after it, in its row.
    m_pFrame->insertToolBar(overview, transport);
    IdleFor(50);
    ExpectOverviewRowOfItsOwn(*m_pFrame);
    EXPECT_EQ(m_pFrame->toolBarArea(transport), Qt::BottomToolBarArea);
    m_pFrame->addToolBar(Qt::BottomToolBarArea, transport);
    m_pFrame->addToolBar(Qt::TopToolBarArea, transport);
    m_pFrame->insertToolBarBreak(overview);
    m_pFrame->addToolBar(Qt::BottomToolBarArea, transport);
    IdleFor(50);
    ExpectOverviewRowOfItsOwn(*m_pFrame);

    // A bar hidden on its row takes it when shown.
    m_pFrame->Bar(kBarInfo)->hide();
    m_pFrame->insertToolBar(overview, m_pFrame->Bar(kBarInfo));
    IdleFor(50);
    m_pFrame->Bar(kBarInfo)->show();
    IdleFor(50);
    EXPECT_EQ(overview->width(), m_pFrame->width());
}

TEST_F(FrameTest, ABarStateWithABarOnTheOverviewsRowRestoresToARowOfItsOwn) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    // Saved before any idle pass could move it: the transport bar shares the overview's row.
    m_pFrame->insertToolBar(m_pFrame->Bar(kBarOverview), m_pFrame->Bar(kBarTransport));
    ASSERT_TRUE(m_pFrame->close());
    DestroyFrame();

    MakeFrame();
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    IdleFor(50);
    ExpectOverviewRowOfItsOwn(*m_pFrame);
    EXPECT_EQ(m_pFrame->toolBarArea(m_pFrame->Bar(kBarTransport)), Qt::BottomToolBarArea);
}

TEST_F(FrameTest, BackgroundIsTheTileInTheButtonColoursRedrawnOnAPaletteChange) {
    CMainFrameClient& client = m_pFrame->GetClient();
    const QImage tile = client.background().textureImage();
    ASSERT_EQ(tile.size(), QSize(64, 52));
    EXPECT_EQ(tile.pixelColor(0, 0), client.palette().color(QPalette::Button));

    QPalette palette = client.palette();
    palette.setColor(QPalette::Button, QColor(200, 40, 40));
    palette.setColor(QPalette::Dark, QColor(10, 80, 10));
    client.setPalette(palette);
    const QImage recoloured = client.background().textureImage();
    ASSERT_EQ(recoloured.size(), QSize(64, 52));
    EXPECT_EQ(recoloured.pixelColor(0, 0), QColor(200, 40, 40));
    // The engraving is drawn in the new shadow colour.
    bool bDarkSeen = false;
    for (int y = 0; y < recoloured.height(); ++y) {
        for (int x = 0; x < recoloured.width(); ++x) {
            bDarkSeen = bDarkSeen || recoloured.pixelColor(x, y) == QColor(10, 80, 10);
        }
    }
    EXPECT_TRUE(bDarkSeen);
}

TEST_F(FrameTest, DeactivationStopsPlaybackAndClosesTheSessionActivationDoesNot) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    // Neither start-up nor opening a document opens a session; the first Play does.
    EXPECT_EQ(m_pApp->GetMixerSession(), 0u);
    m_pApp->OpenMixerSession(22050);
    ASSERT_NE(m_pApp->GetMixerSession(), 0u);
    ASSERT_TRUE(m_pApp->GetPlayback().Play(*document, 0, -1));

    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_NE(m_pApp->GetMixerSession(), 0u);
    EXPECT_TRUE(m_pApp->IsPlaying());

    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(m_pApp->GetMixerSession(), 0u);
    EXPECT_FALSE(m_pApp->IsPlaying());
}

TEST_F(FrameTest, PlaybackStartingShowsTheHrtfStateInTheStatusBar) {
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    Preferences prefs = m_pApp->GetPreferences();
    prefs.output.hrtfMode = OutputPreferences::kHrtfOff;
    m_pApp->SetPreferences(prefs);
    m_pApp->OpenMixerSession(22050);
    ASSERT_NE(m_pApp->GetMixerSession(), 0u);
    EXPECT_EQ(m_pFrame->statusBar()->currentMessage(), "");
    ASSERT_TRUE(m_pApp->GetPlayback().Play(*document, 0, -1));
    EXPECT_EQ(m_pFrame->statusBar()->currentMessage(), "HRTF off: speakers");
    m_pApp->GetPlayback().Stop();
}

TEST_F(FrameTest, IdleRefreshRunsAfterWorkAndNotWhileNothingHappens) {
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    IdleFor(200);
    const int settled = m_pFrame->GetIdleUpdater().PassCount();
    EXPECT_GT(settled, 0);
    // Only the timer that ends each wait wakes the loop: at most one pass per wait.
    IdleFor(300);
    IdleFor(300);
    EXPECT_LE(m_pFrame->GetIdleUpdater().PassCount(), settled + 2);

    // A change made by work shows after the next idle pass without anyone asking for it.
    CTesselDoc* document = m_pFrame->GetDocTemplate().OpenDocumentFile(WriteSound("a.wav"));
    ASSERT_NE(document, nullptr);
    ViewOf(*document)->answers[kPlay].enabled = true;
    QTimer::singleShot(0, [] {});
    IdleFor(50);
    EXPECT_TRUE(m_pFrame->Action(kPlay)->isEnabled());
}

// A line cut short in the bar, or gone from it, is read whole in the window a click on the
// message area opens, newest first; a fly-by text of a menu is not kept there.
TEST_F(FrameTest, AClickOnTheMessageAreaShowsTheReportedLinesWhole) {
    m_pFrame->resize(520, 300);
    m_pFrame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_pFrame.get()));
    QStatusBar* bar = m_pFrame->statusBar();
    const QPoint area(12, bar->height() / 2);
    QTest::mouseClick(bar, Qt::LeftButton, {}, area);
    EXPECT_EQ(m_pFrame->findChild<QDialog*>("messagesWindow"), nullptr);  // nothing yet

    const std::string older =
        "A damaged recovery journal was set aside as "
        "/home/someone/.local/state/sonomap/recovery/take.journal.set-aside-1.";
    const std::string newer =
        "A stereo file cannot hold behind or above: the trajectory is folded "
        "onto the front, with its distance as loudness.";
    m_pApp->Prompts().ShowStatus(older);
    m_pApp->Prompts().ShowStatus(newer);
    bar->showMessage("Zoom in to waveform");  // a fly-by text
    QTest::mouseClick(bar, Qt::LeftButton, {}, area);
    auto* window = m_pFrame->findChild<QDialog*>("messagesWindow");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    const QStringList lines = window->findChild<QPlainTextEdit*>()->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QString::fromStdString(newer))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QString::fromStdString(older))) << lines[1].toStdString();
    window->close();
}
