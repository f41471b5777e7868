// The position panes' texts: as plain functions, and as a view gives them while the mouse
// moves over it and drags a pan point.
#include <gtest/gtest.h>

#include <QTest>
#include <QWheelEvent>
#include <functional>

#include "ViewTestBench.h"
#include "playback/CommandIds.h"
#include "views/PositionReadouts.h"

namespace {

std::string PaneText(CWaveScrollView& view, unsigned id) {
    CommandState state;
    EXPECT_TRUE(view.UpdateCommand(id, state));
    EXPECT_TRUE(state.enabled);
    return state.text.value_or("<none>");
}

void MoveMouse(QWidget* area, QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), area->mapToGlobal(QPointF(at)), Qt::NoButton,
                     buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(area, &move);
}

class Readouts : public ::testing::Test {
  protected:
    ViewTestBench bench;
};

}  // namespace

TEST(PositionReadouts, CaretSelectionMouseDragAndPlayTexts) {
    using namespace PositionReadouts;
    EXPECT_EQ(SelectionText(71663, 71664, 22050), "Caret 0:03.250 (71663)");
    EXPECT_EQ(SelectionText(0, 1, 44100), "Caret 0:00.000 (0)");
    EXPECT_EQ(SelectionText(22050, 55125, 22050),
              "Sel 0:01.000-0:02.500 (22050-55125), length 0:01.500 (33075)");
    // An empty range does not happen; a range of two frames is a range.
    EXPECT_EQ(SelectionText(10, 12, 1000), "Sel 0:00.010-0:00.012 (10-12), length 0:00.002 (2)");
    EXPECT_EQ(HoverText(2646000, -45, 44100), "Mouse 1:00.000 (2646000) -45\u00B0");
    EXPECT_EQ(HoverText(2646000, std::nullopt, 44100), "Mouse 1:00.000 (2646000)");
    EXPECT_EQ(DragText(11025, 30, 22050), "Point 0:00.500 (11025) +30\u00B0");
    EXPECT_EQ(DragText(11025, 0, 22050), "Point 0:00.500 (11025) 0\u00B0");
    EXPECT_EQ(PlayText(158760000, 44100), "Play 60:00.000 (158760000)");
    EXPECT_EQ(PanText(-90), "-90\u00B0");
    EXPECT_EQ(PanText(90), "+90\u00B0");
}

TEST_F(Readouts, TheViewSaysWhereTheSelectionAndTheMouseAre) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050));
    auto view = bench.MakeView(doc, 500, 208);  // 100 frames a column; pan 0 at row 104
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorSelection), "Caret 0:00.000 (0)");
    view->SetSelection(22050, 44100);
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorSelection),
              "Sel 0:01.000-0:02.000 (22050-44100), length 0:01.000 (22050)");
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "");

    MoveMouse(view->viewport(), QPoint(220, 4));
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "Mouse 0:00.997 (22000) -90\u00B0");
    MoveMouse(view->viewport(), QPoint(441, 154));
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "Mouse 0:02.000 (44100) +45\u00B0");
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view->viewport(), &leave);
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "");

    // A selection drag shows its range as it grows.
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(100, 50));
    MoveMouse(view->viewport(), QPoint(300, 50), Qt::LeftButton);
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorSelection),
              "Sel 0:00.453-0:01.360 (10000-30000), length 0:00.907 (20000)");
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(300, 50));
}

TEST_F(Readouts, ADraggedPointShowsWhereItIsLive) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050, {{10000, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    bench.app.EnterPanEditMode();
    QWidget* area = view->viewport();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(100, 104));  // grabs the point
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "Point 0:00.453 (10000) 0\u00B0");
    MoveMouse(area, QPoint(150, 54), Qt::LeftButton);
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "Point 0:00.680 (15000) -45\u00B0");
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(150, 54));
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "Mouse 0:00.680 (15000) -45\u00B0");

    // A stereo sound carries a trajectory too, so its height is a direction as well.
    TestSound stereo = ViewTestBench::Mono(50000, 22050);
    stereo.format = MakeFormat(2, 22050, 16);
    stereo.samples = Pattern(size_t{50000} * 4);
    CTesselDoc& both = bench.Document(stereo);
    auto second = bench.MakeView(both, 500, 208);
    MoveMouse(second->viewport(), QPoint(100, 4));
    EXPECT_EQ(PaneText(*second, CommandId::kIndicatorMouse), "Mouse 0:00.453 (10000) -90\u00B0");
}

// A still mouse over a view that moves beneath it: End, the keyboard's zoom commands and the
// wheel each leave the readout on the frame now under the mouse; once it has left, none.
TEST_F(Readouts, TheMouseReadoutFollowsTheViewMovingBeneathAStillMouse) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(400000, 22050));
    auto view = bench.MakeView(doc, 500, 208);
    const struct {
        const char* name;
        std::function<void(CWaveScrollView&)> move;
    } moves[] = {
        {"zoom in", [](CWaveScrollView& v) { v.Navigation().ZoomIn(); }},
        {"zoom in again", [](CWaveScrollView& v) { v.Navigation().ZoomIn(); }},
        {"End", [](CWaveScrollView& v) { QTest::keyClick(&v, Qt::Key_End); }},
        {"Home", [](CWaveScrollView& v) { QTest::keyClick(&v, Qt::Key_Home); }},
        {"wheel",
         [](CWaveScrollView& v) {
             QWheelEvent wheel(QPointF(250, 50), v.viewport()->mapToGlobal(QPointF(250, 50)),
                               QPoint(), QPoint(0, -360), Qt::NoButton, Qt::NoModifier,
                               Qt::NoScrollPhase, false);
             QCoreApplication::sendEvent(v.viewport(), &wheel);
         }},
        {"zoom out", [](CWaveScrollView& v) { v.Navigation().ZoomOut(); }},
    };
    const QPoint at(220, 154);
    MoveMouse(view->viewport(), at);
    for (const auto& move : moves) {
        SCOPED_TRACE(move.name);
        const std::string before = PaneText(*view, CommandId::kIndicatorMouse);
        move.move(*view);
        Settle();
        const WaveViewGeometry& g = view->Geometry();
        const std::string expected =
            PositionReadouts::HoverText(g.SampleAtX(at.x()), g.PanFromY(at.y()), 22050);
        EXPECT_NE(expected, before);
        EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), expected);
    }
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(view->viewport(), &leave);
    view->Navigation().ZoomIn();
    EXPECT_EQ(PaneText(*view, CommandId::kIndicatorMouse), "");
}
