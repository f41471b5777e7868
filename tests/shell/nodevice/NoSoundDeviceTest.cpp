// The whole editor on a machine with no sound output (OpenAL Soft given no back end it has):
// Play, from its tool button or Space, says so in a box titled and explained in plain words
// under the mixer's own text, repaints the button it came from, and leaves nothing playing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTest>
#include <QToolButton>

#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/QtSettingsStore.h"
#include "playback/QtUserPrompts.h"
#include "shell/CMainFrame.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/ModalDialog.h"
#include "support/OpenAlBackEnd.h"
#include "support/TempDir.h"
#include "views/CWaveScrollView.h"

namespace {

// Counts the paints a widget gets after a mouse button was released on it.
class PaintCounter : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            m_paints = 0;
        } else if (event->type() == QEvent::Paint) {
            ++m_paints;
        }
        return false;
    }
    int m_paints = 0;
};

}  // namespace

TEST(NoSoundDevice, PlaySaysWhyInPlainWordsAndLeavesNoButtonHeld) {
    // Before anything opens OpenAL in this process, which fixes the back end for good.
    OpenAlBackEnd::Choose(OpenAlBackEnd::kNoDevice);
    QSettings("Ambrel", "Sonomap").clear();
    QtUserPrompts prompts;
    QtSettingsStore settings;
    CEditorApp app(prompts, settings);
    app.LoadPreferences();
    auto frame = std::make_unique<CMainFrame>(
        app, settings,
        [&app](CTesselDoc& doc, QWidget* parent) { return new CWaveScrollView(doc, app, parent); });
    frame->resize(1000, 700);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    TempDir dir;
    TestSound sound = FirstChannelNoise(1, 22050, 22050, 3000, 3);
    WriteBytes(dir.File("take.wav"), BuildSoundFile(sound));
    frame->OpenFiles({QString::fromStdString(dir.File("take.wav"))});
    QCoreApplication::processEvents();

    QToolButton* play = nullptr;
    for (QToolButton* button : frame->findChildren<QToolButton*>()) {
        if (button->defaultAction() == frame->Action(CommandId::kPlay)) {
            play = button;
        }
    }
    ASSERT_NE(play, nullptr);
    PaintCounter paints;
    play->installEventFilter(&paints);

    // Each way of pressing Play, twice: every press says it again.
    const struct {
        const char* how;
        std::function<void()> press;
    } presses[] = {
        {"the tool button", [&] { QTest::mouseClick(play, Qt::LeftButton); }},
        {"the tool button again", [&] { QTest::mouseClick(play, Qt::LeftButton); }},
        {"Space", [&] { QTest::keyClick(frame->findChild<CWaveScrollView*>(), Qt::Key_Space); }},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.how);
        QString title;
        QString text;
        QString informative;
        bool bRepainted = false;
        bool bDown = true;
        ModalDialog::When<QMessageBox>([&](QMessageBox& box) {
            title = box.windowTitle();
            text = box.text();
            informative = box.informativeText();
            QCoreApplication::processEvents();
            bRepainted = paints.m_paints > 0;
            bDown = play->isDown();
            box.accept();
        });
        frame->UpdateCommandUI();
        p.press();
        EXPECT_EQ(text.toStdString(), CEditorApp::FormatMixerError(AMBREL_WAVEMIX_ERR_NO_DEVICE));
        EXPECT_EQ(title, "Sonomap cannot play: no sound output");
        EXPECT_TRUE(informative.contains("No sound card or sound server"))
            << informative.toStdString();
        EXPECT_FALSE(bDown);
        if (QString(p.how).startsWith("the tool button")) {
            // The button shows its release while the box is up, not the press.
            EXPECT_TRUE(bRepainted);
        }
        EXPECT_FALSE(app.IsPlaying());
        EXPECT_EQ(app.GetMixerSession(), 0u);
        frame->UpdateCommandUI();
        EXPECT_TRUE(frame->Action(CommandId::kPlay)->isEnabled());
    }
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.ExitInstance();
}
