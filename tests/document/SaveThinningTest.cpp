// A trajectory of more points than a file holds: Save offers to thin it to the fewest points
// within the smallest tolerance that fits, as one undo step; refused, or with no tolerance
// that fits, the save fails with "Error saving achunk!" and a line saying the limit and how
// to thin, and the file stays as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/PanEditCommands.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

constexpr uint32_t kPoints = 70001;

// 70003 as "70,003".
std::string Commas(uint32_t count) {
    return std::to_string(count / 1000) + "," + std::to_string(count % 1000 + 1000).substr(1);
}

}  // namespace

TEST(SaveThinning, TooManyPointsAreThinnedWhenTheUserAgreesOrTheSaveSaysWhy) {
    const struct {
        const char* name;
        std::function<int32_t(uint32_t)> pan;       // of the point at frame i
        bool bSameFrame;                            // every point at one frame
        std::optional<UserPrompts::Answer> answer;  // none: no question is asked
        const char* tolerance;                      // in the question
    } cases[] = {
        {"a sweep, thinned",
         [](uint32_t i) { return static_cast<int32_t>(i * 180 / kPoints) - 90; }, false,
         UserPrompts::Answer::Yes, "within 0.5 degrees"},
        {"a sweep, left", [](uint32_t i) { return static_cast<int32_t>(i * 180 / kPoints) - 90; },
         false, UserPrompts::Answer::No, "within 0.5 degrees"},
        {"a flutter of two degrees", [](uint32_t i) { return static_cast<int32_t>(i % 2) * 2; },
         false, UserPrompts::Answer::Yes, "within 2 degrees"},
        {"a flutter of a degree", [](uint32_t i) { return static_cast<int32_t>(i % 2); }, false,
         UserPrompts::Answer::Yes, "within 1 degree of"},
        {"a noise no tolerance fits",
         [](uint32_t i) { return static_cast<int32_t>(((i * 2654435761u) >> 13) % 181u) - 90; },
         false, std::nullopt, ""},
        {"steps at one frame", [](uint32_t) { return 0; }, true, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        TestDocumentHost host;
        const std::string path = dir.File("crowded.wav");
        TestSound sound = FirstChannelNoise(1, 22050, kPoints + 10, 3000, 1);
        sound.points.clear();  // each point added after the last goes in at once
        const std::unique_ptr<CTesselDoc> doc = OpenTestDocument(host, path, sound);
        const Bytes before = ReadBytes(path);
        for (uint32_t i = 0; i < kPoints; ++i) {
            ASSERT_NE(doc->AddPoint(c.bSameFrame ? 5 : i + 1, c.pan(i)), nullptr);
        }
        const uint32_t count = doc->GetPanPoints().GetCount();
        if (c.answer) {
            host.prompts.Script(*c.answer);
        }

        const bool bSaved = DocumentSave(*doc).Save();

        const std::vector<UserPrompts::Box>& boxes = host.prompts.Boxes();
        ASSERT_FALSE(boxes.empty());
        size_t next = 0;
        if (c.answer) {
            EXPECT_EQ(boxes[0].buttons, UserPrompts::Buttons::YesNo);
            EXPECT_EQ(boxes[0].defaultAnswer, UserPrompts::Answer::No);
            EXPECT_NE(boxes[0].text.find("has " + Commas(count) + " pan points"), std::string::npos)
                << boxes[0].text;
            EXPECT_NE(boxes[0].text.find(c.tolerance), std::string::npos) << boxes[0].text;
            next = 1;
        }
        if (c.answer == UserPrompts::Answer::Yes) {
            ASSERT_TRUE(bSaved) << testing::PrintToString(host.prompts.Texts());
            EXPECT_EQ(boxes.size(), 1u);
            const uint32_t kept = doc->GetPanPoints().GetCount();
            EXPECT_LE(kept, 65535u);
            EXPECT_FALSE(doc->IsModified());
            // What was written is what the document kept.
            TestDocumentHost reader;
            CTesselDoc reopened(reader);
            ASSERT_TRUE(DocumentOpen(reopened).Open(path));
            EXPECT_EQ(reopened.GetPanPoints().Values(), doc->GetPanPoints().Values());
            // One step takes the thinning back.
            ASSERT_TRUE(PanEditCommands::Undo(*doc));
            EXPECT_EQ(doc->GetPanPoints().GetCount(), count);
            continue;
        }
        EXPECT_FALSE(bSaved);
        ASSERT_EQ(boxes.size(), next + 1);
        EXPECT_EQ(boxes[next].text, "Error saving achunk!");
        EXPECT_NE(boxes[next].informative.find(
                      "at most 65,535 pan points, and this trajectory has " + Commas(count)),
                  std::string::npos)
            << boxes[next].informative;
        EXPECT_NE(boxes[next].informative.find("--thin DEGREES"), std::string::npos);
        EXPECT_EQ(doc->GetPanPoints().GetCount(), count);
        EXPECT_EQ(ReadBytes(path), before);
    }
}
