// The two "Paste Options..." dialogs: texts, buttons and keys, and a paste that asks them
// through the application object.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <map>
#include <memory>

#include "document/CTesselDoc.h"
#include "document/PanClipboard.h"
#include "document/PanEditCommands.h"
#include "document/PasteOptionIds.h"
#include "platform/SettingsStore.h"
#include "playback/CEditorApp.h"
#include "shell/CPasteMergeDialog.h"
#include "shell/CPasteSizeDialog.h"
#include "shell/PasteOptionsDialogs.h"
#include "support/DocumentTestFiles.h"
#include "support/ModalDialog.h"
#include "support/ScriptedPrompts.h"

namespace {

struct ButtonSpec {
    QString caption;
    int id;
};

class NoSettings : public SettingsStore {
  public:
    int GetInt(const std::string&, const std::string&, int value) override { return value; }
    void SetInt(const std::string&, const std::string&, int) override {}
    std::string GetString(const std::string&, const std::string&,
                          const std::string& value) override {
        return value;
    }
    void SetString(const std::string&, const std::string&, const std::string&) override {}
};

class PasteOptionsDialogTest : public ::testing::Test {
  protected:
    static QStringList TextsOf(const QDialog& dialog) {
        QStringList texts;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            texts << label->text();
        }
        return texts;
    }

    // The buttons in their row, with their captions and ids; only the expected one is the
    // default; and each click ends the dialog with the button's own id.
    static void ExpectButtons(CPasteOptionsDialog& dialog, const std::vector<ButtonSpec>& specs,
                              int defaultId) {
        const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
        ASSERT_EQ(buttons.size(), static_cast<qsizetype>(specs.size()));
        EXPECT_EQ(dialog.GetDefaultId(), defaultId);
        for (size_t i = 0; i < specs.size(); ++i) {
            QPushButton* button = dialog.GetButton(specs[i].id);
            ASSERT_EQ(button, buttons[static_cast<qsizetype>(i)]) << specs[i].id;
            EXPECT_EQ(button->text(), specs[i].caption);
            EXPECT_EQ(button->isDefault(), specs[i].id == defaultId) << specs[i].id;

            dialog.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            dialog.setResult(0);
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(dialog.result(), specs[i].id);
            EXPECT_FALSE(dialog.isVisible());
        }
    }

    // Enter on a button that is not the default still picks the default; Escape cancels.
    static void ExpectKeys(CPasteOptionsDialog& dialog, int otherId) {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(dialog.GetButton(otherId), Qt::Key_Return);
        EXPECT_EQ(dialog.result(), dialog.GetDefaultId());

        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_EQ(dialog.result(), kPasteCancel);
        EXPECT_FALSE(dialog.isVisible());
    }
};

}  // namespace

TEST_F(PasteOptionsDialogTest, MergeDialogAsksWhatBecomesOfTheExistingPoints) {
    CPasteMergeDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), "Paste Options...");
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(TextsOf(dialog),
              QStringList{"There are already pan points in the destination range. What should "
                          "be done with the existing points?"});
    ExpectButtons(dialog, {{"&Remove", 1007}, {"&Merge", 1006}, {"&Cancel", 2}}, 1007);
    ExpectKeys(dialog, kPasteMerge);
}

TEST_F(PasteOptionsDialogTest, SizeDialogRangeVariantOffersScaleOrFromStart) {
    CPasteSizeDialog dialog(false);
    EXPECT_EQ(dialog.windowTitle(), "Paste Options...");
    EXPECT_TRUE(dialog.isModal());
    EXPECT_EQ(TextsOf(dialog),
              (QStringList{"The selected region is a different size than the region on the "
                           "clipboard. Would you like to...",
                           "1) Scale the clipboard contents to fit in the current selection "
                           "region...",
                           "2) Paste clipboard from the start of the current selection region "
                           "(points that fall beyond the end of the waveform will not be "
                           "copied)...",
                           "3) Cancel the Paste..."}));
    ExpectButtons(dialog, {{"&Scale", 1004}, {"&From Start", 1005}, {"&Cancel", 2}}, 1004);
    ExpectKeys(dialog, kPasteCancel);
}

TEST_F(PasteOptionsDialogTest, SizeDialogCaretVariantOffersScaleOrPaste) {
    CPasteSizeDialog dialog(true);
    EXPECT_EQ(dialog.windowTitle(), "Paste Options...");
    EXPECT_EQ(TextsOf(dialog),
              (QStringList{"The region on the clipboard would run beyond the end of the "
                           "waveform. Would you like to...",
                           "1) Scale clipboard points to fit between the cursor and the end of "
                           "the waveform...",
                           "2) Paste clipboard points and ignore any which run beyond the end "
                           "of the waveform...",
                           "3) Cancel the Paste..."}));
    ExpectButtons(dialog, {{"&Scale", 1004}, {"Paste", 1005}, {"&Cancel", 2}}, 1004);
    ExpectKeys(dialog, kPasteFromStart);
}

TEST_F(PasteOptionsDialogTest, APasteAsksThroughTheInstalledDialogs) {
    ScriptedPrompts prompts;
    NoSettings settings;
    CEditorApp app(prompts, settings);
    TestSound sound;
    sound.format = MakeFormat(1, 22050, 8);
    sound.samples = Pattern(10000);
    std::unique_ptr<CTesselDoc> memory = MemoryDocument(app, sound);
    CTesselDoc& doc = *memory;
    doc.AddPoint(500, 1);
    doc.AddPoint(2500, 2);
    auto clipboard = std::make_unique<PanClipboard>();
    clipboard->AddPoint(200, 10);
    clipboard->regionLength = 2000;
    static_cast<DocumentHost&>(app).SetPanClipboard(std::move(clipboard));

    // Until the shell installs the dialogs, every question is cancelled.
    EXPECT_FALSE(PanEditCommands::Paste(doc, 0, 1000));

    InstallPasteOptionsDialogs(app, nullptr);
    bool sawMerge = false;
    bool sawSize = false;
    ModalDialog::When<CPasteMergeDialog>([&](CPasteMergeDialog& merge) {
        sawMerge = true;
        ModalDialog::When<CPasteSizeDialog>([&](CPasteSizeDialog& size) {
            sawSize = size.GetButton(kPasteFromStart)->text() == "&From Start";
            QTest::mouseClick(size.GetButton(kPasteFromStart), Qt::LeftButton);
        });
        QTest::keyClick(&merge, Qt::Key_Return);  // Remove
    });
    ASSERT_TRUE(PanEditCommands::Paste(doc, 0, 1000));
    EXPECT_TRUE(sawMerge);
    EXPECT_TRUE(sawSize);
    // From Start with Remove cleared 0 .. 2000 and put the point at 200.
    const PanPoint* first = doc.NextPoint(nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->position, 200u);
    const PanPoint* second = doc.NextPoint(first);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->position, 2500u);
    EXPECT_EQ(doc.NextPoint(second), nullptr);
}
