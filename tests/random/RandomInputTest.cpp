// The whole editor under seeded random input: clicks, drags, the wheel and keys on whatever is
// in front (the main window, its menus, the dialogs they open), for SONOMAP_RANDOM_SECONDS
// (60 by default). It must end without a crash, a hang or a sanitizer report, and the file
// it edited must still open. The seed is printed; SONOMAP_RANDOM_SEED repeats a run.
#include <gtest/gtest.h>

#include <execinfo.h>
#include <unistd.h>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/QtSettingsStore.h"
#include "playback/QtUserPrompts.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrame.h"
#include "shell/CPointPropertiesDialog.h"
#include "shell/PasteOptionsDialogs.h"
#include "support/DocumentTestFiles.h"
#include "support/ModalDialog.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "views/CWaveScrollView.h"

namespace {

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// The keys a user reaches for, with and without their modifiers.
const int kKeys[] = {
    Qt::Key_Left,   Qt::Key_Right,     Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Home,   Qt::Key_End,
    Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_Space,  Qt::Key_Return, Qt::Key_Escape, Qt::Key_Tab,
    Qt::Key_PageUp, Qt::Key_PageDown,  Qt::Key_Insert, Qt::Key_Plus,   Qt::Key_Minus,  Qt::Key_0,
    Qt::Key_5,      Qt::Key_9,         Qt::Key_A,      Qt::Key_C,      Qt::Key_P,      Qt::Key_V,
    Qt::Key_X,      Qt::Key_Y,         Qt::Key_Z,      Qt::Key_Period, Qt::Key_F1,     Qt::Key_F4,
    Qt::Key_Control};
const Qt::KeyboardModifiers kModifiers[] = {Qt::NoModifier,
                                            Qt::NoModifier,
                                            Qt::ShiftModifier,
                                            Qt::ControlModifier,
                                            Qt::ControlModifier | Qt::ShiftModifier,
                                            Qt::AltModifier};

class RandomInput {
  public:
    RandomInput(uint64_t seed, CMainFrame& frame) : m_random(seed), m_frame(frame) {}

    // One user action on whatever is in front; returns the events it sent.
    int Step() {
        QWidget* target = Front();
        if (target == nullptr) {
            return 0;
        }
        // Dialogs and menus stay a bounded number of actions, so the run moves on.
        if (target != &m_frame) {
            if (++m_frontActions[target] > kActionsInFront || IsFileDialog(target)) {
                m_frontActions.erase(target);
                Close(target);
                return 1;
            }
        }
        QWidget* at = Under(target);
        const QPoint p = RandomPoint(at);
        switch (Pick(10)) {
            case 0:
            case 1:
            case 2:
                QTest::mouseClick(at, Pick(5) == 0 ? Qt::RightButton : Qt::LeftButton, Modifier(),
                                  p);
                return 2;
            case 3:
                QTest::mouseDClick(at, Qt::LeftButton, Modifier(), p);
                return 4;
            case 4:
            case 5:
                return Drag(at, p);
            case 6: {
                const QPoint delta(0, (Pick(2) == 0 ? -120 : 120) * (1 + Pick(3)));
                QWheelEvent wheel(QPointF(p), at->mapToGlobal(QPointF(p)), QPoint(), delta,
                                  Qt::NoButton, Modifier(), Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(at, &wheel);
                return 1;
            }
            default: {
                QWidget* focus = QApplication::focusWidget() != nullptr &&
                                         target->isAncestorOf(QApplication::focusWidget())
                                     ? QApplication::focusWidget()
                                     : at;
                QTest::keyClick(focus, static_cast<Qt::Key>(kKeys[Pick(std::size(kKeys))]),
                                Modifier());
                return 2;
            }
        }
    }

  private:
    static constexpr int kActionsInFront = 12;

    int Pick(size_t n) { return static_cast<int>(m_random() % n); }
    Qt::KeyboardModifiers Modifier() { return kModifiers[Pick(std::size(kModifiers))]; }

    QWidget* Front() {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            return popup;
        }
        if (QWidget* modal = QApplication::activeModalWidget()) {
            return modal;
        }
        return m_frame.isVisible() ? &m_frame : nullptr;
    }
    static bool IsFileDialog(QWidget* widget) {
        // A file dialog could write anywhere the random keys lead it: closed at once.
        return qobject_cast<QFileDialog*>(widget) != nullptr;
    }
    static void Close(QWidget* widget) {
        if (auto* dialog = qobject_cast<QDialog*>(widget)) {
            dialog->reject();
        } else {
            widget->close();
        }
    }
    // A visible child, weighted towards the larger ones, or the target itself.
    QWidget* Under(QWidget* target) {
        const QList<QWidget*> children = target->findChildren<QWidget*>();
        for (int tries = 0; tries < 4 && !children.isEmpty(); ++tries) {
            QWidget* child = children[Pick(children.size())];
            if (child->isVisible() && child->width() > 2 && child->height() > 2 &&
                child->window() == target->window()) {
                return child;
            }
        }
        return target;
    }
    QPoint RandomPoint(QWidget* widget) {
        return QPoint(Pick(std::max(1, widget->width())), Pick(std::max(1, widget->height())));
    }
    int Drag(QWidget* at, QPoint from) {
        QPointer<QWidget> alive(at);
        const Qt::KeyboardModifiers modifiers = Modifier();
        QTest::mousePress(at, Qt::LeftButton, modifiers, from);
        int events = 1;
        QPoint p = from;
        for (int i = 0; i < 1 + Pick(6) && alive; ++i) {
            p += QPoint(Pick(81) - 40, Pick(41) - 20);
            QMouseEvent move(QEvent::MouseMove, QPointF(p), at->mapToGlobal(QPointF(p)),
                             Qt::NoButton, Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(at, &move);
            ++events;
        }
        if (alive) {
            QTest::mouseRelease(at, Qt::LeftButton, modifiers, p);
            ++events;
        }
        return events;
    }

    std::mt19937_64 m_random;
    CMainFrame& m_frame;
    std::map<QWidget*, int> m_frontActions;
};

// A crash in a plain build names where it happened before the process goes, since a seed alone
// seldom repeats a run's timing. Under ASan its own report is better.
void PrintStackOnCrash() {
#if defined(__SANITIZE_ADDRESS__)
    return;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return;
#endif
#endif
    for (const int sig : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGABRT}) {
        std::signal(sig, [](int caught) {
            void* frames[64];
            const int count = ::backtrace(frames, 64);
            const char line[] = "random input: crashed; the stack:\n";
            [[maybe_unused]] const ssize_t written = ::write(2, line, sizeof line - 1);
            ::backtrace_symbols_fd(frames, count, 2);
            std::signal(caught, SIG_DFL);
            std::raise(caught);
        });
    }
}

}  // namespace

TEST(RandomInput, TheEditorSurvivesSeededRandomInputAndItsFileStillOpens) {
    const uint64_t seed = EnvNumber(
        "SONOMAP_RANDOM_SEED",
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    const uint64_t seconds = EnvNumber("SONOMAP_RANDOM_SECONDS", 60);
    std::printf("random input: seed %llu, %llu s (SONOMAP_RANDOM_SEED=%llu repeats it)\n",
                static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seconds),
                static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    PrintStackOnCrash();
    ::setenv("ALSOFT_DRIVERS", "null", 1);

    TempDir dir;
    QSettings("Ambrel", "Sonomap").clear();
    QtSettingsStore settings;
    // Every file dialog starts in the test's folder.
    for (const char* key : {"SavePath", "OpenPath", "ExportPath"}) {
        settings.SetString("Preferences", key, dir.Path().string() + "/");
    }
    QtUserPrompts prompts;
    CEditorApp app(prompts, settings);
    app.LoadPreferences();
    app.SelectOutputBackEnd(false);
    auto frame =
        std::make_unique<CMainFrame>(app, settings, [&app](CTesselDoc& document, QWidget* parent) {
            return new CWaveScrollView(document, app, parent);
        });
    InstallPasteOptionsDialogs(app, frame.get());
    CPointPropertiesDialog::Install(app, frame.get());
    // Exit would end the run itself: its item and key go.
    QAction* exit = frame->Action(CommandId::kAppExit);
    exit->setShortcuts({});
    for (QObject* owner : exit->associatedObjects()) {
        if (auto* widget = qobject_cast<QWidget*>(owner)) {
            widget->removeAction(exit);
        }
    }
    frame->resize(900, 600);
    frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));

    TestSound sound;
    sound.format = MakeFormat(1, 22050, 16);
    sound.samples = Pattern(size_t{22050} * 2 * 3);
    sound.points = {{2000, -60}, {30000, 0}, {60000, 45}};
    sound.chunkFrames = 66150;
    const std::string path = dir.File("take.wav");
    WriteBytes(path, BuildSoundFile(sound));

    RandomInput input(seed, *frame);
    uint64_t events = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer driver;
    driver.setInterval(1);
    bool bStopping = false;
    QEventLoop loop;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (bStopping) {
            // Out of every nested dialog and menu first: their loops run inside this one.
            if (QWidget* popup = QApplication::activePopupWidget()) {
                popup->close();
            } else if (QApplication::activeModalWidget() != nullptr) {
                ModalDialog::CloseAllModal();
            } else {
                driver.stop();
                loop.quit();
            }
            return;
        }
        if (QApplication::activeModalWidget() == nullptr &&
            QApplication::activePopupWidget() == nullptr &&
            frame->GetDocTemplate().Frames().empty()) {
            frame->OpenFiles({QString::fromStdString(path)});
        }
        // From the event queue, not this slot: an action that opens a dialog runs its loop,
        // where this timer must fire again, and a timer never fires inside its own slot.
        QTimer::singleShot(0, &loop,
                           [&] { events += static_cast<uint64_t>(bStopping ? 0 : input.Step()); });
    });
    QTimer::singleShot(std::chrono::seconds(seconds), &loop, [&] { bStopping = true; });
    driver.start();
    loop.exec();
    std::printf("random input: %llu events in %.1f s\n", static_cast<unsigned long long>(events),
                clock.elapsed() / 1000.0);
    EXPECT_GT(events, seconds * 10);

    // Whatever the document became, it saves and opens again.
    app.GetPlayback().Stop();
    if (!frame->GetDocTemplate().Frames().empty()) {
        CTesselDoc& doc = frame->GetDocTemplate().Frames().front()->GetDocument();
        if (!doc.GetPathName().empty()) {
            EXPECT_TRUE(DocumentSave(doc).WriteTo(doc.GetPathName()));
        }
    }
    frame->GetDocTemplate().CloseAllDocuments();
    frame.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    app.ExitInstance();

    TestDocumentHost host;
    CTesselDoc reopened(host);
    EXPECT_TRUE(DocumentOpen(reopened).Open(path));
    EXPECT_TRUE(host.prompts.Boxes().empty());
}
