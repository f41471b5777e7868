// The editor's start-up and shutdown. The main window here is a plain stand-in until the
// shell's main frame with its bars and documents takes its place.
#include <QApplication>
#include <QMainWindow>

#include "playback/CEditorApp.h"
#include "playback/CSingleInstance.h"
#include "playback/QtSettingsStore.h"
#include "playback/QtUserPrompts.h"
#include "shell/SaveNameDialog.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Ambrel");
    QCoreApplication::setApplicationName("Sonomap");

    QtSettingsStore settings;
    QtUserPrompts prompts;
    CEditorApp app(prompts, settings);

    const QStringList files = QCoreApplication::arguments().mid(1);
    const QString runningName = QString::fromStdString(app.GetMainFrameClassName());
    if (CSingleInstance::AskRunningInstance(runningName, files)) {
        return 0;
    }
    app.LoadPreferences();

    QMainWindow frame;
    frame.setWindowTitle("Sonomap");
    frame.resize(800, 600);

    // Without the socket the program still runs; only a second start is not turned away.
    CSingleInstance instance;
    const QString name = instance.Listen();
    if (!name.isEmpty()) {
        app.SetMainFrameClassName(name.toStdString());
    }
    // The files named by a second start are for the shell's document template to open.
    QObject::connect(&instance, &CSingleInstance::ActivationRequested, &frame, [&frame] {
        frame.showNormal();
        frame.raise();
        frame.activateWindow();
    });

    // A document's Save As asks through the shell's save dialog.
    app.SetSaveNameDialog([&](const SaveNameRequest& request, SaveNameResult& result) {
        return RunSaveNameDialog(
            &frame, request, result, app.Prompts(),
            [&app](const std::string& path) { return app.IsDocumentOpen(path); });
    });

    frame.show();
    const int result = application.exec();
    app.ExitInstance();
    return result;
}
