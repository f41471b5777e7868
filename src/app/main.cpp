// The editor's start-up and shutdown.
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/EditorCommandLine.h"

#include "playback/CEditorApp.h"
#include "playback/CSingleInstance.h"
#include "playback/QtSettingsStore.h"
#include "playback/QtUserPrompts.h"
#include "shell/CAppIcon.h"
#include "shell/CGenerateTrajectoryDialog.h"
#include "shell/CMainFrame.h"
#include "shell/CPointPropertiesDialog.h"
#include "shell/CStretchPointsDialog.h"
#include "shell/HeadTrackingMonitor.h"
#include "shell/PasteOptionsDialogs.h"
#include "views/CWaveScrollView.h"

namespace {

// SIGTERM only writes a byte here; the event loop reads it and quits in an orderly way.
int g_terminateFds[2] = {-1, -1};

void OnTerminateSignal(int) {
    const char byte = 1;
    if (::write(g_terminateFds[0], &byte, 1) < 0) {
        // Nothing can be done about it inside a signal handler.
    }
}

bool InstallTerminateHandler() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_terminateFds) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0;
}

// A second start may run in another folder than the first: names go over as absolute paths.
QStringList AbsoluteFiles(const std::vector<std::string>& files) {
    QStringList absolute;
    for (const std::string& file : files) {
        absolute << QDir::current().absoluteFilePath(QString::fromStdString(file));
    }
    return absolute;
}

// Answers --help and --version; the exit status, or none when the editor is to run.
std::optional<int> AnswerCommandLine(const EditorCommandLine& line) {
    switch (line.GetAction()) {
        case EditorCommandLine::Action::Help:
            std::fputs(EditorCommandLine::HelpText().c_str(), stdout);
            return 0;
        case EditorCommandLine::Action::Version:
            std::fputs(EditorCommandLine::VersionText().c_str(), stdout);
            return 0;
        case EditorCommandLine::Action::Error:
            std::fputs(line.ErrorText().c_str(), stderr);
            return 2;
        case EditorCommandLine::Action::Run:
            break;
    }
    return std::nullopt;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Before Qt, which needs a display: a word Qt would take is no error yet.
    const EditorCommandLine early = EditorCommandLine::Read({argv + 1, argv + argc});
    if (early.GetAction() != EditorCommandLine::Action::Error) {
        if (const std::optional<int> status = AnswerCommandLine(early)) {
            return *status;
        }
    }
    QApplication application(argc, argv);
    std::vector<std::string> words;
    for (const QString& word : QCoreApplication::arguments().mid(1)) {
        words.push_back(word.toStdString());
    }
    const EditorCommandLine line = EditorCommandLine::Read(words);
    if (const std::optional<int> status = AnswerCommandLine(line)) {
        return *status;
    }
    QCoreApplication::setOrganizationName("Ambrel");
    QCoreApplication::setApplicationName("Sonomap");

    QtSettingsStore settings;
    QtUserPrompts prompts;
    CEditorApp app(prompts, settings);

    // One editor per user: a running one takes the files and comes to the front.
    const QStringList files = AbsoluteFiles(line.Files());
    const QString runningName = QString::fromStdString(app.GetMainFrameClassName());
    if (CSingleInstance::AskRunningInstance(runningName, files)) {
        if (line.OscPort()) {
            std::fputs(
                "sonomap: Sonomap was already running and took the files; --osc-port counts "
                "only for a new run: turn head tracking on in its Preferences.\n",
                stderr);
        }
        return 0;
    }
    app.LoadPreferences();
    app.SelectOutputBackEnd(line.OscPort().has_value() || app.GetHeadTracking().bEnabled);
    // The port is bound now, not only while something plays.
    const std::string trackingProblem = line.OscPort() ? app.TrackHeadForRun(*line.OscPort())
                                        : app.GetHeadTracking().bEnabled
                                            ? app.SetHeadTracking(app.GetHeadTracking())
                                            : std::string();

    QApplication::setWindowIcon(CAppIcon::Icon());
    auto frame =
        std::make_unique<CMainFrame>(app, settings, [&app](CTesselDoc& document, QWidget* parent) {
            return new CWaveScrollView(document, app, parent);
        });
    frame->PlaceOnScreen();
    InstallPasteOptionsDialogs(app, frame.get());
    CPointPropertiesDialog::Install(app, frame.get());
    CGenerateTrajectoryDialog::Install(app, frame.get());
    CStretchPointsDialog::Install(app, frame.get());
    new HeadTrackingMonitor(app, *frame);  // the window owns it

    const bool bTerminateHandler = InstallTerminateHandler();
    std::unique_ptr<QSocketNotifier> terminateNotifier;
    bool bTerminated = false;
    if (bTerminateHandler) {
        terminateNotifier =
            std::make_unique<QSocketNotifier>(g_terminateFds[1], QSocketNotifier::Read);
        QObject::connect(terminateNotifier.get(), &QSocketNotifier::activated, [&] {
            char byte = 0;
            if (::read(g_terminateFds[1], &byte, 1) < 0) {
                return;
            }
            bTerminated = true;
            frame->EndSession();
            frame->KeepRecoveryJournals();
            // Not quit(): that closes the windows first, and a modified document would ask
            // and wait. exit() ends every loop, a message box's of the start-up included, and
            // the documents go with the frame without questions.
            QCoreApplication::exit(0);
        });
    }

    // Files named on the command line open into the shown window, so their windows are sized
    // to it; with none the program starts without a document. A file that fails ends the
    // start-up once its message is answered.
    frame->show();
    if (!trackingProblem.empty()) {
        app.Prompts().Message(trackingProblem);
    }
    bool bOpened = true;
    for (const QString& file : files) {
        if (bTerminated || !bOpened) {
            break;
        }
        bOpened = frame->OpenFiles({file});
    }
    if (!bTerminated && bOpened) {
        frame->OfferRecovery();
    }
    int result = 0;
    if (!bTerminated) {
        result = bOpened ? application.exec() : 1;
    }
    frame.reset();
    app.ExitInstance();
    return result;
}
