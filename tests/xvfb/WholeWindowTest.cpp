// The editor's main window on a real X server: while a sound plays, the blue playhead and
// the overview's inverted line really reach the screen, move, and leave it clean when
// playback stops. Read back from the X server's own framebuffer, so the one-column
// repaints are checked as the user sees them, not as the widget's backing store holds them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/QtSettingsStore.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CMainFrameClient.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/GuiTestEnvironment.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "views/COverviewToolBar.h"
#include "views/CWaveScrollView.h"

namespace {

const QRgb kBlue = qRgb(0, 0, 255);

// The GUI set-up on the X server that xvfb-run starts, not on the offscreen platform.
class XServerEnvironment : public GuiTestEnvironment {
  public:
    XServerEnvironment() : GuiTestEnvironment("xcb") {}
    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run this under xvfb-run";
        GuiTestEnvironment::SetUp();
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new XServerEnvironment);

// Runs the event loop as the editor does, idle refreshes and all, for ms milliseconds.
void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the X server shows of widget right now.
QImage Screen(QWidget& widget) {
    const QPoint origin = widget.mapToGlobal(QPoint(0, 0));
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, origin.x(), origin.y(), widget.width(), widget.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The columns of image that are blue from top to bottom.
std::vector<int> BlueColumns(const QImage& image) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        bool bBlue = true;
        for (int y = 0; y < image.height() && bBlue; ++y) {
            bBlue = image.pixel(x, y) == kBlue;
        }
        if (bBlue) {
            columns.push_back(x);
        }
    }
    return columns;
}

// The columns of image whose pixels over rows band are those of reference inverted.
std::vector<int> InvertedColumns(const QImage& image, const QImage& reference, const QRect& band) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        bool bInverted = true;
        for (int y = band.top(); y <= band.bottom() && bInverted; ++y) {
            bInverted = image.pixel(x, y) == (reference.pixel(x, y) ^ 0x00FFFFFFu);
        }
        if (bInverted) {
            columns.push_back(x);
        }
    }
    return columns;
}

}  // namespace

TEST(WholeWindow, ThePlayheadAndTheOverviewLineReachTheScreenAndLeaveItClean) {
    QSettings("Ambrel", "Sonomap").clear();
    TempDir dir;
    ScriptedPrompts prompts;
    QtSettingsStore settings;
    CEditorApp app(prompts, settings);
    auto frame =
        std::make_unique<CMainFrame>(app, settings, [&app](CTesselDoc& document, QWidget* parent) {
            return new CWaveScrollView(document, app, parent);
        });
    frame->resize(1000, 700);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));

    TestSound sound;
    sound.format = MakeFormat(1, 22050, 16);
    sound.samples = Pattern(size_t{22050} * 2 * 2);  // two seconds
    sound.points = {{0, -90}, {44099, 90}};
    sound.chunkFrames = 44100;
    const std::string path = dir.File("take.wav");
    WriteBytes(path, BuildSoundFile(sound));
    ASSERT_TRUE(frame->OpenFiles({QString::fromStdString(path)}));
    auto* child = dynamic_cast<CChildFrame*>(frame->GetClient().activeSubWindow());
    ASSERT_NE(child, nullptr);
    auto* view = dynamic_cast<CWaveScrollView*>(child->GetView());
    ASSERT_NE(view, nullptr);
    auto* bar = dynamic_cast<COverviewToolBar*>(frame->Bar(CommandId::kBarOverview));
    // The caret first: the pan display marks the place at the caret while nothing plays.
    view->SetSelection(2205, 2206);
    RunFor(200);
    QWidget& area = *view->viewport();
    ASSERT_TRUE(BlueColumns(Screen(area)).empty());
    const QImage silentBar = Screen(*bar);

    ASSERT_TRUE(frame->ExecuteCommand(CommandId::kPlay));
    ASSERT_TRUE(app.IsPlaying());
    std::vector<int> seen;
    for (int sample = 0; sample < 6 && app.IsPlaying(); ++sample) {
        RunFor(150);
        const std::optional<int> x = view->Playback().PlayheadX();
        if (!x || !app.IsPlaying()) {
            continue;
        }
        // Exactly one blue column on the screen, across the view's whole height. The screen
        // may trail the view by a repaint: at most two ticks of 33 ms (about 12 columns each
        // here) behind where the view will draw next.
        const std::vector<int> columns = BlueColumns(Screen(area));
        const std::optional<int> after = view->Playback().PlayheadX();
        ASSERT_EQ(columns.size(), 1u) << "sample " << sample;
        ASSERT_TRUE(after.has_value());
        EXPECT_LE(columns.front(), *after + 1) << "sample " << sample;
        EXPECT_GE(columns.front(), *x - 26) << "sample " << sample;
        seen.push_back(columns.front());
        // The overview bar's line: one column inverted over its image area.
        const QRect line = bar->PlayLineRect(bar->GetPlayPosition());
        ASSERT_FALSE(line.isEmpty());
        const std::vector<int> inverted = InvertedColumns(Screen(*bar), silentBar, line);
        ASSERT_EQ(inverted.size(), 1u) << "sample " << sample;
        // As with the view, the screen may be a repaint or two behind (about 15 columns a
        // tick on this bar).
        EXPECT_LE(inverted.front(), line.x() + 1) << "sample " << sample;
        EXPECT_GE(inverted.front(), line.x() - 32) << "sample " << sample;
    }
    ASSERT_GE(seen.size(), 3u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GT(seen.back(), seen.front());
    // The status bar says the same.
    EXPECT_TRUE(frame->ReadoutPane(2)->text().startsWith("Play 0:0"));

    ASSERT_TRUE(frame->ExecuteCommand(CommandId::kStop));
    RunFor(150);
    EXPECT_TRUE(BlueColumns(Screen(area)).empty());
    EXPECT_EQ(Screen(*bar), silentBar);
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.ExitInstance();
}
