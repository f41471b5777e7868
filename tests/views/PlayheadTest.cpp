// The playhead of a wave view: its line against the real mixer's position on OpenAL Soft's
// null back end, the pixels and the repainted columns of one step, its end, the page-ahead of
// cursor following and the overview bar's line.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QTest>
#include <algorithm>

#include "ViewTestBench.h"
#include "trevant/trevant.h"
#include "views/COverviewToolBar.h"

namespace {

const QRgb kBlue = qRgb(0, 0, 255);

bool ColumnIs(const QImage& image, int x, QRgb colour) {
    for (int y = 0; y < image.height(); ++y) {
        if (image.pixel(x, y) != colour) {
            return false;
        }
    }
    return true;
}

// Collects the regions a widget is asked to paint.
class PaintSpy : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
    QRegion region;
};

class PlayheadTest : public ::testing::Test {
  protected:
    void SetCursorFollow(bool bOn) {
        Preferences prefs = bench.app.GetPreferences();
        prefs.bCursorFollow = bOn;
        bench.app.SetPreferences(prefs);
    }

    ViewTestBench bench;
};

}  // namespace

TEST_F(PlayheadTest, TheLineShowsTheMixersPositionLessItsLatencyAndGoesAtTheEnd) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(22050));  // one second
    auto view = bench.MakeView(doc, 500, 100);                     // 44.1 frames a column
    view->SetSelection(2205, 2206);
    view->Playback().Play();
    ASSERT_TRUE(bench.app.IsPlaying());
    ASSERT_TRUE(bench.app.GetPlayback().IsReadingPosition());
    // No pan points, so no pan ticks; the position ticks run all the same.
    EXPECT_FALSE(bench.app.GetPlayback().IsSteppingDirection());
    EXPECT_EQ(view->Playback().Frame(), 2205u);
    EXPECT_EQ(view->Playback().PlayheadX(), 50);

    const AmbrelWaveMixSession session = bench.app.GetMixerSession();
    const AmbrelWaveMixWave wave = bench.app.GetPlayback().GetWave();
    uint32_t previous = 2205;
    int checked = 0;
    bool bBehindTheMixer = false;
    while (checked < 12) {
        QTest::qWait(40);
        uint32_t before = 0;
        uint32_t latencyBefore = 0;
        uint32_t after = 0;
        uint32_t latencyAfter = 0;
        ASSERT_EQ(AmbrelWaveMixGetOutputPosition(session, 0, &wave, &before, &latencyBefore), 0);
        bench.app.GetPlayback().Tick();
        ASSERT_EQ(AmbrelWaveMixGetOutputPosition(session, 0, &wave, &after, &latencyAfter), 0);
        if (!bench.app.GetPlayback().IsPlaying(doc) || after >= 22050 - 2205) {
            break;  // played out meanwhile: the last stretch has no latency left to show
        }
        ASSERT_TRUE(view->Playback().Frame().has_value());
        const uint32_t frame = *view->Playback().Frame();
        // The frame heard lies between the mixer's reports on either side of the tick.
        EXPECT_GE(frame, PlaybackSession::HeardFrame(2205, before, latencyBefore, 22050));
        EXPECT_LE(frame, PlaybackSession::HeardFrame(2205, after, latencyAfter, 22050));
        bBehindTheMixer = bBehindTheMixer || (latencyAfter > 0 && frame < 2205 + before);
        EXPECT_GE(frame, previous);
        previous = frame;
        // The line stands at the frame's column, as a caret at that frame would.
        const WaveViewGeometry g = view->PaintedGeometry();
        EXPECT_EQ(view->Playback().PlayheadX(), g.ColumnOfSample(frame) - g.LeftColumn());
        ++checked;
    }
    EXPECT_GE(checked, 5);
    // The null device reports its latency, so the line trails what is being mixed.
    EXPECT_TRUE(bBehindTheMixer);

    ASSERT_TRUE(ViewTestBench::WaitUntil([&] { return !bench.app.IsPlaying(); }));
    EXPECT_FALSE(view->Playback().Frame().has_value());
    EXPECT_FALSE(view->Playback().PlayheadX().has_value());
    EXPECT_FALSE(bench.app.GetPlayback().IsReadingPosition());
    EXPECT_TRUE(bench.prompts.Boxes().empty());
}

TEST_F(PlayheadTest, AStepRepaintsOnlyTheOldAndTheNewColumnInBlue) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050, {{0, -90}, {50000, 90}}));
    auto view = bench.MakeView(doc, 500, 120);  // 100 frames a column
    view->SetSelection(10000, 20000);           // the line crosses the inverted range too
    Settle();
    const QImage before = Grab(*view);

    PaintSpy spy;
    view->viewport()->installEventFilter(&spy);
    view->Playback().ShowPlayPosition(5000);
    Settle();
    EXPECT_EQ(spy.region, QRegion(50, 0, 1, 120));
    view->Playback().ShowPlayPosition(15050);
    spy.region = QRegion();
    Settle();
    EXPECT_EQ(spy.region, QRegion(50, 0, 1, 120) + QRegion(150, 0, 1, 120));
    const QImage playing = Grab(*view);
    EXPECT_TRUE(ColumnIs(playing, 150, kBlue));
    EXPECT_FALSE(ColumnIs(playing, 149, kBlue));
    EXPECT_FALSE(ColumnIs(playing, 151, kBlue));
    // The old column shows what it showed before the line came.
    for (int y = 0; y < 120; ++y) {
        EXPECT_EQ(playing.pixel(50, y), before.pixel(50, y)) << y;
    }
    // A step within the same column repaints nothing.
    spy.region = QRegion();
    view->Playback().ShowPlayPosition(15099);
    Settle();
    EXPECT_TRUE(spy.region.isEmpty());

    view->Playback().ShowPlayPosition(std::nullopt);
    Settle();
    EXPECT_EQ(Grab(*view), before);
    view->viewport()->removeEventFilter(&spy);
}

TEST_F(PlayheadTest, StopTakesTheLineAwayAtOnce) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(22050));
    auto view = bench.MakeView(doc, 500, 100);
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);
    view->ActivateView(true);
    bar.playPositions.clear();
    view->Playback().Play();
    QTest::qWait(80);
    EXPECT_TRUE(view->Playback().PlayheadX().has_value());
    EXPECT_FALSE(view->Playback().PlayReadout().empty());
    bench.app.GetPlayback().Stop();
    EXPECT_FALSE(view->Playback().Frame().has_value());
    EXPECT_FALSE(view->Playback().PlayheadX().has_value());
    EXPECT_EQ(view->Playback().PlayReadout(), "");
    // The active view showed the bar each position and then none.
    ASSERT_GE(bar.playPositions.size(), 2u);
    EXPECT_EQ(bar.playPositions.front(), 0u);
    EXPECT_EQ(bar.playPositions.back(), kNoPlayPosition);
    // The player's own tick finds the sound gone and stops.
    bench.app.GetPlayback().Tick();
    EXPECT_FALSE(bench.app.GetPlayback().IsReadingPosition());
    view->ActivateView(false);
}

TEST_F(PlayheadTest, CursorFollowingPagesAheadAtTheRightEdge) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(80000, 48000));
    auto view = bench.MakeView(doc, 500, 100);
    for (int i = 0; i < 4; ++i) {
        view->Navigation().ZoomIn();  // ten frames a column
    }
    Settle();
    ASSERT_DOUBLE_EQ(view->PaintedGeometry().SamplesPerPixel(), 10.0);
    ASSERT_EQ(view->Geometry().LeftColumn(), 0);

    view->Playback().ShowPlayPosition(4000);
    view->Playback().ShowPlayPosition(5200);
    EXPECT_EQ(view->Geometry().LeftColumn(), 0);  // following is off
    view->Playback().ShowPlayPosition(std::nullopt);

    SetCursorFollow(true);
    view->Playback().ShowPlayPosition(4000);
    view->Playback().ShowPlayPosition(5200);
    EXPECT_EQ(view->Geometry().LeftColumn(), 520);
    Settle();
    EXPECT_EQ(view->Playback().PlayheadX(), 0);
    EXPECT_TRUE(ColumnIs(Grab(*view), 0, kBlue));
    view->Playback().ShowPlayPosition(std::nullopt);

    // And while it really plays: from the start, page after page.
    view->ScrollToSample(0);
    view->SetSelection(0, 1);
    Settle();
    view->Playback().Play();
    ASSERT_TRUE(ViewTestBench::WaitUntil([&] { return !bench.app.IsPlaying(); }));
    EXPECT_GT(view->Geometry().LeftColumn(), 500);
}

TEST_F(PlayheadTest, TheOverviewBarShowsTheSamePositionAsAThinLine) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(22050));
    auto view = bench.MakeView(doc, 500, 100);
    COverviewToolBar bar(bench.prompts);
    bar.resize(800, bar.sizeHint().height());
    bar.show();
    ViewTestBench::Feed(*view, bar);
    view->ActivateView(true);
    view->SetSelection(11025, 11026);
    ViewTestBench::Feed(*view, bar);
    Settle();
    const auto grabBar = [&bar] {
        return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    const QImage silent = grabBar();
    view->Playback().Play();
    EXPECT_EQ(bar.GetPlayPosition(), 11025u);
    QTest::qWait(100);
    bench.app.GetPlayback().Tick();
    ASSERT_TRUE(view->Playback().Frame().has_value());
    EXPECT_EQ(bar.GetPlayPosition(), *view->Playback().Frame());
    Settle();
    const QRect line = bar.PlayLineRect(bar.GetPlayPosition());
    ASSERT_FALSE(line.isEmpty());
    EXPECT_EQ(line.width(), 1);
    // One column inverted over the image area's height, as the selection is; nothing else.
    const QImage grab = grabBar();
    for (int x = line.x() - 1; x <= line.x() + 1; ++x) {
        for (int y = 0; y < grab.height(); ++y) {
            const bool bOnLine = x == line.x() && line.contains(x, y);
            EXPECT_EQ(grab.pixel(x, y),
                      bOnLine ? silent.pixel(x, y) ^ 0x00FFFFFFu : silent.pixel(x, y))
                << x << ", " << y;
        }
    }
    // As far into the overview's image area as the frame is into the sound.
    const QRect inner = bar.OverviewAreaRect().adjusted(2, 2, -2, -2);
    EXPECT_EQ(line.y(), inner.y());
    EXPECT_EQ(line.height(), inner.height());
    EXPECT_NEAR(line.x() - inner.x(), inner.width() * (bar.GetPlayPosition() / 22050.0), 1.0);

    bench.app.GetPlayback().Stop();
    EXPECT_EQ(bar.GetPlayPosition(), kNoPlayPosition);
    Settle();
    EXPECT_EQ(grabBar(), silent);
    // A feed while silent keeps it away.
    ViewTestBench::Feed(*view, bar);
    EXPECT_EQ(bar.GetPlayPosition(), kNoPlayPosition);
    view->ActivateView(false);
}
