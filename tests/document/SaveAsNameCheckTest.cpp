#include "document/SaveAsNameCheck.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace {

const std::vector<std::string> kPatterns = {"*.WAV", "*.AIF"};

// The program's open documents, by full path; records every question asked of it.
struct OpenDocuments {
    std::set<std::string> paths;
    std::vector<std::string> asked;

    SaveAsNameCheck::IsOpenQuery Query() {
        // The application compares documents by normalised absolute path.
        return [this](const std::string& path) {
            asked.push_back(path);
            return paths.count(std::filesystem::path(path).lexically_normal().string()) > 0;
        };
    }
};

void Touch(const std::string& path) {
    std::ofstream(path) << "RIFF";
}

}  // namespace

TEST(SaveAsNameCheck, MissingExtensionFollowsTheFileTypeAndATypedOneIsKept) {
    TempDir dir;
    ScriptedPrompts prompts;
    OpenDocuments open;
    SaveAsNameCheck check(prompts, open.Query());
    const std::string folder = dir.Path().string() + "/";

    auto wav = check.CheckOnAccept(folder + "mix", SaveAsNameCheck::kWaveType);
    EXPECT_TRUE(wav.accepted);
    EXPECT_EQ(wav.fullPath, folder + "mix.wav");
    EXPECT_EQ(wav.title, "mix.wav");

    auto aif = check.CheckOnAccept(folder + "mix", SaveAsNameCheck::kAiffType);
    EXPECT_EQ(aif.fullPath, folder + "mix.aif");
    EXPECT_EQ(aif.title, "mix.aif");

    auto kept = check.CheckOnAccept(folder + "mix.aif", SaveAsNameCheck::kWaveType);
    EXPECT_EQ(kept.title, "mix.aif");
    // Only the last dot splits; a dot in the folder does not.
    auto dotted = check.CheckOnAccept(folder + "a.b/take.2", SaveAsNameCheck::kWaveType);
    EXPECT_EQ(dotted.fullPath, folder + "a.b/take.2");
    EXPECT_EQ(dotted.title, "take.2");
    auto bare = check.CheckOnAccept(folder + "v1.0/take", SaveAsNameCheck::kAiffType);
    EXPECT_EQ(bare.fullPath, folder + "v1.0/take.aif");
    // A trailing dot counts as no extension.
    EXPECT_EQ(check.CheckOnAccept(folder + "mix.", 1).title, "mix.wav");
    // With no folder the name stands alone.
    EXPECT_EQ(check.CheckOnAccept("mix", 2).fullPath, "mix.aif");

    EXPECT_TRUE(prompts.Boxes().empty());
    EXPECT_EQ(open.asked.front(), folder + "mix.wav");
}

TEST(SaveAsNameCheck, AnotherOpenDocumentIsRefusedButTheOwnNameGoesOnToReplace) {
    TempDir dir;
    const std::string own = dir.File("own.wav");
    const std::string other = dir.File("other.wav");
    Touch(own);
    Touch(other);
    ScriptedPrompts prompts;
    OpenDocuments open;
    open.paths = {own, other};
    SaveAsNameCheck check(prompts, open.Query());
    check.SetOwnDocument(own);

    auto refused = check.CheckOnAccept(dir.File("other"), SaveAsNameCheck::kWaveType);
    EXPECT_FALSE(refused.accepted);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    const UserPrompts::Box& box = prompts.Boxes()[0];
    EXPECT_EQ(box.text,
              other + "\nThis file is currently open.\n\nPlease choose a different file name.");
    EXPECT_EQ(box.caption, "Save As...");
    EXPECT_EQ(box.icon, UserPrompts::Icon::Exclamation);
    EXPECT_EQ(box.buttons, UserPrompts::Buttons::Ok);

    prompts.Clear();
    prompts.Script(UserPrompts::Answer::Yes);
    auto again = check.CheckOnAccept(own, SaveAsNameCheck::kWaveType);
    EXPECT_TRUE(again.accepted);
    ASSERT_EQ(prompts.Boxes().size(), 1u);
    EXPECT_EQ(prompts.Boxes()[0].text,
              own + "\nThis file already exists.\n\nReplace existing file?");
    EXPECT_EQ(prompts.Boxes()[0].buttons, UserPrompts::Buttons::YesNo);
    EXPECT_EQ(prompts.Boxes()[0].defaultAnswer, UserPrompts::Answer::No);
    EXPECT_EQ(prompts.Boxes()[0].icon, UserPrompts::Icon::Exclamation);
    EXPECT_EQ(prompts.Boxes()[0].caption, "Save As...");

    // The own path is compared exactly: another spelling of the same open file is refused.
    prompts.Clear();
    const std::string spelling = dir.Path().string() + "/./own.wav";
    EXPECT_FALSE(check.CheckOnAccept(spelling, 1).accepted);
    EXPECT_EQ(prompts.Texts(),
              std::vector<std::string>{spelling + "\nThis file is currently open.\n\nPlease "
                                                  "choose a different file name."});
}

TEST(SaveAsNameCheck, ExportRefusesEveryOpenDocumentItsOwnIncluded) {
    TempDir dir;
    const std::string exporting = dir.File("take.wav");
    ScriptedPrompts prompts;
    OpenDocuments open;
    open.paths = {exporting};
    SaveAsNameCheck check(prompts, open.Query());  // the export never sets its own path

    EXPECT_FALSE(check.CheckOnAccept(dir.File("take"), SaveAsNameCheck::kWaveType).accepted);
    ASSERT_EQ(prompts.Texts().size(), 1u);
    EXPECT_NE(prompts.Texts()[0].find("This file is currently open."), std::string::npos);

    // Clearing the own document after a Save As restores the export's rule.
    check.SetOwnDocument(exporting);
    check.ClearOwnDocument();
    EXPECT_FALSE(check.CheckOnAccept(exporting, SaveAsNameCheck::kWaveType).accepted);
    EXPECT_EQ(prompts.Texts().size(), 2u);
}

TEST(SaveAsNameCheck, ReplaceQuestionAnsweredNoKeepsTheDialogOpenWithTheName) {
    TempDir dir;
    Touch(dir.File("mix.aif"));
    ScriptedPrompts prompts;
    SaveAsNameCheck check(prompts, nullptr);

    prompts.Script(UserPrompts::Answer::No);
    auto no = check.CheckOnAccept(dir.File("mix"), SaveAsNameCheck::kAiffType);
    EXPECT_FALSE(no.accepted);
    EXPECT_EQ(no.title, "mix.aif");  // stays in the name box

    // With the script used up the box gets its default: No.
    EXPECT_FALSE(check.CheckOnAccept(dir.File("mix"), SaveAsNameCheck::kAiffType).accepted);
    EXPECT_EQ(prompts.Boxes().size(), 2u);

    // The same name as WAV does not exist: accepted with no question.
    EXPECT_TRUE(check.CheckOnAccept(dir.File("mix"), SaveAsNameCheck::kWaveType).accepted);
    EXPECT_EQ(prompts.Boxes().size(), 2u);

    // Nothing typed: refused without a box.
    EXPECT_FALSE(check.CheckOnAccept(dir.Path().string() + "/", 1).accepted);
    EXPECT_EQ(prompts.Boxes().size(), 2u);
}

TEST(SaveAsNameCheck, ExtensionFollowsTheChosenFileType) {
    using Check = SaveAsNameCheck;
    // The extension keeps the case the user typed; without one typed it is lower-case.
    EXPECT_EQ(Check::NameForFileType(kPatterns, 2, "take"), "take.aif");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 1, "take.aif"), "take.wav");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 1, "TAKE.AIF"), "TAKE.WAV");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 2, "Take.Wav"), "Take.aif");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 2, "take.2"), "take.aif");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 1, ""), "*.wav");
    EXPECT_EQ(Check::NameForFileType({"*.aif;*.aiff"}, 1, "take"), "take.aif");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 2, "v1.0/take"), "v1.0/take.aif");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 2, "V1.0/TAKE"), "V1.0/TAKE.aif");
    EXPECT_EQ(Check::NameForFileType(kPatterns, 2, "a.b.c"), "a.b.aif");
    EXPECT_FALSE(Check::NameForFileType(kPatterns, 0, "take").has_value());
    EXPECT_FALSE(Check::NameForFileType(kPatterns, 3, "take").has_value());
    EXPECT_FALSE(Check::NameForFileType({"*.WAV", ""}, 2, "take").has_value());
}
