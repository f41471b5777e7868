#include "support/ScriptedPrompts.h"

#include <gtest/gtest.h>

TEST(ScriptedPrompts, RecordsBoxesAndAnswersFromTheScriptThenDefaults) {
    ScriptedPrompts prompts;
    prompts.Script(UserPrompts::Answer::Yes);

    UserPrompts::Box question;
    question.text = "Replace?";
    question.caption = "Save As...";
    question.buttons = UserPrompts::Buttons::YesNo;
    question.icon = UserPrompts::Icon::Exclamation;
    question.defaultAnswer = UserPrompts::Answer::No;

    EXPECT_EQ(prompts.ShowMessage(question), UserPrompts::Answer::Yes);
    EXPECT_EQ(prompts.ShowMessage(question), UserPrompts::Answer::No);  // script used up
    EXPECT_EQ(prompts.Message("Bad file", UserPrompts::Icon::None, 104), UserPrompts::Answer::Ok);

    ASSERT_EQ(prompts.Boxes().size(), 3u);
    EXPECT_EQ(prompts.Boxes()[0].caption, "Save As...");
    EXPECT_EQ(prompts.Boxes()[2].caption, UserPrompts::kAppCaption);
    EXPECT_EQ(prompts.Boxes()[2].helpId, 104u);
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"Replace?", "Replace?", "Bad file"}));
}

TEST(ScriptedPrompts, TracksTheProcessingWindow) {
    ScriptedPrompts prompts;
    prompts.OpenProcessingWindow();
    prompts.SetProcessingText("Loading Waveform...");
    EXPECT_TRUE(prompts.IsProcessingWindowOpen());
    prompts.CloseProcessingWindow();
    EXPECT_FALSE(prompts.IsProcessingWindowOpen());
    EXPECT_EQ(prompts.ProcessingWindowOpenCount(), 1);
    EXPECT_EQ(prompts.ProcessingTexts(), std::vector<std::string>{"Loading Waveform..."});
}
