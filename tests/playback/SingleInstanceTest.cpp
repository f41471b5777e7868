#include <gtest/gtest.h>

#include <QDir>
#include <QLocalServer>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <filesystem>

#include "playback/CSingleInstance.h"
#include "support/GuiTestEnvironment.h"

namespace {

// Both processes read the same settings file: ours, under the test's XDG_CONFIG_HOME.
QString SettingsPath() {
    return QString::fromStdString((TestConfigDir().Path() / "Ambrel" / "Sonomap.conf").string());
}

QString StoredClassName() {
    QSettings raw(SettingsPath(), QSettings::IniFormat);
    return raw.value("Initialization/ClassName").toString();
}

void StoreClassName(const QString& name) {
    QSettings raw(SettingsPath(), QSettings::IniFormat);
    raw.setValue("Initialization/ClassName", name);
}

void StartEditor(QProcess& process, const QStringList& arguments) {
    process.setProgram(SONOMAP_EDITOR_PATH);
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
}

TEST(SingleInstance, SecondStartAsksTheFirstToComeForwardAndExits) {
    CSingleInstance first;
    const QString name = first.Listen();
    ASSERT_FALSE(name.isEmpty());
    StoreClassName(name);
    QSignalSpy requests(&first, &CSingleInstance::ActivationRequested);

    QProcess second;
    StartEditor(second, {"/sounds/take one.wav", "b.aif"});
    ASSERT_TRUE(second.waitForStarted(10000));
    // The request arrives while the second process is still finishing it. The spy's event
    // loop may already have seen the process end, and waitForFinished() is false then.
    ASSERT_TRUE(requests.wait(10000));
    ASSERT_TRUE(second.state() == QProcess::NotRunning || second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(requests.count(), 1);
    const QStringList files = requests.at(0).at(0).toStringList();
    // A relative name is made absolute in the second start's folder, which the first one may
    // not share.
    EXPECT_EQ(files,
              (QStringList{"/sounds/take one.wav", QDir::current().absoluteFilePath("b.aif")}));
    // The second start did not take the name over.
    EXPECT_EQ(StoredClassName(), name);
}

TEST(SingleInstance, StartWithNobodyListeningRunsAndTakesTheName) {
    for (const QString& stale : {QString("Noneasdasdasd"), QString("wergarbageqwert")}) {
        SCOPED_TRACE(stale.toStdString());
        StoreClassName(stale);
        EXPECT_FALSE(CSingleInstance::AskRunningInstance(stale, {}, 200));

        QProcess editor;
        StartEditor(editor, {});
        ASSERT_TRUE(editor.waitForStarted(10000));
        // The file can read as empty while the editor replaces it.
        QString taken = stale;
        for (int i = 0; i < 200 && (taken == stale || taken.isEmpty()); ++i) {
            editor.waitForFinished(50);
            taken = StoredClassName();
        }
        EXPECT_EQ(editor.state(), QProcess::Running);
        EXPECT_NE(taken, stale);
        EXPECT_FALSE(taken.isEmpty());
        // A socket in the user's own runtime folder, out of other users' reach.
        EXPECT_TRUE(
            taken.startsWith(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)));
        // A third start now finds it and leaves at once.
        QProcess third;
        StartEditor(third, {});
        ASSERT_TRUE(third.waitForFinished(10000));
        EXPECT_EQ(third.exitCode(), 0);
        EXPECT_EQ(editor.state(), QProcess::Running);
        editor.kill();
        editor.waitForFinished(10000);
        QLocalServer::removeServer(taken);
    }
}

}  // namespace
