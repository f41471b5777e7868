// Record Trajectory through the view: real mouse events over the wave while the sound plays on
// OpenAL Soft's null back end (which plays in real time), ticks given by hand. What is written
// follows the pointer at the frames that were being heard; Loop Playback comes round through
// the one playback, each round a pass of its own.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <memory>

#include "ViewTestBench.h"
#include "playback/TrevantMixer.h"
#include "support/ManualPlaybackClock.h"
#include "views/COverviewToolBar.h"
#include "views/OverviewGeometry.h"
#include "views/geometry/PlaceAxis.h"
#include "views/geometry/TopView.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kTenMs = kRate / 100;

class RecordTest : public ::testing::Test {
  protected:
    RecordTest() {
        auto clock = std::make_unique<ManualPlaybackClock>();
        ticks = clock.get();
        app = std::make_unique<CEditorApp>(prompts, settings, TrevantMixer::Shared(),
                                           std::move(clock));
    }
    ~RecordTest() override {
        app->GetPlayback().Stop();
        view.reset();
        doc.reset();
        app->ExitInstance();
    }
    void Open(uint32_t frames, std::vector<PanChunkPoint> points) {
        doc = MemoryDocument(*app, ViewTestBench::Mono(frames, kRate, std::move(points)));
        view = std::make_unique<CWaveScrollView>(*doc, *app);
        view->resize(400, 200);
        view->show();
        Settle();
    }
    void Mouse(QEvent::Type type, int pan) {
        const QPoint at(200, view->Geometry().YOfPan(pan));
        QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(view->viewport(), &event);
    }
    uint32_t HeardNow() { return app->GetPlayback().ReadHeardFrameNow().value_or(0); }
    // Lets time pass as the editor would: events (the sampling timer) and a tick every 33 ms.
    void Run(int ms) {
        for (int waited = 0; waited < ms; waited += 11) {
            QTest::qWait(11);
            if (waited % 33 == 0 && app->IsPlaying()) {
                ticks->tick();
            }
        }
    }

    ScriptedPrompts prompts;
    MemorySettingsStore settings;
    ManualPlaybackClock* ticks = nullptr;
    std::unique_ptr<CEditorApp> app;
    std::unique_ptr<CTesselDoc> doc;
    std::unique_ptr<CWaveScrollView> view;
};

TEST_F(RecordTest, HeldPointerHeightsAreWrittenAtTheFramesHeardAndOneUndoTakesThePassBack) {
    Open(kRate * 3, {{0, -30}, {kRate, 10}, {kRate * 3, 30}});
    const std::vector<PanPoint> before = doc->GetPanPoints().Values();
    app->OnRecordTrajectory();  // Touch, the default
    view->Play();
    ASSERT_TRUE(app->IsPlaying());
    Run(150);

    struct Held {
        int pan;
        uint32_t from, to;  // the frames heard while the pointer was there
    };
    std::vector<Held> held;
    for (int pan : {-60, -20, 25, 70, 45}) {
        Mouse(held.empty() ? QEvent::MouseButtonPress : QEvent::MouseMove, pan);
        const uint32_t from = HeardNow();
        Run(120);
        // The direction the view reads at the pointer's pixel row.
        held.push_back({view->Geometry().PanFromY(view->Geometry().YOfPan(pan)), from, HeardNow()});
    }
    Mouse(QEvent::MouseButtonRelease, 45);
    const uint32_t first = held.front().from;
    const uint32_t last = held.back().to;
    ASSERT_GT(last, first + kRate / 4) << "the null back end did not play";
    Run(100);
    app->GetPlayback().Stop();
    EXPECT_FALSE(doc->IsInGroup());

    size_t written = 0;
    for (const PanPoint& point : doc->GetPanPoints().Values()) {
        if (point.position + kTenMs < first || point.position > last + kTenMs) {
            continue;
        }
        ++written;
        // Some held height was under the pointer within 10 ms of this frame, within 0.5 degrees.
        const bool bFound = std::any_of(held.begin(), held.end(), [&](const Held& h) {
            return point.position + kTenMs >= h.from && point.position <= h.to + kTenMs &&
                   std::abs(point.azimuth - h.pan) <= 0.5;
        });
        EXPECT_TRUE(bFound) << point.position << " " << point.azimuth;
    }
    // Thinned: two points a height, give or take, though the timer sampled far more.
    EXPECT_GE(written, held.size());
    EXPECT_LE(written, 2 * held.size() + 2);
    // Outside the span touched, the old points as they were.
    for (const PanPoint& point : before) {
        if (point.position < first - kTenMs || point.position > last + kTenMs) {
            EXPECT_NE(std::find(doc->GetPanPoints().Values().begin(),
                                doc->GetPanPoints().Values().end(), point),
                      doc->GetPanPoints().Values().end())
                << point.position;
        }
    }
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
    ASSERT_TRUE(doc->Undo());
    EXPECT_EQ(doc->GetPanPoints().Values(), before);
}

// The other surfaces, by real mouse events on their widgets: the elevation and distance lanes,
// the pan display's front picture (azimuth) and its view from above (azimuth and distance in
// one pass). Each writes the value its pixel stands for at the frames heard and leaves the
// other values; the view from above on a frontal view is refused with the reason.
TEST_F(RecordTest, LanesAndThePanDisplayWriteTheirValuesAtTheFramesHeard) {
    enum class On { Elevation, Distance, Front, Above };
    struct Reading {
        double value = 0.0;
        double second = 0.0;  // distance, from above
    };
    const struct {
        On on;
        bool bAllAround;
        std::vector<Reading> path;  // held in turn
        const char* refusal;        // a refused press says this
    } kCases[] = {
        {On::Elevation, true, {{-60}, {10}, {75}}, ""},
        {On::Distance, true, {{30}, {300}, {2000}}, ""},
        {On::Front, false, {{-70}, {-20}, {45}}, ""},
        {On::Above, true, {{120, 50}, {-160, 800}, {-40, 3000}}, ""},
        {On::Above, false, {{60, 500}}, "shows no distance"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.on));
        view.reset();
        doc.reset();
        Open(kRate * 3, {{0, -30}, {kRate, 10}, {kRate * 3, 30}});
        view->SetAllAround(c.bAllAround);
        COverviewToolBar bar(prompts);
        bar.resize(600, OverviewGeometry::kBarHeight);
        bar.SetTopView(c.on == On::Above);
        bar.show();
        QObject::connect(&bar, &COverviewToolBar::PanDisplayMouse, view.get(),
                         &CWaveScrollView::PanDisplayMouse);
        Settle();
        // Sends the event where reading lies and answers what that pixel stands for.
        const auto send = [&](QEvent::Type type, const Reading& r) {
            QWidget* widget = &bar;
            QPoint at;
            Reading read;
            if (c.on == On::Elevation || c.on == On::Distance) {
                const PlaceAxis lane = PlaceLanes::Lane(
                    c.on == On::Elevation ? PlaceValue::Elevation : PlaceValue::Distance,
                    view->Lanes()->height());
                widget = view->Lanes();
                at = QPoint(200, lane.YOf(r.value));
                read.value = lane.ValueAt(at.y());
            } else if (c.on == On::Front) {
                const OverviewGeometry::Point centre =
                    OverviewGeometry::PanMarkerCentre(static_cast<int>(r.value));
                at = bar.PanPictureOrigin() + QPoint(centre.x, centre.y);
                read.value = OverviewGeometry::PanAtPoint(centre.x, centre.y);
            } else {
                const QRect area(bar.PanPictureOrigin(), bar.PanPicture().size());
                const double cx = area.x() + area.width() / 2.0;
                const double cy = area.y() + area.height() / 2.0;
                const double rim = area.height() / 2.0 - 3.0;
                const TopView::Spot spot = TopView::SourceAt(r.value, r.second, cx, cy, rim);
                at = QPoint(static_cast<int>(std::lround(spot.x)),
                            static_cast<int>(std::lround(spot.y)));
                const TopView::Place place = TopView::PlaceAt(at.x(), at.y(), cx, cy, rim);
                read = {place.azimuth, place.distanceCm};
            }
            QMouseEvent event(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QCoreApplication::sendEvent(widget, &event);
            return read;
        };
        const std::vector<PanPoint> before = doc->GetPanPoints().Values();
        PanPointList original;
        original.AddPoints(before);
        app->OnRecordTrajectory();
        view->Play();
        ASSERT_TRUE(app->IsPlaying());
        Run(100);
        struct Held {
            Reading read;
            uint32_t from, to;
        };
        std::vector<Held> held;
        for (const Reading& r : c.path) {
            const uint32_t from = HeardNow();
            const Reading read =
                send(held.empty() ? QEvent::MouseButtonPress : QEvent::MouseMove, r);
            Run(120);
            held.push_back({read, from, HeardNow()});
        }
        send(QEvent::MouseButtonRelease, c.path.back());
        Run(50);
        app->GetPlayback().Stop();
        app->OnRecordTrajectory();  // disarmed for the next case
        if (*c.refusal != 0) {
            EXPECT_EQ(doc->GetPanPoints().Values(), before);
            ASSERT_FALSE(prompts.StatusTexts().empty());
            EXPECT_NE(prompts.StatusTexts().back().find(c.refusal), std::string::npos);
            continue;
        }
        const uint32_t first = held.front().from;
        const uint32_t last = held.back().to;
        ASSERT_GT(last, first + kRate / 4) << "the null back end did not play";
        size_t written = 0;
        for (const PanPoint& point : doc->GetPanPoints().Values()) {
            if (point.position + kTenMs < first || point.position > last + kTenMs) {
                continue;
            }
            ++written;
            const SoundPlace old = PlaceAt(original, point.position);
            const bool bFound = std::any_of(held.begin(), held.end(), [&](const Held& h) {
                if (point.position + kTenMs < h.from || point.position > h.to + kTenMs) {
                    return false;
                }
                switch (c.on) {
                    case On::Elevation:
                        return std::abs(point.elevation - h.read.value) <= 0.5 &&
                               point.azimuth == std::lround(old.azimuth);
                    case On::Distance:
                        return std::abs(point.distanceCm - h.read.value) <= 0.5 &&
                               point.azimuth == std::lround(old.azimuth);
                    case On::Front:
                        return std::abs(point.azimuth - h.read.value) <= 0.5;
                    case On::Above:
                        return std::abs(std::remainder(point.azimuth - h.read.value, 360.0)) <=
                                   0.5 &&
                               std::abs(point.distanceCm - h.read.second) <= 0.5;
                }
                return false;
            });
            EXPECT_TRUE(bFound) << point.position << " " << point.azimuth << " " << point.elevation
                                << " " << point.distanceCm;
        }
        EXPECT_GE(written, held.size());
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), before);
    }
}

TEST_F(RecordTest, NotArmedOrNotPlayingAPressEditsAsBeforeAndStereoRecordsToo) {
    Open(kRate, {{0, 0}});
    app->EnterPanEditMode();
    app->OnRecordTrajectory();
    Mouse(QEvent::MouseButtonPress, 40);  // armed but silent: a new point, as always
    Mouse(QEvent::MouseButtonRelease, 40);
    EXPECT_EQ(doc->GetPanPoints().GetCount(), 2u);

    TestSound stereo = ViewTestBench::Mono(kRate);
    stereo.format = MakeFormat(2, kRate, 16);
    stereo.samples = Pattern(size_t{kRate} * 4);
    std::unique_ptr<CTesselDoc> other = MemoryDocument(*app, stereo);
    CWaveScrollView stereoView(*other, *app);
    stereoView.resize(400, 200);
    stereoView.show();
    stereoView.Play();
    ASSERT_TRUE(app->IsPlaying());
    const QPoint at(200, 50);
    QMouseEvent press(QEvent::MouseButtonPress, at, stereoView.viewport()->mapToGlobal(at),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(stereoView.viewport(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, stereoView.viewport()->mapToGlobal(at),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(stereoView.viewport(), &release);
    // A stereo sound carries a trajectory as a mono one does, so it records too.
    EXPECT_GT(other->GetPanPoints().GetCount(), 0u);
    EXPECT_TRUE(prompts.Boxes().empty());
    app->GetPlayback().Stop();
}

// A point drag still in hand when a pass begins ends first: the pass rewrites the points, the
// dragged one among them, and the drag must not go on holding it.
TEST_F(RecordTest, APassBegunDuringAPointDragEndsTheDrag) {
    Open(kRate * 2, {{0, 0}});
    app->EnterPanEditMode();
    Mouse(QEvent::MouseButtonPress, 40);  // grabs a new point, and stays down
    ASSERT_TRUE(view->IsDragging());
    app->OnRecordTrajectory();
    view->Play();
    ASSERT_TRUE(app->IsPlaying());
    Run(60);
    Mouse(QEvent::MouseButtonPress, -40);
    EXPECT_FALSE(view->IsDragging());
    Run(60);
    Mouse(QEvent::MouseButtonRelease, -40);
    EXPECT_FALSE(view->IsDragging());
    app->GetPlayback().Stop();
}

TEST_F(RecordTest, ALoopComesRoundThroughThePlaybackAndEachRoundIsAPass) {
    Open(kRate, {{0, -30}, {kRate, 30}});
    app->OnLoopPlayback();
    app->SetRecordMode(static_cast<int>(TrajectoryRecorder::Mode::Write));
    app->OnRecordTrajectory();
    view->SetSelection(2000, 4000);
    view->Play();
    ASSERT_TRUE(app->IsPlaying());
    for (int round = 1; round <= 2; ++round) {
        std::atomic<uint32_t>& notice = ManualPlaybackClock::DoneNotice();
        notice = 0;
        ASSERT_TRUE(ViewTestBench::WaitUntil([&] { return notice != 0; }, 3000))
            << "the mixer never said the range had played out";
        ticks->done(notice);
        EXPECT_TRUE(app->IsPlaying()) << round;
        EXPECT_EQ(app->GetPlayback().GetPlayStart(), 2000u);
        // The rounds before, closed, and this one open.
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), static_cast<size_t>(round) + 1);
        EXPECT_TRUE(doc->IsInGroup());
    }
    app->OnLoopPlayback();  // off: the next end is the last
    std::atomic<uint32_t>& notice = ManualPlaybackClock::DoneNotice();
    notice = 0;
    ASSERT_TRUE(ViewTestBench::WaitUntil([&] { return notice != 0; }, 3000));
    ticks->done(notice);
    EXPECT_FALSE(app->IsPlaying());
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 3u);
    // Write holds the value in force where playback started over the whole range.
    for (const PanPoint& point : doc->GetPanPoints().Values()) {
        if (point.position >= 2000 && point.position <= 3999) {
            EXPECT_EQ(point.azimuth, -25) << point.position;  // -24.56 there
        }
    }
}

}  // namespace
