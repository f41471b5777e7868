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
#include "document/TrajectoryRecorder.h"
#include "geometry/PlaceAxis.h"
#include "geometry/TopView.h"
#include "playback/TrevantMixer.h"
#include "support/ManualPlaybackClock.h"
#include "views/COverviewToolBar.h"
#include "views/OverviewGeometry.h"

namespace {

constexpr uint32_t kRate = 22050;
constexpr uint32_t kTenMs = kRate / 100;

// The surfaces a pointer performs on: the wave's height, the two lanes, the pan display's front
// picture and its view from above.
enum class On { Wave, Elevation, Distance, Front, Above };
struct Reading {
    double value = 0.0;
    double second = 0.0;  // distance, from above
};

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
    void ToggleRecord() { app->GetPlayback().SetRecordArmed(!app->GetPlayback().IsRecordArmed()); }
    // Sends a left-button event of type on the surface where reading lies; answers what that
    // pixel stands for.
    Reading Send(On on, COverviewToolBar& bar, QEvent::Type type, const Reading& r) {
        QWidget* widget = &bar;
        QPoint at;
        Reading read;
        if (on == On::Wave) {
            widget = view->viewport();
            at = QPoint(200, view->Geometry().YOfPan(static_cast<int>(r.value)));
            read.value = view->Geometry().PanFromY(at.y());
        } else if (on == On::Elevation || on == On::Distance) {
            const PlaceAxis lane =
                PlaceLanes::Lane(on == On::Elevation ? PlaceValue::Elevation : PlaceValue::Distance,
                                 view->Lanes()->height());
            widget = view->Lanes();
            at = QPoint(200, lane.YOf(r.value));
            read.value = lane.ValueAt(at.y());
        } else if (on == On::Front) {
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
    }
    // The points a pass wrote from about first to last, without the two at its edges that carry
    // the old path.
    std::vector<PanPoint> Performed(const PanPointList& original, uint32_t first, uint32_t last) {
        std::vector<PanPoint> performed;
        for (const PanPoint& point : doc->GetPanPoints().Values()) {
            if (point.position + kTenMs >= first && point.position <= last + kTenMs) {
                performed.push_back(point);
            }
        }
        if (!performed.empty() && performed.front() == TrajectoryRecorder::EdgeArriving(
                                                           original, performed.front().position)) {
            performed.erase(performed.begin());
        }
        if (!performed.empty() && performed.back() == TrajectoryRecorder::EdgeLeaving(
                                                          original, performed.back().position)) {
            performed.pop_back();
        }
        return performed;
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
    ToggleRecord();  // Touch, the default
    view->Playback().Play();
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

    PanPointList original;
    original.AddPoints(before);
    size_t written = 0;
    for (const PanPoint& point : Performed(original, first, last)) {
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
        const auto send = [&](QEvent::Type type, const Reading& r) {
            return Send(c.on, bar, type, r);
        };
        const std::vector<PanPoint> before = doc->GetPanPoints().Values();
        PanPointList original;
        original.AddPoints(before);
        ToggleRecord();
        view->Playback().Play();
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
        ToggleRecord();  // disarmed for the next case
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
        for (const PanPoint& point : Performed(original, first, last)) {
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
                    case On::Wave:
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
    ToggleRecord();
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
    stereoView.Playback().Play();
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
    ToggleRecord();
    view->Playback().Play();
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
    app->GetPlayback().SetLoop(!app->GetPlayback().IsLoop());
    app->GetPlayback().SetRecordMode(PlaybackSession::RecordMode::Write);
    ToggleRecord();
    view->SetSelection(2000, 4000);
    view->Playback().Play();
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
    app->GetPlayback().SetLoop(!app->GetPlayback().IsLoop());  // off: the next end is the last
    std::atomic<uint32_t>& notice = ManualPlaybackClock::DoneNotice();
    notice = 0;
    ASSERT_TRUE(ViewTestBench::WaitUntil([&] { return notice != 0; }, 3000));
    ticks->done(notice);
    EXPECT_FALSE(app->IsPlaying());
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 3u);
    // Write holds the value in force where playback started over the whole range; at its last
    // frame the old path takes over again.
    for (const PanPoint& point : doc->GetPanPoints().Values()) {
        if (point.position >= 2000 && point.position < 3999) {
            EXPECT_EQ(point.azimuth, -25) << point.position;  // -24.56 there
        }
    }
    // After it, the old ramp, give or take the half degree its edge point rounds to.
    EXPECT_NEAR(PlaceAt(doc->GetPanPoints(), 4500).azimuth, -30 + 60 * 4500 / double(kRate), 0.5);
}

}  // namespace

// A pass changes nothing outside the span it played over, in every mode and on every surface:
// the old path (here held at full left, level, at 1 m) is the same place at every frame before
// the span and after it, and the wave and the lanes draw the same pixels there. The span is
// the press to the release in Touch, the press to the stop in Latch, the start to the stop in
// Write.
TEST_F(RecordTest, APassKeepsThePathOutsideItsSpanInEveryModeOnEverySurface) {
    using Mode = PlaybackSession::RecordMode;
    const struct {
        On on;
        Reading first, second;  // held in turn
    } kSurfaces[] = {
        {On::Wave, {60}, {20}},  {On::Elevation, {45}, {-30}},        {On::Distance, {500}, {2000}},
        {On::Front, {60}, {20}}, {On::Above, {60, 500}, {120, 2000}},
    };
    const uint32_t frames = kRate * 2;
    const uint32_t slack = 3 * kTenMs;  // between a frame read here and the one the pass took
    for (const Mode mode : {Mode::Touch, Mode::Latch, Mode::Write}) {
        for (const auto& c : kSurfaces) {
            SCOPED_TRACE(std::to_string(static_cast<int>(mode)) + " on " +
                         std::to_string(static_cast<int>(c.on)));
            view.reset();
            doc.reset();
            Open(frames, {{0, -90}, {frames, -90}});
            const bool bAround = c.on != On::Wave && c.on != On::Front;
            view->SetAllAround(bAround);
            COverviewToolBar bar(prompts);
            bar.resize(600, OverviewGeometry::kBarHeight);
            bar.SetTopView(c.on == On::Above);
            bar.show();
            QObject::connect(&bar, &COverviewToolBar::PanDisplayMouse, view.get(),
                             &CWaveScrollView::PanDisplayMouse);
            Settle();
            const QImage waveBefore = Grab(*view);
            const QImage lanesBefore = view->Lanes()->grab().toImage();
            PanPointList original;
            original.AddPoints(doc->GetPanPoints().Values());

            app->GetPlayback().SetRecordMode(mode);
            app->GetPlayback().SetRecordArmed(true);
            view->Playback().Play();
            ASSERT_TRUE(app->IsPlaying());
            Run(100);
            const uint32_t pressed = HeardNow();
            const Reading held = Send(c.on, bar, QEvent::MouseButtonPress, c.first);
            Run(100);
            Send(c.on, bar, QEvent::MouseMove, c.second);
            Run(100);
            const uint32_t released = HeardNow();
            Send(c.on, bar, QEvent::MouseButtonRelease, c.second);
            Run(100);
            const uint32_t stopped = HeardNow();
            app->GetPlayback().Stop();
            app->GetPlayback().SetRecordArmed(false);
            Settle();
            ASSERT_GT(released, pressed + kRate / 10) << "the null back end did not play";

            const uint32_t from = mode == Mode::Write ? 0 : pressed;
            const uint32_t to = mode == Mode::Touch ? released : stopped;
            const auto outside = [&](uint32_t frame) {
                return frame + slack < from || frame > to + slack;
            };
            for (uint32_t frame = 0; frame <= frames; frame += 25) {
                if (!outside(frame)) {
                    continue;
                }
                const SoundPlace now = PlaceAt(doc->GetPanPoints(), frame);
                const SoundPlace old = PlaceAt(original, frame);
                ASSERT_EQ(now.azimuth, old.azimuth) << frame;
                ASSERT_EQ(now.elevation, old.elevation) << frame;
                ASSERT_EQ(now.distanceCm, old.distanceCm) << frame;
            }
            // Inside, what was held: the first reading just after the press.
            const SoundPlace performed = PlaceAt(doc->GetPanPoints(), pressed + 2 * slack);
            const double got = c.on == On::Elevation  ? performed.elevation
                               : c.on == On::Distance ? performed.distanceCm
                                                      : performed.azimuth;
            EXPECT_NEAR(got, held.value, 1.0);
            // The pixels of the columns outside the span are those drawn before.
            const QImage waveAfter = Grab(*view);
            const QImage lanesAfter = view->Lanes()->grab().toImage();
            const WaveViewGeometry geometry = view->PaintedGeometry();
            for (int x = 0; x < waveAfter.width(); ++x) {
                if (!outside(geometry.SampleAtX(x + 2)) || !outside(geometry.SampleAtX(x - 2))) {
                    continue;
                }
                for (int y = 0; y < waveAfter.height(); ++y) {
                    ASSERT_EQ(waveAfter.pixel(x, y), waveBefore.pixel(x, y)) << x << "," << y;
                }
                for (int y = 0; bAround && y < lanesAfter.height(); ++y) {
                    ASSERT_EQ(lanesAfter.pixel(x, y), lanesBefore.pixel(x, y)) << x << "," << y;
                }
            }
            // Undone, the trajectory is what it was.
            while (doc->Undo() && doc->GetUndoHistory().CanUndo()) {
            }
            EXPECT_EQ(doc->GetPanPoints().Values(), original.Values());
        }
    }
}
