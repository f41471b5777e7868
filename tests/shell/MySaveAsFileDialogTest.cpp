#include "shell/MySaveAsFileDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

class SaveAsDialogTest : public ::testing::Test {
  protected:
    std::unique_ptr<MySaveAsFileDialog> Open(int fileType = 1, const QString& name = "") {
        auto dialog = std::make_unique<MySaveAsFileDialog>(
            nullptr, "Save As", name, QString::fromStdString(m_dir.Path().string()), m_prompts,
            [this](const std::string& path) { return m_open.count(path) > 0; }, fileType);
        dialog->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    // Types a name into the name box and presses Return, as a user would.
    void TypeAndAccept(MySaveAsFileDialog& dialog, const QString& name) {
        QLineEdit* box = dialog.NameBox();
        box->clear();
        QTest::keyClicks(box, name);
        QTest::keyClick(box, Qt::Key_Return);
    }

    // Picks a file type in the type box, as a user would.
    void PickType(MySaveAsFileDialog& dialog, int index) {
        QComboBox* types = dialog.findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        // Arrow keys on the closed type box activate the next entry, as a pick with the mouse.
        while (types->currentIndex() != index) {
            QTest::keyClick(types, types->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
        }
    }

    std::string Folder() const { return m_dir.Path().string() + "/"; }

    TempDir m_dir;
    ScriptedPrompts m_prompts;
    std::set<std::string> m_open;
};

}  // namespace

TEST_F(SaveAsDialogTest, IsQtsOwnDialogWithTheTwoFileTypesInOrder) {
    auto dialog = Open(2, "take.aif");
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->nameFilters(),
              (QStringList{"Windows Wave (*.WAV)", "Macintosh AIFF (*.AIF)"}));
    EXPECT_EQ(dialog->GetFileType(), 2);
    ASSERT_NE(dialog->NameBox(), nullptr);
    EXPECT_EQ(dialog->NameBox()->text(), "take.aif");
}

TEST_F(SaveAsDialogTest, TypedNameGetsTheTypesExtensionAndIsAccepted) {
    auto dialog = Open(1);
    TypeAndAccept(*dialog, "mix");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->GetPathName().toStdString(), Folder() + "mix.wav");
    EXPECT_EQ(dialog->GetFileTitle(), "mix.wav");
    EXPECT_EQ(dialog->GetFileType(), 1);
    EXPECT_TRUE(m_prompts.Boxes().empty());

    auto aiff = Open(2);
    TypeAndAccept(*aiff, "mix");
    EXPECT_EQ(aiff->GetPathName().toStdString(), Folder() + "mix.aif");
    EXPECT_EQ(aiff->GetFileType(), 2);

    // The letter case typed is kept as it is.
    auto typed = Open(2);
    TypeAndAccept(*typed, "Mix.AIF");
    EXPECT_EQ(typed->GetPathName().toStdString(), Folder() + "Mix.AIF");
}

TEST_F(SaveAsDialogTest, OpenDocumentIsRefusedAndTheDialogStaysOpen) {
    m_open = {Folder() + "other.wav"};
    auto dialog = Open(1);
    TypeAndAccept(*dialog, "other");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->NameBox()->text(), "other.wav");
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(
        m_prompts.Boxes()[0].text,
        Folder() +
            "other.wav\nThis file is currently open.\n\nPlease choose a different file name.");
    EXPECT_EQ(m_prompts.Boxes()[0].caption, "Save As...");
    EXPECT_TRUE(dialog->GetPathName().isEmpty());

    // The saving document's own name goes on to the replace question.
    std::ofstream(Folder() + "other.wav") << "RIFF";
    dialog->SetOwnDocument(QString::fromStdString(Folder() + "other.wav"));
    m_prompts.Script(UserPrompts::Answer::Yes);
    TypeAndAccept(*dialog, "other.wav");
    ASSERT_EQ(m_prompts.Boxes().size(), 2u);
    EXPECT_EQ(m_prompts.Boxes()[1].buttons, UserPrompts::Buttons::YesNo);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->GetPathName().toStdString(), Folder() + "other.wav");
}

TEST_F(SaveAsDialogTest, AnsweringNoToReplaceKeepsTheNameInPlace) {
    std::ofstream(Folder() + "mix.aif") << "FORM";
    auto dialog = Open(2);
    m_prompts.Script(UserPrompts::Answer::No);
    TypeAndAccept(*dialog, "mix");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->NameBox()->text(), "mix.aif");
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text,
              Folder() + "mix.aif\nThis file already exists.\n\nReplace existing file?");
    EXPECT_EQ(m_prompts.Boxes()[0].defaultAnswer, UserPrompts::Answer::No);

    m_prompts.Script(UserPrompts::Answer::Yes);
    QTest::keyClick(dialog->NameBox(), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->GetFileTitle(), "mix.aif");
}

TEST_F(SaveAsDialogTest, ChangingTheFileTypeChangesTheExtension) {
    auto dialog = Open(1, "take.wav");
    PickType(*dialog, 1);
    EXPECT_EQ(dialog->NameBox()->text(), "take.aif");
    EXPECT_EQ(dialog->GetFileType(), 2);
    PickType(*dialog, 0);
    EXPECT_EQ(dialog->NameBox()->text(), "take.wav");

    dialog->NameBox()->clear();
    PickType(*dialog, 1);
    EXPECT_EQ(dialog->NameBox()->text(), "*.aif");

    // An upper-case extension typed stays upper-case.
    dialog->NameBox()->clear();
    QTest::keyClicks(dialog->NameBox(), "LOUD.AIF");
    PickType(*dialog, 0);
    EXPECT_EQ(dialog->NameBox()->text(), "LOUD.WAV");
    PickType(*dialog, 1);
    EXPECT_EQ(dialog->NameBox()->text(), "LOUD.AIF");

    // The name the type box left is accepted as it stands.
    dialog->NameBox()->clear();
    QTest::keyClicks(dialog->NameBox(), "song");
    PickType(*dialog, 0);
    EXPECT_EQ(dialog->NameBox()->text(), "song.wav");
    QTest::keyClick(dialog->NameBox(), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->GetPathName().toStdString(), Folder() + "song.wav");
    EXPECT_EQ(dialog->GetFileType(), 1);
}

TEST_F(SaveAsDialogTest, FoldersAreEnteredAndLeftAsInAnyFileDialog) {
    std::filesystem::create_directory(m_dir.Path() / "sub");
    const std::string top = m_dir.Path().string();
    auto dialog = Open(1);
    const auto shown = [&] { return dialog->directory().absolutePath().toStdString(); };

    // A folder's name enters it; ".." goes up; "sub/" enters it again.
    TypeAndAccept(*dialog, "sub");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(shown(), top + "/sub");
    TypeAndAccept(*dialog, "..");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(shown(), top);
    TypeAndAccept(*dialog, "sub/");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(shown(), top + "/sub");
    // None of that was a name to check or to save under.
    EXPECT_TRUE(m_prompts.Boxes().empty());
    EXPECT_TRUE(dialog->GetPathName().isEmpty());
    EXPECT_NE(dialog->result(), QDialog::Accepted);

    // A typed path is a name: the checks see the file it names.
    std::ofstream(Folder() + "mix.wav") << "RIFF";
    m_prompts.Script(UserPrompts::Answer::No);
    TypeAndAccept(*dialog, "../mix");
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_EQ(m_prompts.Boxes()[0].text,
              Folder() + "mix.wav\nThis file already exists.\n\nReplace existing file?");
    TypeAndAccept(*dialog, "../sub/take");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->GetPathName().toStdString(), Folder() + "sub/take.wav");
    EXPECT_EQ(dialog->GetFileTitle(), "take.wav");

    // "~" is the home folder, as Qt's dialog reads it.
    auto home = Open(1);
    TypeAndAccept(*home, "~");
    EXPECT_TRUE(home->isVisible());
    EXPECT_EQ(home->directory().absolutePath(), QDir::home().absolutePath());
}

TEST_F(SaveAsDialogTest, ANameQtAcceptsByItselfIsCheckedToo) {
    m_open = {Folder() + "other.wav"};
    std::ofstream(Folder() + "other.wav") << "RIFF";
    auto dialog = Open(1, "other.wav");
    // As when the list's choice is accepted without the name box.
    static_cast<QDialog&>(*dialog).done(QDialog::Accepted);
    EXPECT_TRUE(dialog->isVisible());
    ASSERT_EQ(m_prompts.Boxes().size(), 1u);
    EXPECT_NE(m_prompts.Boxes()[0].text.find("This file is currently open."), std::string::npos);
    EXPECT_TRUE(dialog->GetPathName().isEmpty());
}
