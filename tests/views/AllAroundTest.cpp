// The all-around view on the real view under the offscreen platform: when it shows, the lanes
// under the wave edited with the mouse and the keys (each edit one undo step), the switch
// after a typed place, the readouts, and a frontal picture left as it was.
#include <gtest/gtest.h>

#include <QTest>

#include "ViewTestBench.h"
#include "document/PointProperties.h"
#include "playback/CommandIds.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"
#include "views/CDirectionScale.h"
#include "views/CTimeRuler.h"
#include "views/CWaveViewPane.h"
#include "views/PlaceLanePainter.h"

namespace {

// A view of 500 x 300: 10 frames a column; all around, the wave keeps 188 rows and the lanes
// take the 112 under it (elevation rows 0 .. 55, distance 56 .. 111 of the strip).
constexpr int kWidth = 500;
constexpr int kHeight = 300;

CommandState StateOf(CWaveScrollView& view, unsigned id) {
    CommandState state;
    EXPECT_TRUE(view.UpdateCommand(id, state));
    return state;
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), widget->mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

void Drag(QWidget* widget, QPoint from, QPoint to) {
    SendMouse(widget, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

TestSound Sound(uint16_t channels) {
    TestSound sound = ViewTestBench::Mono(5000, 22050, {{1000, 0}, {3000, 30}});
    if (channels == 2) {
        sound.format = MakeFormat(2, 22050, 16);
        sound.samples = Pattern(size_t{5000} * 4);
    }
    return sound;
}

class AllAround : public ::testing::Test {
  protected:
    void SetUp() override { bench.app.EnterPanEditMode(); }

    ViewTestBench bench;
};

}  // namespace

TEST_F(AllAround, AFrontalDocumentLooksAsBeforeUntilAskedAndAfterwards) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    EXPECT_FALSE(view->IsAllAround());
    EXPECT_FALSE(view->Lanes()->isVisible());
    EXPECT_EQ(view->viewport()->height(), kHeight);
    const QImage before = Grab(*view);
    EXPECT_FALSE(StateOf(*view, CommandId::kAllAround).checked.value_or(true));

    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    EXPECT_TRUE(view->IsAllAround());
    EXPECT_TRUE(view->Lanes()->isVisible());
    EXPECT_EQ(view->viewport()->height(), kHeight - PlaceLanes::kStripHeight);
    EXPECT_EQ(view->Lanes()->geometry().top(), kHeight - PlaceLanes::kStripHeight);
    EXPECT_TRUE(StateOf(*view, CommandId::kAllAround).checked.value_or(false));
    // The trajectory is red on the azimuth scale too: ahead is the middle row.
    EXPECT_EQ(Grab(*view).pixel(50, 94) & 0xFFFFFF, 0xFF0000u);

    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    EXPECT_FALSE(view->Lanes()->isVisible());
    EXPECT_EQ(Grab(*view), before);
}

TEST_F(AllAround, A3dDocumentOpensAllAroundAndSaysWhyItCannotLeave) {
    CTesselDoc& doc = bench.Document(Sound(1));
    *doc.NextPoint(doc.NextPoint(nullptr)) = PlacePoint(3000, 120, 0, 100);
    auto view = bench.MakeView(doc, kWidth, kHeight);
    EXPECT_TRUE(view->IsAllAround());
    EXPECT_TRUE(view->Lanes()->isVisible());
    const CommandState state = StateOf(*view, CommandId::kAllAround);
    EXPECT_FALSE(state.enabled);
    EXPECT_TRUE(state.checked.value_or(false));
    EXPECT_NE(state.whyDisabled.value_or("").find("only the all-around view"), std::string::npos);
}

TEST_F(AllAround, ADragInALaneChangesOnlyItsValueAndUndoesInOneStep) {
    struct Case {
        const char* name;
        uint16_t channels;
        bool bLane;  // in the lane strip, else on the wave
        int fromY;
        int toY;
        PanPoint expected;  // the dragged point after the release
    };
    const Case cases[] = {
        {"elevation", 1, true, 28, 16, PlacePoint(1200, 0, 45, 100)},
        {"distance", 1, true, 92, 76, PlacePoint(1200, 0, 0, 1000)},
        {"azimuth", 1, false, 94, 154, PlacePoint(1200, 120, 0, 100)},
        {"stereo elevation", 2, true, 28, 52, PlacePoint(1200, 0, -90, 100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTesselDoc& doc = bench.Document(Sound(c.channels));
        auto view = bench.MakeView(doc, kWidth, kHeight);
        ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
        Settle();
        const size_t steps = doc.GetUndoHistory().UndoCount();
        QWidget* target = c.bLane ? view->Lanes() : view->viewport();
        Drag(target, QPoint(100, c.fromY), QPoint(120, c.toY));
        const PanPoint* moved = doc.NextPoint(nullptr);
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(*moved, c.expected);
        EXPECT_EQ(doc.GetPanPoints().GetCount(), 2u);  // grabbed, not added
        EXPECT_EQ(doc.GetUndoHistory().UndoCount(), steps + 1);
        ASSERT_TRUE(view->RunCommand(CommandId::kEditUndo));
        EXPECT_EQ(*doc.NextPoint(nullptr), PlacePoint(1000, 0, 0, 100));
    }
}

TEST_F(AllAround, APressInALaneAwayFromPointsAddsOneWhereTheTrajectoryIs) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    // Frame 2000 lies half way from 0 degrees to 30: the new point keeps that direction.
    Drag(view->Lanes(), QPoint(200, 4), QPoint(200, 4));
    ASSERT_EQ(doc.GetPanPoints().GetCount(), 3u);
    const PanPoint* added = doc.NextPoint(doc.NextPoint(nullptr));
    EXPECT_EQ(*added, PlacePoint(2000, 15, 90, 100));
    EXPECT_TRUE(view->IsAllAround());
    ASSERT_TRUE(view->RunCommand(CommandId::kEditUndo));
    EXPECT_EQ(doc.GetPanPoints().GetCount(), 2u);
    // The view stays all around after the undo brought the trajectory back to the front.
    EXPECT_TRUE(view->IsAllAround());
}

TEST_F(AllAround, KeysMoveTheSelectedPointOnEveryScaleOneStepEach) {
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        PanPoint expected;
    };
    const Case cases[] = {
        {Qt::Key_Up, Qt::NoModifier, PlacePoint(1000, -1, 0, 100)},
        {Qt::Key_Down, Qt::ShiftModifier, PlacePoint(1000, 10, 0, 100)},
        {Qt::Key_PageUp, Qt::NoModifier, PlacePoint(1000, 0, 1, 100)},
        {Qt::Key_PageDown, Qt::ShiftModifier, PlacePoint(1000, 0, -10, 100)},
        {Qt::Key_Plus, Qt::NoModifier, PlacePoint(1000, 0, 0, 110)},
        {Qt::Key_Minus, Qt::NoModifier, PlacePoint(1000, 0, 0, 91)},
    };
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        view->Points().Keys().Select(doc.NextPoint(nullptr));
        const size_t steps = doc.GetUndoHistory().UndoCount();
        QTest::keyClick(view.get(), c.key, c.modifiers);
        EXPECT_EQ(*doc.NextPoint(nullptr), c.expected);
        EXPECT_EQ(doc.GetUndoHistory().UndoCount(), steps + 1);
        ASSERT_TRUE(view->RunCommand(CommandId::kEditUndo));
        EXPECT_EQ(*doc.NextPoint(nullptr), PlacePoint(1000, 0, 0, 100));
    }
    // Behind wraps round: Up from -179 goes on to 180.
    *doc.NextPoint(nullptr) = PlacePoint(1000, -179, 0, 100);
    view->Points().Keys().Select(doc.NextPoint(nullptr));
    QTest::keyClick(view.get(), Qt::Key_Up);
    EXPECT_EQ(*doc.NextPoint(nullptr), PlacePoint(1000, 180, 0, 100));
}

TEST_F(AllAround, ElevationKeysInTheFrontalViewSwitchItAllAround) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    view->Points().Keys().Select(doc.NextPoint(nullptr));
    QTest::keyClick(view.get(), Qt::Key_PageUp);
    EXPECT_EQ(doc.NextPoint(nullptr)->elevation, 1);
    EXPECT_TRUE(view->IsAllAround());
}

TEST_F(AllAround, APlaceTypedBeyondTheFrontSwitchesTheView) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    bench.app.Dialogs().SetPointProperties([](PointProperties& properties) {
        return properties.Apply(properties.Position(), PlacePoint(0, 120, 10, 250));
    });
    view->Points().Keys().Select(doc.NextPoint(nullptr));
    ASSERT_TRUE(view->RunCommand(CommandId::kPointProperties));
    EXPECT_EQ(*doc.NextPoint(nullptr), PlacePoint(1000, 120, 10, 250));
    EXPECT_EQ(doc.NextPoint(nullptr)->Pan(), 60);
    EXPECT_TRUE(view->IsAllAround());
    EXPECT_TRUE(view->Lanes()->isVisible());
}

TEST_F(AllAround, ReadoutsNameTheWholePlace) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    SendMouse(view->Lanes(), QEvent::MouseMove, QPoint(300, 16), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(StateOf(*view, CommandId::kIndicatorMouse).text.value_or(""),
              "Mouse 0:00.136 (3000) azimuth +30\u00B0, elevation +45\u00B0, distance 1.00 m, "
              "width 0\u00B0");
    SendMouse(view->viewport(), QEvent::MouseMove, QPoint(300, 154), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(StateOf(*view, CommandId::kIndicatorMouse).text.value_or(""),
              "Mouse 0:00.136 (3000) azimuth +120\u00B0, elevation 0\u00B0, distance 1.00 m, "
              "width 0\u00B0");
    SendMouse(view->Lanes(), QEvent::MouseButtonPress, QPoint(100, 92), Qt::LeftButton,
              Qt::LeftButton);
    EXPECT_EQ(StateOf(*view, CommandId::kIndicatorMouse).text.value_or(""),
              "Point 0:00.045 (1000) azimuth 0\u00B0, elevation 0\u00B0, distance 1.00 m, "
              "width 0\u00B0");
    SendMouse(view->Lanes(), QEvent::MouseButtonRelease, QPoint(100, 92), Qt::LeftButton,
              Qt::NoButton);
}

TEST_F(AllAround, TheBarShowsTheTopViewAndFollowsADraggedPlace) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, kHeight);
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);
    EXPECT_EQ(bar.topView, false);
    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    ViewTestBench::Feed(*view, bar);
    EXPECT_EQ(bar.topView, true);
    bar.livePlaces.clear();
    Drag(view->Lanes(), QPoint(100, 92), QPoint(100, 76));
    ASSERT_GE(bar.livePlaces.size(), 3u);
    ASSERT_TRUE(bar.livePlaces[bar.livePlaces.size() - 2].has_value());
    EXPECT_EQ(bar.livePlaces[bar.livePlaces.size() - 2]->distanceCm, 1000.0);
    EXPECT_FALSE(bar.livePlaces.back().has_value());  // the release ends it
}

// A new point on a stereo sound keeps its neighbours' spread: before the first point the first
// one's width, between two the width the path has there, after the last the last one's; on the
// wave and in a lane alike.
TEST_F(AllAround, ANewPointOnAStereoSoundTakesItsNeighboursWidth) {
    const struct {
        const char* name;
        bool bLane;
        int x;  // 10 frames a column
        int32_t width;
    } kCases[] = {
        {"before the first", false, 50, 60},
        {"half way between", false, 200, 75},
        {"after the last", false, 400, 90},
        {"in a lane, before the first", true, 50, 60},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        CTesselDoc& doc = bench.Document(Sound(2));
        doc.NextPoint(nullptr)->width = 60;
        doc.NextPoint(doc.NextPoint(nullptr))->width = 90;
        auto view = bench.MakeView(doc, kWidth, kHeight);
        ASSERT_TRUE(view->IsAllAround());
        const QPoint at(c.x, c.bLane ? 4 : 40);
        Drag(c.bLane ? view->Lanes() : view->viewport(), at, at);
        ASSERT_EQ(doc.GetPanPoints().GetCount(), 3u);
        for (const PanPoint& point : doc.GetPanPoints().Values()) {
            if (point.position != 1000 && point.position != 3000) {
                EXPECT_EQ(point.position, static_cast<uint32_t>(c.x * 10));
                EXPECT_EQ(point.width, c.width);
            }
        }
    }
}

// However tall the lanes, every scale's labels stay inside their own lane and clear of one
// another ("-90°" once sat over "100 m"); so do the azimuth scale's on the wave.
TEST(AllAroundLabels, NoLabelLeavesItsScaleOrTouchesAnother) {
    for (const int labelHeight : {9, 14}) {
        for (const int strip : {PlaceLanes::kStripHeight, 140, 200, 300}) {
            SCOPED_TRACE(std::to_string(labelHeight) + " rows a label, strip " +
                         std::to_string(strip));
            std::vector<QRect> placed;
            for (const PlaceValue value : {PlaceValue::Elevation, PlaceValue::Distance}) {
                const PlaceAxis lane = PlaceLanes::Lane(value, strip);
                const auto labels = PlaceLanePainter::LabelPlaces(lane, labelHeight, 4, 60);
                EXPECT_GE(labels.size(), 3u);
                for (const auto& label : labels) {
                    EXPECT_GT(label.rect.top(), lane.Top()) << label.text;
                    EXPECT_LE(label.rect.bottom(), lane.Top() + lane.Height() - 1) << label.text;
                    for (const QRect& other : placed) {
                        EXPECT_FALSE(label.rect.intersects(other)) << label.text;
                    }
                    placed.push_back(label.rect);
                }
            }
            // Both ends of the circle are "behind", the top one too.
            const PlaceAxis azimuth(PlaceValue::Azimuth, 0, strip);
            const auto labels = PlaceLanePainter::LabelPlaces(azimuth, labelHeight, 4, 80);
            ASSERT_FALSE(labels.empty());
            EXPECT_EQ(labels.front().text, "behind");
            EXPECT_GE(labels.front().rect.top(), 0);
        }
    }
}

TEST_F(AllAround, TheLanesTakeAThirdOfATallView) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto view = bench.MakeView(doc, kWidth, 900);
    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    EXPECT_EQ(view->Lanes()->height(), 300);
    EXPECT_EQ(view->viewport()->height(), 600);
    view->resize(kWidth, 600);
    Settle();
    EXPECT_EQ(view->Lanes()->height(), 200);
    EXPECT_EQ(view->viewport()->height(), 400);
    EXPECT_EQ(view->Lanes()->geometry().top(), 400);
}

// Beside the view, outside its picture, a scale names where its height points: left, ahead
// and right in the frontal view, round the circle to behind in the all-around view; the ruler
// keeps to the view's columns.
TEST_F(AllAround, TheScaleBesideTheViewNamesTheDirections) {
    CTesselDoc& doc = bench.Document(Sound(1));
    auto* view = new CWaveScrollView(doc, bench.app);
    CWaveViewPane pane(*view);
    pane.resize(kWidth, kHeight);
    pane.show();
    Settle();
    EXPECT_EQ(pane.Ruler().geometry().left(), view->geometry().left());
    EXPECT_EQ(pane.Ruler().geometry().right(), view->geometry().right());
    EXPECT_LE(pane.Scale().geometry().right(), view->geometry().left());
    const auto texts = [&] {
        std::vector<std::pair<std::string, int>> marks;
        for (const CDirectionScale::Mark& mark : pane.Scale().Marks()) {
            marks.emplace_back(mark.text, mark.y);
        }
        return marks;
    };
    const WaveViewGeometry& g = view->Geometry();
    EXPECT_EQ(texts(),
              (std::vector<std::pair<std::string, int>>{
                  {"left", g.YOfPan(-90)}, {"ahead", g.YOfPan(0)}, {"right", g.YOfPan(90)}}));
    // Each label is drawn beside its row.
    const auto inkNear = [&](int y) {
        const QImage shown = pane.Scale().grab().toImage();
        for (int dy = -6; dy <= 6; ++dy) {
            for (int x = 0; x < shown.width() - 6; ++x) {
                if (y + dy >= 0 && y + dy < shown.height() && qGray(shown.pixel(x, y + dy)) < 100) {
                    return true;
                }
            }
        }
        return false;
    };
    for (const auto& [text, y] : texts()) {
        EXPECT_TRUE(inkNear(y)) << text;
    }
    ASSERT_TRUE(view->RunCommand(CommandId::kAllAround));
    Settle();
    const PlaceAxis azimuth = view->Geometry().AzimuthAxis();
    EXPECT_EQ(texts(), (std::vector<std::pair<std::string, int>>{{"behind", azimuth.YOf(-180)},
                                                                 {"left", azimuth.YOf(-90)},
                                                                 {"ahead", azimuth.YOf(0)},
                                                                 {"right", azimuth.YOf(90)},
                                                                 {"behind", azimuth.YOf(180)}}));
    for (const auto& [text, y] : texts()) {
        EXPECT_TRUE(inkNear(y)) << text;
    }
}
