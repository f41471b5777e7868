// A document's Save As through the real save dialog, as the editor runs it.
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "shell/SaveNameDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "shell/MySaveAsFileDialog.h"
#include "support/DocumentTestFiles.h"
#include "support/MemorySettingsStore.h"
#include "support/ModalDialog.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

class DialogHost : public TestDocumentHost {
  public:
    bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override {
        return RunSaveNameDialog(nullptr, request, result, prompts,
                                 [this](const std::string& path) { return IsDocumentOpen(path); });
    }
};

// Picks a type and types a name as a user would, then presses Return.
void AnswerDialog(int typeIndex, const QString& name) {
    ModalDialog::When<MySaveAsFileDialog>([=](MySaveAsFileDialog& dialog) {
        auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        while (types->currentIndex() != typeIndex) {
            QTest::keyClick(types, types->currentIndex() < typeIndex ? Qt::Key_Down : Qt::Key_Up);
        }
        QLineEdit* box = dialog.NameBox();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);  // typing replaces the name
        QTest::keyClicks(box, name);
        QTest::keyClick(box, Qt::Key_Return);
    });
}

}  // namespace

TEST(SaveNameDialog, SaveAsToAiffThroughTheDialog) {
    TempDir dir;
    TestSound sound;
    sound.points = {{10, 20}};
    sound.chunkFrames = FramesOf(sound);
    sound.chunksAfter = Chunk("LIST", Bytes{1, 2}, false);
    const std::string path = dir.File("take.wav");
    WriteBytes(path, BuildSoundFile(sound));

    DialogHost host;
    host.saveFolder = dir.Path().string();
    CTesselDoc doc(host);
    ASSERT_TRUE(DocumentOpen(doc).Open(path));
    host.openDocuments.push_back(path);

    AnswerDialog(1, "copy");
    ASSERT_TRUE(DocumentSave(doc).SaveAs());
    EXPECT_EQ(doc.GetPathName(), dir.File("copy.aif"));
    EXPECT_EQ(doc.GetFileType(), "AIFF");
    EXPECT_EQ(ReadBytes(dir.File("copy.aif"))[0], 'F');
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 108u);

    // Its own old name is still open as far as the program knows: refused, then cancelled.
    host.prompts.Clear();
    host.openDocuments = {path, dir.File("copy.aif")};
    ModalDialog::When<MySaveAsFileDialog>([&](MySaveAsFileDialog& dialog) {
        QLineEdit* box = dialog.NameBox();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, "take.wav");
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_TRUE(dialog.isVisible());
        dialog.reject();
    });
    EXPECT_FALSE(DocumentSave(doc).SaveAs());
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_NE(host.prompts.Boxes()[0].text.find("This file is currently open."), std::string::npos);
}

// Save on a file that cannot be written becomes Save As in that file's own folder, saying why;
// a file of the same name in the last save folder is never the one proposed.
TEST(SaveNameDialog, SaveOnAnUnwritableFileAsksInItsOwnFolderAndSaysWhy) {
    const struct {
        const char* name;
        std::function<void(const std::string& path)> spoil;
        const char* reason;
    } cases[] = {
        {"read-only",
         [](const std::string& path) {
             std::filesystem::permissions(
                 path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
         },
         "take.wav cannot be written: the file is read-only"},
        {"gone", [](const std::string& path) { std::filesystem::remove(path); },
         "take.wav cannot be written: no such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::filesystem::create_directory(dir.File("own"));
        std::filesystem::create_directory(dir.File("elsewhere"));
        TestSound sound;
        sound.points = {{10, 20}};
        const std::string path = dir.File("own/take.wav");
        WriteBytes(path, BuildSoundFile(sound));
        const std::string trap = dir.File("elsewhere/take.wav");
        WriteBytes(trap, BuildSoundFile(TestSound()));
        const std::vector<uint8_t> trapBytes = ReadBytes(trap);

        DialogHost host;
        host.saveFolder = dir.File("elsewhere") + "/";
        CTesselDoc doc(host);
        ASSERT_TRUE(DocumentOpen(doc).Open(path));
        host.openDocuments.push_back(path);
        c.spoil(path);

        bool bShown = false;
        ModalDialog::When<MySaveAsFileDialog>([&](MySaveAsFileDialog& dialog) {
            bShown = true;
            EXPECT_EQ(QDir(dialog.directory()).absolutePath().toStdString(), dir.File("own"));
            EXPECT_EQ(dialog.NameBox()->text(), "take.wav");
            EXPECT_EQ(dialog.Reason().toStdString(), c.reason);
            auto* line = dialog.findChild<QLabel*>("saveReason");
            ASSERT_NE(line, nullptr);
            EXPECT_TRUE(line->isVisible());
            dialog.reject();
        });
        EXPECT_FALSE(DocumentSave(doc).Save());
        EXPECT_TRUE(bShown);
        EXPECT_EQ(ReadBytes(trap), trapBytes);
        EXPECT_EQ(doc.GetPathName(), path);
    }
}

// The export dialogs' lists under the name: what is taken reaches the file, and the next
// export's dialog starts from it, through the settings.
TEST(SaveNameDialog, ExportChoicesReachTheFileAndAreRemembered) {
    class SettingsHost : public TestDocumentHost {
      public:
        bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override {
            return RunSaveNameDialog(
                nullptr, request, result, prompts,
                [this](const std::string& path) { return IsDocumentOpen(path); }, &settings);
        }
        MemorySettingsStore settings;
    };
    const struct {
        const char* name;
        std::function<bool(const CTesselDoc&)> run;
        std::vector<int> choose;  // the option of each list
        std::vector<std::string> keys;
        int channels, bits;  // of the file written
    } cases[] = {
        {"stereo-as-the-sound",
         [](const CTesselDoc& d) { return StereoExportCommand(d).Run(); },
         {0},
         {"StereoSampleFormat"},
         2,
         16},
        {"stereo-24",
         [](const CTesselDoc& d) { return StereoExportCommand(d).Run(); },
         {2},
         {"StereoSampleFormat"},
         2,
         24},
        {"ambix-third-float-48k",
         [](const CTesselDoc& d) { return AmbisonicsExportCommand(d).Run(); },
         {2, 2, 1},
         {"AmbisonicsOrder", "AmbisonicsSampleFormat", "AmbisonicsRate"},
         16,
         32},
        {"ambix-second-24",
         [](const CTesselDoc& d) { return AmbisonicsExportCommand(d).Run(); },
         {1, 1, 0},
         {"AmbisonicsOrder", "AmbisonicsSampleFormat", "AmbisonicsRate"},
         9,
         24},
    };
    TempDir dir;
    SettingsHost host;
    host.exportFolder = dir.Path().string() + "/";
    TestSound sound;
    sound.points = {{0, -40}, {1000, 40}};
    sound.chunkFrames = FramesOf(sound);
    const std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = QString(c.name) + ".wav";
        ModalDialog::When<MySaveAsFileDialog>([&](MySaveAsFileDialog& dialog) {
            for (size_t i = 0; i < c.choose.size(); ++i) {
                auto* list = dialog.findChild<QComboBox*>(QStringLiteral("saveChoice%1").arg(i));
                ASSERT_NE(list, nullptr);
                list->setCurrentIndex(c.choose[i]);
            }
            QLineEdit* box = dialog.NameBox();
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(box, file);
            QTest::keyClick(box, Qt::Key_Return);
        });
        ASSERT_TRUE(c.run(*doc)) << testing::PrintToString(host.prompts.Texts());
        const Bytes written = ReadBytes(dir.File(file.toStdString()));
        ASSERT_GT(written.size(), 44u);
        EXPECT_EQ(written[22], c.channels);
        EXPECT_EQ(written[34], c.bits);
        for (size_t i = 0; i < c.keys.size(); ++i) {
            EXPECT_EQ(host.settings.GetInt("Export", c.keys[i], -1), c.choose[i]) << c.keys[i];
        }
        // The next dialog of the kind starts where this one was left.
        std::vector<int> shown;
        ModalDialog::When<MySaveAsFileDialog>([&](MySaveAsFileDialog& dialog) {
            for (size_t i = 0; i < c.choose.size(); ++i) {
                auto* list = dialog.findChild<QComboBox*>(QStringLiteral("saveChoice%1").arg(i));
                shown.push_back(list != nullptr ? list->currentIndex() : -1);
            }
            dialog.reject();
        });
        EXPECT_FALSE(c.run(*doc));
        EXPECT_EQ(shown, c.choose);
    }
}

// The loudness list's last option takes the value typed beside it: the box counts only while
// that option is chosen, the export is turned to the value, and both are remembered.
TEST(SaveNameDialog, ALoudnessTypedBesideTheListTurnsTheExportAndIsRemembered) {
    class SettingsHost : public TestDocumentHost {
      public:
        bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override {
            return RunSaveNameDialog(
                nullptr, request, result, prompts,
                [this](const std::string& path) { return IsDocumentOpen(path); }, &settings);
        }
        MemorySettingsStore settings;
    };
    TempDir dir;
    SettingsHost host;
    host.exportFolder = dir.Path().string() + "/";
    const std::unique_ptr<CTesselDoc> doc =
        MemoryDocument(host, FirstChannelNoise(1, 22050, 22050, 3000, 9));
    const struct {
        int option;
        double typed;
        const char* status;  // what the status line says of the file
    } cases[] = {
        {5, -20.0, "Loudness -20.0 LUFS"},
        {3, -30.0, "Loudness -16.0 LUFS"},  // a value typed under another option is no target
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.option);
        host.prompts.Clear();
        std::vector<bool> enabled;
        ModalDialog::When<MySaveAsFileDialog>([&](MySaveAsFileDialog& dialog) {
            auto* list = dialog.findChild<QComboBox*>("saveChoice1");
            auto* number = dialog.findChild<QDoubleSpinBox*>("saveNumber1");
            ASSERT_NE(list, nullptr);
            ASSERT_NE(number, nullptr);
            list->setCurrentIndex(0);
            enabled.push_back(number->isEnabled());
            list->setCurrentIndex(c.option);
            enabled.push_back(number->isEnabled());
            number->setValue(c.typed);
            dialog.findChild<QComboBox*>("saveChoice0")->setCurrentIndex(2);
            QLineEdit* box = dialog.NameBox();
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(box, QStringLiteral("loud%1.wav").arg(c.option));
            QTest::keyClick(box, Qt::Key_Return);
        });
        ASSERT_TRUE(StereoExportCommand(*doc).Run())
            << testing::PrintToString(host.prompts.Texts());
        EXPECT_EQ(enabled, (std::vector<bool>{false, c.option == 5}));
        ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
        EXPECT_NE(host.prompts.StatusTexts()[0].find(c.status), std::string::npos)
            << host.prompts.StatusTexts()[0];
        EXPECT_EQ(host.settings.GetInt("Export", "StereoLoudness", -1), c.option);
        EXPECT_EQ(host.settings.GetString("Export", "StereoLoudnessValue", ""),
                  QString::number(c.typed).toStdString());
    }
    // The next dialog starts from the value last typed.
    double shown = 0.0;
    ModalDialog::When<MySaveAsFileDialog>([&](MySaveAsFileDialog& dialog) {
        shown = dialog.findChild<QDoubleSpinBox*>("saveNumber1")->value();
        dialog.reject();
    });
    EXPECT_FALSE(StereoExportCommand(*doc).Run());
    EXPECT_EQ(shown, -30.0);
}
