// The real editor binary: starts on a file with no display and no sound card, shows its main
// window, and ends cleanly on SIGTERM.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTest>
#include <csignal>
#include <functional>

#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
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

// The editor with no display and no sound card, its settings under config.
void StartEditor(QProcess& editor, const TempDir& config, const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("ALSOFT_DRIVERS", "null");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path().string()));
    editor.setProcessEnvironment(environment);
    editor.setProgram(SONOMAP_EDITOR_PATH);
    editor.setArguments(arguments);
    editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor.start();
}

class EditorSmoke : public ::testing::Test {
  protected:
    QString Stored(const QString& key) const {
        const QString path =
            QString::fromStdString((m_config.Path() / "Ambrel" / "Sonomap.conf").string());
        return QSettings(path, QSettings::IniFormat).value(key).toString();
    }

    TempDir m_config;
    TempDir m_files;
};

}  // namespace

TEST_F(EditorSmoke, StartsOnAFileShowsItsWindowAndQuitsCleanlyOnSigterm) {
    const std::string sound = m_files.File("take.wav");
    WriteBytes(sound, BuildSoundFile(TestSound()));
    const auto stored = [this](const QString& key) { return Stored(key); };

    QProcess editor;
    StartEditor(editor, m_config, {QString::fromStdString(sound)});
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

TEST_F(EditorSmoke, SigtermWhileAStartUpMessageWaitsStillEndsCleanly) {
    const std::string junk = m_files.File("junk.wav");
    WriteBytes(junk, Bytes(64, 'x'));
    const std::string sound = m_files.File("take.wav");
    WriteBytes(sound, BuildSoundFile(TestSound()));

    QProcess editor;
    StartEditor(editor, m_config, {QString::fromStdString(junk), QString::fromStdString(sound)});
    ASSERT_TRUE(editor.waitForStarted(10000));
    // The frame exists; the "not a sound file" box of the first file waits for OK.
    ASSERT_TRUE(
        WaitFor([&] { return Stored("Initialization/ClassName").startsWith("/"); }, editor));
    EXPECT_FALSE(editor.waitForFinished(300));

    ::kill(static_cast<pid_t>(editor.processId()), SIGTERM);
    ASSERT_TRUE(editor.waitForFinished(20000));
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_EQ(Stored("Initialization/ClassName"), "wergarbageqwert");
    // Nothing more was opened after the end was asked for.
    EXPECT_EQ(Stored("Recent File List/File1"), "");
}
