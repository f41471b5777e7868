#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "playback/QtUserPrompts.h"
#include "support/ModalDialog.h"

namespace {

// Answers the next modal box by pressing the button for `button`, after noting what it showed.
struct BoxSeen {
    QString text;
    QString title;
    QString informative;
    QVariant helpId;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QAbstractButton* defaultButton = nullptr;
    bool bDefaultIsNo = false;
};

void AnswerNextBox(QMessageBox::StandardButton button, BoxSeen* seen) {
    ModalDialog::When<QMessageBox>([button, seen](QMessageBox& box) {
        seen->text = box.text();
        seen->title = box.windowTitle();
        seen->informative = box.informativeText();
        seen->helpId = box.property("helpId");
        seen->icon = box.icon();
        seen->bDefaultIsNo = box.defaultButton() == box.button(QMessageBox::No);
        box.button(button)->click();
    });
}

TEST(QtPrompts, MessageBoxKeepsTextCaptionIconHelpIdAndAnswers) {
    QtUserPrompts prompts;
    BoxSeen seen;
    AnswerNextBox(QMessageBox::Ok, &seen);
    EXPECT_EQ(prompts.Message("Error reading file!", UserPrompts::Icon::Exclamation, 104),
              UserPrompts::Answer::Ok);
    EXPECT_EQ(seen.text, "Error reading file!");
    EXPECT_EQ(seen.title, "Sonomap");
    EXPECT_EQ(seen.helpId.toUInt(), 104u);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.informative, "");

    // The line that says more goes under the text, which stays as it is.
    AnswerNextBox(QMessageBox::Ok, &seen);
    prompts.Message("Error reading file!", UserPrompts::Icon::None, 104,
                    "Sonomap cannot open /a/b.wav: the file is empty.");
    EXPECT_EQ(seen.text, "Error reading file!");
    EXPECT_EQ(seen.informative, "Sonomap cannot open /a/b.wav: the file is empty.");

    UserPrompts::Box question;
    question.text = "Save changes?";
    question.caption = "Question";
    question.buttons = UserPrompts::Buttons::YesNo;
    question.icon = UserPrompts::Icon::Question;
    question.defaultAnswer = UserPrompts::Answer::No;
    AnswerNextBox(QMessageBox::Yes, &seen);
    EXPECT_EQ(prompts.ShowMessage(question), UserPrompts::Answer::Yes);
    EXPECT_EQ(seen.title, "Question");
    EXPECT_TRUE(seen.bDefaultIsNo);
    AnswerNextBox(QMessageBox::No, &seen);
    EXPECT_EQ(prompts.ShowMessage(question), UserPrompts::Answer::No);
}

TEST(QtPrompts, ProcessingWindowShowsItsLineAndHides) {
    QtUserPrompts prompts;
    prompts.SetProcessingText("ignored before opening");
    prompts.CloseProcessingWindow();
    EXPECT_EQ(prompts.ProcessingWindow(), nullptr);

    prompts.OpenProcessingWindow();
    ASSERT_NE(prompts.ProcessingWindow(), nullptr);
    EXPECT_TRUE(prompts.ProcessingWindow()->isVisible());
    EXPECT_FALSE(prompts.ProcessingWindow()->isModal());
    EXPECT_EQ(prompts.ProcessingWindow()->windowTitle(), "Processing...");
    prompts.SetProcessingText("Loading Waveform...");
    EXPECT_EQ(prompts.ProcessingText(), "Loading Waveform...");
    prompts.CloseProcessingWindow();
    EXPECT_FALSE(prompts.ProcessingWindow()->isVisible());
    // Opening again starts with an empty line.
    prompts.OpenProcessingWindow();
    EXPECT_TRUE(prompts.ProcessingWindow()->isVisible());
    EXPECT_EQ(prompts.ProcessingText(), "");
}

}  // namespace
