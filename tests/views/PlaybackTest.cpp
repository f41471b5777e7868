// Playback from a view through the real mixer on OpenAL Soft's null back end, which plays in
// real time: the sounds here last well under a second.
#include <gtest/gtest.h>

#include <QTest>
#include <QThread>
#include <algorithm>

#include "ViewTestBench.h"
#include "trevant/trevant.h"

namespace {

class ViewPlayback : public ::testing::Test {
  protected:
    bool WaitForEnd() {
        return ViewTestBench::WaitUntil([this] { return !bench.app.IsPlaying(); });
    }
    uint32_t PlayPosition() {
        const AmbrelWaveMixWave wave = bench.app.GetPlayback().GetWave();
        uint32_t position = 0;
        EXPECT_EQ(AmbrelWaveMixGetPlayPosition(bench.app.GetMixerSession(), 0, &wave, &position,
                                               AMBREL_WAVEMIX_POSITION_FRAMES),
                  0);
        return position;
    }

    ViewTestBench bench;
};

}  // namespace

TEST_F(ViewPlayback, ACaretPlaysToTheEndAndComesBackWhereItBegan) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);
    view->SetSelection(1000, 1001);
    view->Playback().Play();
    ASSERT_TRUE(bench.app.IsPlaying());
    EXPECT_TRUE(bench.app.GetPlayback().IsPlaying(doc));
    EXPECT_EQ(bench.app.GetPlayback().GetPlayingDocument(), &view->GetDocument());
    EXPECT_EQ(bench.app.GetPlayback().GetPlayStart(), 1000u);
    EXPECT_FALSE(
        bench.app.GetPlayback().IsSteppingDirection());  // no pan points: straight ahead, no ticks
    view->SetSelection(3000, 3001);                      // moved while playing

    ASSERT_TRUE(WaitForEnd());
    EXPECT_FALSE(bench.app.GetPlayback().IsPlaying(doc));
    EXPECT_EQ(PlayPosition(), 4000u);  // frames 1000 ... 4999
    EXPECT_EQ(view->GetSelStart(), 1000u);
    EXPECT_TRUE(view->IsCaret());
    // No marker at any time: only "no direction".
    EXPECT_FALSE(bar.livePans.empty());
    EXPECT_TRUE(std::all_of(bar.livePans.begin(), bar.livePans.end(),
                            [](int pan) { return pan == kNoLivePan; }));
    EXPECT_TRUE(bench.prompts.Boxes().empty());
}

TEST_F(ViewPlayback, ARangePlaysItsFramesAndStaysSelected) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    view->SetSelection(1000, 2000);
    view->Playback().Play();
    ASSERT_TRUE(WaitForEnd());
    EXPECT_EQ(PlayPosition(), 1000u);
    EXPECT_EQ(view->GetSelStart(), 1000u);
    EXPECT_EQ(view->GetSelEnd(), 2000u);
}

TEST_F(ViewPlayback, TheDirectionFollowsTheTrajectoryAndHoldsAfterTheLastPoint) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(12000, 22050, {{0, -90}, {8192, 90}}));
    auto view = bench.MakeView(doc, 500, 100);
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);
    bar.livePans.clear();
    view->Playback().Play();
    ASSERT_TRUE(bench.app.GetPlayback().IsSteppingDirection());
    ASSERT_TRUE(WaitForEnd());
    EXPECT_FALSE(bench.app.GetPlayback().IsSteppingDirection());

    // The ticks' directions climb from the left to the right and hold there; the end clears.
    ASSERT_GE(bar.livePans.size(), 4u);
    EXPECT_EQ(bar.livePans.back(), kNoLivePan);
    bar.livePans.pop_back();
    EXPECT_TRUE(std::is_sorted(bar.livePans.begin(), bar.livePans.end()));
    EXPECT_GE(bar.livePans.front(), -90);
    EXPECT_EQ(bar.livePans.back(), 90);

    // The stepping itself, at chosen positions of a play from frame 0.
    view->SetSelection(0, 1);
    view->Playback().Play();
    EXPECT_EQ(bench.app.GetPlayback().StepDirection(0), -90);
    EXPECT_EQ(bench.app.GetPlayback().StepDirection(4096), 0);
    EXPECT_EQ(bench.app.GetPlayback().StepDirection(8191), 89);
    EXPECT_EQ(bench.app.GetPlayback().StepDirection(8192), 90);
    EXPECT_EQ(bench.app.GetPlayback().StepDirection(11000), 90);
    bench.app.GetPlayback().Stop();

    // A trajectory emptied while playing keeps the last direction.
    view->Playback().Play();
    while (doc.GetPanPoints().GetCount() > 0) {
        doc.RemovePoint(doc.NextPoint(nullptr));
    }
    EXPECT_FALSE(bench.app.GetPlayback().StepDirection(9000).has_value());
}

TEST_F(ViewPlayback, StopMovesTheCaretOnlyWithCursorFollowAndACaret) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(22050));
    auto view = bench.MakeView(doc, 500, 100);
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);

    {
        Preferences prefs = bench.app.GetPreferences();
        prefs.bCursorFollow = true;
        bench.app.SetPreferences(prefs);
    }
    view->SetSelection(100, 101);
    view->Playback().Play();
    QTest::qWait(150);
    bench.app.GetPlayback().Stop();
    EXPECT_FALSE(bench.app.GetPlayback().IsPlaying(doc));
    EXPECT_GT(view->GetSelStart(), 100u);
    EXPECT_LT(view->GetSelStart(), 22049u);
    EXPECT_TRUE(view->IsCaret());
    EXPECT_EQ(bar.livePans.back(), kNoLivePan);

    view->SetSelection(100, 20000);
    view->Playback().Play();
    QTest::qWait(100);
    bench.app.GetPlayback().Stop();
    EXPECT_EQ(view->GetSelStart(), 100u);
    EXPECT_EQ(view->GetSelEnd(), 20000u);

    {
        Preferences prefs = bench.app.GetPreferences();
        prefs.bCursorFollow = false;
        bench.app.SetPreferences(prefs);
    }
    view->SetSelection(100, 101);
    view->Playback().Play();
    QTest::qWait(100);
    bench.app.GetPlayback().Stop();
    EXPECT_EQ(view->GetSelStart(), 100u);
    EXPECT_TRUE(bench.prompts.Boxes().empty());
}

TEST_F(ViewPlayback, SpaceStopsWhateverPlaysAndEnterReturnsToTheStart) {
    CTesselDoc& first = bench.Document(ViewTestBench::Mono(22050));
    CTesselDoc& second = bench.Document(ViewTestBench::Mono(22050));
    auto one = bench.MakeView(first, 500, 100);
    auto two = bench.MakeView(second, 500, 100);
    QTest::keyClick(one.get(), Qt::Key_Space);
    ASSERT_TRUE(bench.app.GetPlayback().IsPlaying(first));
    QTest::keyClick(two.get(), Qt::Key_Space);
    EXPECT_FALSE(bench.app.IsPlaying());
    EXPECT_FALSE(bench.app.GetPlayback().IsPlaying(first));
    EXPECT_FALSE(bench.app.GetPlayback().IsPlaying(second));

    QTest::keyClick(two.get(), Qt::Key_Space);
    ASSERT_TRUE(bench.app.GetPlayback().IsPlaying(second));
    two->SetSelection(500, 900);
    QTest::keyClick(two.get(), Qt::Key_Return);
    EXPECT_FALSE(bench.app.IsPlaying());
    EXPECT_EQ(two->GetSelStart(), 0u);
    EXPECT_EQ(two->GetSelEnd(), 1u);
}

TEST_F(ViewPlayback, ALateEndOfAnEarlierPlayIsIgnored) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(22050));
    auto view = bench.MakeView(doc, 500, 100);
    view->SetSelection(0, 100);  // about 5 ms
    view->Playback().Play();
    // Its end is posted meanwhile but not yet delivered when the next play starts.
    QThread::msleep(200);
    bench.app.GetPlayback().Stop();
    view->SetSelection(0, 1);
    view->Playback().Play();
    QTest::qWait(150);
    EXPECT_TRUE(bench.app.GetPlayback().IsPlaying(doc));
    EXPECT_TRUE(bench.app.IsPlaying());
}
