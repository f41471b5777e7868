// The exact values of a pan point: the time texts, the bounds the neighbours and the sound's
// end set, the checks of typed values, and OK as one undo step.
#include "document/PointProperties.h"

#include <gtest/gtest.h>

#include <memory>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "geometry/TimeText.h"
#include "support/DocumentTestFiles.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace {

class PointPropertiesTest : public ::testing::Test {
  protected:
    void SetUp() override { doc = PointPropertiesDocument(host); }
    PanPoint& At(size_t index) { return *PointAt(*doc, index); }

    TestDocumentHost host;
    std::unique_ptr<CTesselDoc> doc;
};

}  // namespace

TEST(TimeText, ShowsMinutesSecondsAndTruncatedMilliseconds) {
    EXPECT_EQ(TimeText::Precise(0, 44100), "0:00.000");
    EXPECT_EQ(TimeText::Precise(44099, 44100), "0:00.999");
    EXPECT_EQ(TimeText::Precise(62345 * 44100ull / 1000 + 1, 44100), "1:02.345");
    EXPECT_EQ(TimeText::Precise(uint64_t{4294967295u}, 6000), "11930:27.882");
    EXPECT_EQ(TimeText::Whole(44099, 44100), "0:00");
    EXPECT_EQ(TimeText::Whole(22050 * 61, 22050), "1:01");
    EXPECT_EQ(TimeText::Progress(8192, 20000, 22050), "0:00 of 0:00");
    EXPECT_EQ(TimeText::Progress(44100, 44100 * 75, 44100), "0:01 of 1:15");
}

TEST(TimeText, ParsesWhatItShowsAndRefusesTheRest) {
    EXPECT_EQ(TimeText::ParseMilliseconds("1:02.345"), 62345u);
    EXPECT_EQ(TimeText::ParseMilliseconds(" 0:01.25 "), 1250u);
    EXPECT_EQ(TimeText::ParseMilliseconds("2:05"), 125000u);
    EXPECT_EQ(TimeText::ParseMilliseconds("90.5"), 90500u);
    EXPECT_EQ(TimeText::ParseMilliseconds("7"), 7000u);
    for (const char* bad :
         {"", "1:60.000", "1:2:3", "0:01.2345", "0:01.", "a:01", "-1", "1,5", "0:1x"}) {
        EXPECT_FALSE(TimeText::ParseMilliseconds(bad).has_value()) << bad;
    }
    // Every frame's shown time reads back as the first frame that shows it.
    for (uint32_t rate : {6000u, 22050u, 44100u, 48000u}) {
        for (uint64_t frame = 0; frame < 3 * rate; frame += 97) {
            const uint64_t back = TimeText::FrameAt(
                *TimeText::ParseMilliseconds(TimeText::Precise(frame, rate)), rate);
            EXPECT_LE(back, frame);
            EXPECT_EQ(TimeText::Precise(back, rate), TimeText::Precise(frame, rate));
            if (back > 0) {
                EXPECT_NE(TimeText::Precise(back - 1, rate), TimeText::Precise(frame, rate));
            }
        }
    }
}

TEST_F(PointPropertiesTest, TheNeighboursAndTheEndOfTheSoundBoundThePosition) {
    PointProperties middle(*doc, At(1));
    EXPECT_EQ(middle.Lowest(), 1001u);
    EXPECT_EQ(middle.Highest(), 2999u);
    EXPECT_EQ(middle.Clamp(-5), 1001u);
    EXPECT_EQ(middle.Clamp(99999), 2999u);
    PointProperties first(*doc, At(0));
    EXPECT_EQ(first.Lowest(), 0u);
    PointProperties last(*doc, At(2));
    EXPECT_EQ(last.Highest(), 44100u);

    // Points that share a frame keep it open to each other.
    doc->AddPoint(3000, 40);
    PointProperties twin(*doc, At(3));
    EXPECT_EQ(twin.Lowest(), 3000u);
    EXPECT_EQ(twin.Highest(), 44100u);
    EXPECT_EQ(PointProperties(*doc, At(2)).Highest(), 3000u);
}

TEST_F(PointPropertiesTest, TypedValuesAreCheckedWithAMessageForEachRefusal) {
    PointProperties middle(*doc, At(1));
    EXPECT_EQ(middle.CheckFrames(" 2500 ").value, 2500u);
    EXPECT_EQ(middle.CheckFrames("3000").error,
              "The position must lie from frame 1001 (0:00.022) to frame 2999 (0:00.068): the "
              "point after it lies at frame 3000.");
    EXPECT_EQ(middle.CheckFrames("1000").error,
              "The position must lie from frame 1001 (0:00.022) to frame 2999 (0:00.068): the "
              "point before it lies at frame 1000.");
    EXPECT_EQ(middle.CheckFrames("12.5").error,
              "Type the position as a whole number of frames from 0.");
    EXPECT_FALSE(middle.CheckFrames("-3").value.has_value());

    EXPECT_EQ(middle.CheckTime("0:00.050").value, 2205u);
    // The point's own time gives its own frame, though 1985 shows 0:00.045 first.
    EXPECT_EQ(middle.TimeOf(2000), "0:00.045");
    EXPECT_EQ(middle.CheckTime("0:00.045").value, 2000u);
    EXPECT_EQ(middle.CheckTime("0:01").error.rfind("The position must lie from", 0), 0u);
    EXPECT_EQ(middle.CheckTime("one second").error,
              "Type the time as m:ss.mmm, for example 0:01.250.");

    PointProperties last(*doc, At(2));
    EXPECT_EQ(last.CheckFrames("44101").error,
              "The position must lie from frame 2001 (0:00.045) to frame 44100 (0:01.000): the "
              "sound ends at frame 44100.");

    EXPECT_EQ(middle.CheckPan("+45").value, 45);
    EXPECT_EQ(middle.CheckPan(" -90\xC2\xB0").value, -90);
    for (const char* bad : {"91", "-91", "4.5", "", "left"}) {
        EXPECT_EQ(middle.CheckPan(bad).error,
                  "The direction must be a whole number of degrees from -90 (full left) to +90 "
                  "(full right).")
            << bad;
    }
}

TEST_F(PointPropertiesTest, OkIsOneModifyStepAndNothingWhenUnchanged) {
    PanPoint& point = At(1);
    PointProperties properties(*doc, point);
    EXPECT_FALSE(properties.Apply(2000, 20));  // the point's own values
    EXPECT_FALSE(properties.Apply(3000, 20));  // past its neighbour
    EXPECT_FALSE(PanEditCommands::CanUndo(*doc));
    EXPECT_FALSE(doc->IsModified());

    ASSERT_TRUE(properties.Apply(2500, -45));
    EXPECT_EQ(point.position, 2500u);
    EXPECT_EQ(point.Pan(), -45);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
    EXPECT_EQ(doc->GetUndoHistory().UndoName(), "Modify Point");
    ASSERT_TRUE(PanEditCommands::Undo(*doc));
    EXPECT_EQ(point.position, 2000u);
    EXPECT_EQ(point.Pan(), 20);
}
