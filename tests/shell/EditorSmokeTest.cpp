// The real editor binary: starts on a file with no display and no sound card, shows its main
// window, and ends cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTest>
#include <csignal>
#include <functional>

#include "document/DocumentTestFiles.h"
#include "formats/FileBytes.h"
#include "support/TempDir.h"

namespace {

bool WaitFor(const std::function<bool()>& condition, QProcess& process) {
    for (int i = 0; i < 400; ++i) {
        if (condition()) {
            return true;
        }
        if (process.waitForFinished(50)) {
            return condition();
        }
    }
    return condition();
}

}  // namespace

TEST(EditorSmoke, StartsOnAFileShowsItsWindowAndQuitsCleanlyOnSigterm) {
    TempDir config;
    TempDir files;
    const std::string sound = files.File("take.wav");
    WriteBytes(sound, BuildSoundFile(TestSound()));
    const QString settingsPath =
        QString::fromStdString((config.Path() / "Ambrel" / "Sonomap.conf").string());
    const auto stored = [&settingsPath](const QString& key) {
        return QSettings(settingsPath, QSettings::IniFormat).value(key).toString();
    };

    QProcess editor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("ALSOFT_DRIVERS", "null");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path().string()));
    editor.setProcessEnvironment(environment);
    editor.setProgram(SONOMAP_EDITOR_PATH);
    editor.setArguments({QString::fromStdString(sound)});
    editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor.start();
    ASSERT_TRUE(editor.waitForStarted(10000));

    // The main frame has taken the single-instance name and opened the file.
    ASSERT_TRUE(WaitFor(
        [&] {
            return stored("Initialization/ClassName").startsWith("/") &&
                   stored("Recent File List/File1") == QString::fromStdString(sound);
        },
        editor))
        << "no main window";
    EXPECT_EQ(editor.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(editor.processId()), SIGTERM);
    ASSERT_TRUE(editor.waitForFinished(20000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_EQ(stored("Initialization/ClassName"), "wergarbageqwert");
    EXPECT_FALSE(stored("Bar State/Layout").isEmpty());
    EXPECT_EQ(stored("Preferences/MixerOutput"), "2");
}
