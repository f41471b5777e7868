// The real editor binary: starts on a file with no display and no sound card, shows its main
// window, ends cleanly on SIGTERM, and ends start-up when a file of its command line fails.
// Where a message box comes up, a library preloaded into the editor answers it and notes it.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTest>
#include <csignal>
#include <functional>
#include <optional>

#include "document/RecoveryFolder.h"
#include "document/RecoveryJournal.h"
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

// The editor with no display and no sound card, its settings under config. With a dialog log
// its message boxes are answered and written there.
void StartEditor(QProcess& editor, const TempDir& config, const QStringList& arguments,
                 const std::string& dialogLog = "",
                 const QProcessEnvironment& extra = QProcessEnvironment()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("ALSOFT_DRIVERS", "null");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.Path().string()));
    if (!dialogLog.empty()) {
        environment.insert("LD_PRELOAD",
                           QString(SONOMAP_DIALOG_ANSWERER_PATH) + ":" + SONOMAP_EDIT_DRIVER_PATH);
        environment.insert("SONOMAP_TEST_DIALOG_LOG", QString::fromStdString(dialogLog));
    }
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

    // The boxes the editor showed so far, one line each.
    QStringList Boxes() const {
        QFile log(QString::fromStdString(m_files.File("dialogs.log")));
        if (!log.open(QIODevice::ReadOnly | QIODevice::Text)) {
            return {};
        }
        return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    std::string DialogLog() const { return m_files.File("dialogs.log"); }

    TempDir m_config;
    TempDir m_files;
};

// Ends an editor a test left running, so a failed check leaves no process behind.
struct EditorGuard {
    QProcess& editor;
    ~EditorGuard() {
        if (editor.state() != QProcess::NotRunning) {
            editor.kill();
            editor.waitForFinished(5000);
        }
    }
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

TEST_F(EditorSmoke, ACommandLineFileThatFailsToOpenEndsStartUpWithAFailureStatus) {
    const std::string bad = m_files.File("bad.wav");
    WriteBytes(bad, Bytes(64, 'x'));

    QProcess editor;
    EditorGuard guard{editor};
    StartEditor(editor, m_config, {QString::fromStdString(bad)}, DialogLog());
    ASSERT_TRUE(editor.waitForStarted(10000));
    // The message is shown and answered; then the program ends by itself.
    ASSERT_TRUE(editor.waitForFinished(20000)) << "the editor went on running after the failure";
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(editor.exitCode(), 0);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_TRUE(Boxes()[0].startsWith("Error loading wave information"))
        << Boxes()[0].toStdString();
    EXPECT_EQ(Stored("Recent File List/File1"), "");
    // Shutdown ran: the next start finds no window under the stored name.
    EXPECT_EQ(Stored("Initialization/ClassName"), "wergarbageqwert");
}

TEST_F(EditorSmoke, AFailedFileHandedOverByASecondStartLeavesTheRunningEditor) {
    const std::string sound = m_files.File("take.wav");
    WriteBytes(sound, BuildSoundFile(TestSound()));
    const std::string bad = m_files.File("bad.wav");
    WriteBytes(bad, Bytes(64, 'x'));

    QProcess first;
    EditorGuard firstGuard{first};
    StartEditor(first, m_config, {QString::fromStdString(sound)}, DialogLog());
    ASSERT_TRUE(first.waitForStarted(10000));
    ASSERT_TRUE(WaitFor(
        [&] {
            return Stored("Initialization/ClassName").startsWith("/") &&
                   Stored("Recent File List/File1") == QString::fromStdString(sound);
        },
        first))
        << "no main window";

    QProcess second;
    EditorGuard secondGuard{second};
    StartEditor(second, m_config, {QString::fromStdString(bad)});
    ASSERT_TRUE(second.waitForStarted(10000));
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    // The first one shows why, and stays.
    ASSERT_TRUE(WaitFor([&] { return Boxes().size() == 1; }, first)) << "no message";
    EXPECT_TRUE(Boxes()[0].startsWith("Error loading wave information"))
        << Boxes()[0].toStdString();
    EXPECT_FALSE(first.waitForFinished(500));
    EXPECT_EQ(first.state(), QProcess::Running);

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0);
}

TEST_F(EditorSmoke, SigtermWithAModifiedDocumentEndsWithoutAQuestion) {
    // Opening this file marks the document modified: its pan chunk counts fewer frames.
    TestSound modified;
    modified.points = {{10, 20}};
    modified.chunkFrames = FramesOf(modified) - 100;
    const std::string sound = m_files.File("take.wav");
    WriteBytes(sound, BuildSoundFile(modified));
    const Bytes before = ReadBytes(sound);

    QProcess editor;
    EditorGuard guard{editor};
    StartEditor(editor, m_config, {QString::fromStdString(sound)}, DialogLog());
    ASSERT_TRUE(editor.waitForStarted(10000));
    ASSERT_TRUE(WaitFor(
        [&] {
            return Boxes().size() == 1 &&
                   Stored("Recent File List/File1") == QString::fromStdString(sound);
        },
        editor))
        << "the document did not open";
    ASSERT_TRUE(Boxes()[0].contains("It is longer than it was")) << Boxes()[0].toStdString();
    EXPECT_FALSE(editor.waitForFinished(300));

    ::kill(static_cast<pid_t>(editor.processId()), SIGTERM);
    // A question would wait for an answer (the answerer gives Cancel) and keep it running.
    ASSERT_TRUE(editor.waitForFinished(20000))
        << "still running: " << Boxes().join("; ").toStdString();
    EXPECT_EQ(editor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(editor.exitCode(), 0);
    EXPECT_EQ(Boxes().size(), 1u) << Boxes().join("; ").toStdString();
    EXPECT_EQ(ReadBytes(sound), before);
    EXPECT_EQ(Stored("Initialization/ClassName"), "wergarbageqwert");
    EXPECT_FALSE(Stored("Bar State/Layout").isEmpty());
    EXPECT_EQ(Stored("Preferences/MixerOutput"), "2");
}

namespace {

// The journal of the one unsaved document in the recovery folder under state; none when there
// is not exactly one.
std::optional<RecoveryJournal> OnlyJournal(const TempDir& state) {
    const RecoveryFolder folder((state.Path() / "sonomap" / "recovery").string());
    const std::vector<std::string> paths = folder.JournalPaths();
    RecoveryJournal journal;
    if (paths.size() != 1 ||
        RecoveryJournal::ReadFrom(paths[0], journal) != RecoveryJournal::ReadStatus::Ok) {
        return std::nullopt;
    }
    return journal;
}

}  // namespace

TEST_F(EditorSmoke, UnsavedPointsComeBackAfterAKillAndNothingIsOfferedAfterANormalQuit) {
    struct Case {
        const char* name;
        bool bKill;  // else File: Exit, answering No to saving
    };
    const Case cases[] = {{"killed", true}, {"quit", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir state;
        TempDir files;
        TestSound two;
        two.samples = Pattern(2 * 44100);
        const std::string sound = files.File("take.wav");
        WriteBytes(sound, BuildSoundFile(two));
        const std::string dialogs = files.File("dialogs.log");
        const std::string edits = files.File("edits.log");
        const auto boxes = [&] {
            QFile log(QString::fromStdString(dialogs));
            return log.open(QIODevice::ReadOnly | QIODevice::Text)
                       ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)
                       : QStringList();
        };
        QProcessEnvironment extra;
        extra.insert("XDG_STATE_HOME", QString::fromStdString(state.Path().string()));
        extra.insert("SONOMAP_TEST_EDIT_LOG", QString::fromStdString(edits));

        QProcessEnvironment editing = extra;
        editing.insert("SONOMAP_TEST_ADD_POINTS", "3");
        editing.insert("SONOMAP_TEST_DIALOG_ANSWER", "no");
        editing.insert("SONOMAP_TEST_QUIT_AFTER_EDIT", c.bKill ? "0" : "1");
        QProcess first;
        EditorGuard firstGuard{first};
        StartEditor(first, m_config, {QString::fromStdString(sound)}, dialogs, editing);
        ASSERT_TRUE(first.waitForStarted(10000));
        std::optional<RecoveryJournal> kept;
        if (c.bKill) {
            // Within a second of the clicks the journal holds all three points.
            ASSERT_TRUE(WaitFor(
                [&] {
                    kept = OnlyJournal(state);
                    return kept && kept->points.size() == 3;
                },
                first))
                << "no journal of the three points";
            EXPECT_EQ(kept->key, sound);
            ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
            ASSERT_TRUE(first.waitForFinished(10000));
        } else {
            ASSERT_TRUE(first.waitForFinished(20000)) << boxes().join("; ").toStdString();
            EXPECT_EQ(first.exitCode(), 0);
            ASSERT_EQ(boxes().size(), 1) << boxes().join("; ").toStdString();
            EXPECT_TRUE(boxes()[0].startsWith("Save changes to")) << boxes()[0].toStdString();
            EXPECT_FALSE(OnlyJournal(state).has_value());
            EXPECT_TRUE(RecoveryFolder((state.Path() / "sonomap" / "recovery").string())
                            .JournalPaths()
                            .empty());
        }
        ASSERT_TRUE(QFile::remove(QString::fromStdString(edits)));
        const int boxesBefore = boxes().size();

        // Adding no point, the driver notes once the document is open and no box waits.
        QProcessEnvironment answering = extra;
        answering.insert("SONOMAP_TEST_DIALOG_ANSWER", "yes");
        answering.insert("SONOMAP_TEST_ADD_POINTS", "0");
        const auto opened = [&] { return QFile::exists(QString::fromStdString(edits)); };
        QProcess second;
        EditorGuard secondGuard{second};
        StartEditor(second, m_config, {QString::fromStdString(sound)}, dialogs, answering);
        ASSERT_TRUE(second.waitForStarted(10000));
        if (c.bKill) {
            ASSERT_TRUE(WaitFor([&] { return boxes().size() == boxesBefore + 1; }, second))
                << "no recovery offered";
            const QString question = boxes().last();
            EXPECT_TRUE(question.contains("take.wav")) << question.toStdString();
            EXPECT_TRUE(question.contains("last edited")) << question.toStdString();
            EXPECT_FALSE(question.contains("changed on disk")) << question.toStdString();
            // Recovered, the document is modified again: this run keeps its own journal of it.
            std::optional<RecoveryJournal> recovered;
            ASSERT_TRUE(WaitFor(
                [&] {
                    recovered = OnlyJournal(state);
                    return recovered && recovered->ownerToken != kept->ownerToken;
                },
                second))
                << "the recovered points were not kept";
            EXPECT_EQ(recovered->points, kept->points);
            EXPECT_TRUE(WaitFor(opened, second)) << "a box still waits";
        } else {
            ASSERT_TRUE(WaitFor(opened, second)) << "the document did not open";
            EXPECT_EQ(boxes().size(), boxesBefore) << boxes().join("; ").toStdString();
            EXPECT_FALSE(OnlyJournal(state).has_value());
        }
        ::kill(static_cast<pid_t>(second.processId()), SIGTERM);
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_EQ(second.exitCode(), 0);
    }
}
