// Pan point editing with the mouse on the real view, the edit commands, and the pixels of the
// trajectory and of the drag preview.
#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include "ViewTestBench.h"
#include "document/PanEditCommands.h"
#include "playback/CommandIds.h"
#include "support/Trajectory.h"

namespace {

const QRgb kRed = qRgb(255, 0, 0);

std::string UndoText(CWaveScrollView& view) {
    CommandState state;
    view.UpdateCommand(CommandId::kEditUndo, state);
    return state.enabled ? state.text.value_or("") : "(disabled) " + state.text.value_or("");
}

bool Enabled(CWaveScrollView& view, unsigned id) {
    CommandState state;
    view.UpdateCommand(id, state);
    return state.enabled;
}

class PanEdit : public ::testing::Test {
  protected:
    void SetUp() override { bench.app.EnterPanEditMode(); }

    ViewTestBench bench;
};

}  // namespace

TEST_F(PanEdit, ThePanAxisSpansTheImageHeight) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(1000));
    auto view = bench.MakeView(doc, 500, 208);
    EXPECT_EQ(view->Geometry().PanFromY(4), -90);
    EXPECT_EQ(view->Geometry().PanFromY(104), 0);
    EXPECT_EQ(view->Geometry().PanFromY(204), 90);
    EXPECT_EQ(view->Geometry().PanFromY(0), -90);  // -93 before the limit
    EXPECT_EQ(view->Geometry().PanFromY(207), 90);
    EXPECT_EQ(view->Geometry().YOfPan(-90), 4);
    EXPECT_EQ(view->Geometry().YOfPan(0), 104);
    EXPECT_EQ(view->Geometry().YOfPan(90), 204);
    // A window too low for the axis still maps every row to a pan.
    auto tiny = bench.MakeView(doc, 500, 6);
    EXPECT_EQ(tiny->Geometry().YOfPan(-90), 4);
    EXPECT_EQ(tiny->Geometry().YOfPan(90), 5);
    EXPECT_EQ(tiny->Geometry().PanFromY(5), 90);
}

TEST_F(PanEdit, AClickAddsAPointThatUndoTakesAway) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 208);  // 10 frames per column
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);
    bar.livePans.clear();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(120, 54));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{1200, -45}}));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(bar.livePans, (std::vector<int>{-45, kNoLivePan}));
    EXPECT_FALSE(view->IsDragging());
    EXPECT_FALSE(view->Points().IsDragPreviewShown());
    EXPECT_EQ(UndoText(*view), "&Undo Add Point\tCtrl+Z");
    view->RunCommand(CommandId::kEditUndo);
    EXPECT_TRUE(PointsOf(doc).empty());
    EXPECT_EQ(UndoText(*view), "(disabled) &Undo\tCtrl+Z");
}

TEST_F(PanEdit, AnAddedPointIsClampedBetweenItsNeighbours) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(500, 22050, {{10, -90}, {11, -90}}));
    auto view = bench.MakeView(doc, 500, 208);  // one frame per column
    // Over frame 10 but far from both points: 11 by the first clamp, then 10 by the second.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, 204));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{10, -90}, {10, 90}, {11, -90}}));
}

TEST_F(PanEdit, ADragStopsOneFrameShortOfTheNeighbour) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{1000, 0}, {2000, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    RecordingBar bar;
    ViewTestBench::Feed(*view, bar);
    bar.livePans.clear();
    QWidget* area = view->viewport();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(101, 104));  // grabs the point at 1000
    ASSERT_NE(view->Points().Drag().Point(), nullptr);
    EXPECT_EQ(view->Points().Drag().Point()->position, 1000u);
    EXPECT_TRUE(view->Points().IsDragPreviewShown());
    // The record is made at the press; undoing waits for the release.
    EXPECT_EQ(UndoText(*view), "(disabled) &Undo Modify Point\tCtrl+Z");
    QTest::mouseMove(area, QPoint(300, 154));
    EXPECT_EQ(view->Points().Drag().Point()->position, 1999u);
    EXPECT_EQ(view->Points().Drag().Point()->Pan(), 45);
    // No overview update while dragging: only the live values.
    ViewTestBench::Feed(*view, bar);
    EXPECT_EQ(bar.updates, 1);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(300, 154));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{1999, 45}, {2000, 0}}));
    EXPECT_EQ(bar.livePans, (std::vector<int>{0, 45, kNoLivePan}));
    view->RunCommand(CommandId::kEditUndo);
    EXPECT_EQ(PointsOf(doc), (PanPairs{{1000, 0}, {2000, 0}}));
}

TEST_F(PanEdit, GrabbingAPointAtFrameZeroLeavesNoPreviousPoint) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{0, -90}, {0, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(0, 104));
    ASSERT_NE(view->Points().Drag().Point(), nullptr);
    EXPECT_EQ(view->Points().Drag().Point()->Pan(), 0);
    EXPECT_EQ(view->Points().Drag().Prev(), nullptr);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(0, 104));
}

TEST_F(PanEdit, CtrlClickDeletesThePointUnderTheMouseOnly) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050, {{10000, 30}}));
    auto view = bench.MakeView(doc, 500, 208);  // 100 frames per column
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(120, 134));
    EXPECT_EQ(PointsOf(doc).size(), 1u);  // nothing there: nothing happens
    EXPECT_FALSE(doc.IsModified());
    // Two columns off still hits: the window reaches 400 frames either side.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(102, 134));
    EXPECT_TRUE(PointsOf(doc).empty());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(view->IsDragging());
    EXPECT_EQ(UndoText(*view), "&Undo Delete Point\tCtrl+Z");
    view->RunCommand(CommandId::kEditUndo);
    EXPECT_EQ(PointsOf(doc), (PanPairs{{10000, 30}}));
}

TEST_F(PanEdit, RangeCommandsNeedARangeWithPointsAndUndoStaysWithItsDocument) {
    CTesselDoc& doc =
        bench.Document(ViewTestBench::Mono(5000, 22050, {{1000, 10}, {1200, 20}, {1400, 30}}));
    CTesselDoc& other = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 208);
    auto otherView = bench.MakeView(other, 500, 208);
    EXPECT_FALSE(Enabled(*view, CommandId::kDeleteInRange));  // a caret
    view->SetSelection(2000, 3000);
    EXPECT_FALSE(Enabled(*view, CommandId::kEditCut));  // a range without points
    view->SetSelection(900, 1500);
    ASSERT_TRUE(Enabled(*view, CommandId::kDeleteInRange));
    EXPECT_TRUE(Enabled(*view, CommandId::kEditCopy));
    EXPECT_FALSE(Enabled(*view, CommandId::kPaste));
    view->RunCommand(CommandId::kEditCopy);
    EXPECT_TRUE(Enabled(*view, CommandId::kPaste));
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_TRUE(PointsOf(doc).empty());
    EXPECT_EQ(UndoText(*view), "&Undo Delete Points\tCtrl+Z");
    // The step is the first document's: the other view has a history of its own, empty.
    EXPECT_EQ(UndoText(*otherView), "(disabled) &Undo\tCtrl+Z");
    view->RunCommand(CommandId::kEditUndo);
    EXPECT_EQ(PointsOf(doc).size(), 3u);
    EXPECT_EQ(UndoText(*view), "(disabled) &Undo\tCtrl+Z");
    view->RunCommand(CommandId::kEditRedo);
    EXPECT_TRUE(PointsOf(doc).empty());

    // Paste at a caret in the other document.
    otherView->SetSelection(3000, 3001);
    otherView->RunCommand(CommandId::kPaste);
    EXPECT_EQ(PointsOf(other), (PanPairs{{3100, 10}, {3300, 20}, {3500, 30}}));
}

TEST_F(PanEdit, TheTrajectoryIsRedWithMarkersAndLevelBeyondItsPoints) {
    CTesselDoc& empty = bench.Document(ViewTestBench::Mono(5000));
    auto flat = bench.MakeView(empty, 500, 208);
    QImage image = Grab(*flat);
    for (int x = 0; x < 500; x += 7) {
        ASSERT_EQ(image.pixel(x, 104), kRed) << x;  // level at pan 0
    }

    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{1000, -90}, {3000, 90}}));
    auto view = bench.MakeView(doc, 500, 208);
    image = Grab(*view);
    // From frame 0 at pan 0 to the first point, then up to the second, then level.
    EXPECT_EQ(image.pixel(50, 104 - 50), kRed);
    EXPECT_EQ(image.pixel(200, 104), kRed);
    EXPECT_EQ(image.pixel(450, 204), kRed);
    // A marker: a black square around the first point, away from the lines through it.
    EXPECT_EQ(image.pixel(97, 1), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(101, 1), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(95, 1), qRgb(255, 255, 255));

    // Scrolled so that every point lies left of the window: level at the last pan.
    for (int i = 0; i < 3; ++i) {
        view->Navigation().ZoomIn();
    }
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    image = Grab(*view);
    for (int x = 0; x < image.width(); x += 9) {
        ASSERT_EQ(image.pixel(x, view->Geometry().YOfPan(90)), kRed) << x;
    }
}

TEST_F(PanEdit, TheDragPreviewInvertsWhatItCoversOverTheTrajectoryOfThePress) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{1000, -90}, {3000, -90}}));
    auto view = bench.MakeView(doc, 500, 208);
    QWidget* area = view->viewport();
    const QImage before = Grab(*view);
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(200, 204));  // adds (2000, 90)
    ASSERT_TRUE(view->Points().IsDragPreviewShown());
    const QImage during = Grab(*view);
    // Half-way from (100, 4) to (200, 204) the preview inverts whatever was there.
    EXPECT_EQ(during.pixel(150, 104), before.pixel(150, 104) ^ 0x00FFFFFF);
    // The trajectory itself stays as it was until the release.
    EXPECT_EQ(during.pixel(250, 4), kRed);
    QTest::mouseMove(area, QPoint(220, 204));
    EXPECT_EQ(Grab(*view).pixel(250, 4), kRed);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(220, 204));
    const QImage after = Grab(*view);
    EXPECT_EQ(after.pixel(160, 104), kRed);  // now through the moved point
    EXPECT_NE(after.pixel(250, 4), kRed);
}

TEST_F(PanEdit, ADraggedPointCannotBeTakenAwayUnderTheMouse) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{1000, 0}, {2000, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    view->SetSelection(500, 2500);
    QWidget* area = view->viewport();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(100, 104));
    ASSERT_NE(view->Points().Drag().Point(), nullptr);
    QTest::keyClick(view.get(), Qt::Key_Delete);
    EXPECT_FALSE(Enabled(*view, CommandId::kEditCut));
    EXPECT_FALSE(Enabled(*view, CommandId::kEditUndo));
    EXPECT_FALSE(Enabled(*view, CommandId::kPaste));
    EXPECT_EQ(PointsOf(doc).size(), 2u);
    QTest::mouseMove(area, QPoint(120, 104));
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(120, 104));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{1200, 0}, {2000, 0}}));
    EXPECT_TRUE(Enabled(*view, CommandId::kDeleteInRange));
    // Alt+Backspace is Undo's key, not the view's Backspace.
    QTest::keyClick(view.get(), Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(PointsOf(doc).size(), 2u);
    QTest::keyClick(view.get(), Qt::Key_Backspace);
    EXPECT_TRUE(PointsOf(doc).empty());
}

TEST_F(PanEdit, APointAtFrameZeroWithANeighbourThereStaysAtZero) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{0, -90}, {0, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    QWidget* area = view->viewport();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(0, 4));
    ASSERT_NE(view->Points().Drag().Point(), nullptr);
    QTest::mouseMove(area, QPoint(100, 30));
    EXPECT_EQ(view->Points().Drag().Point()->position, 0u);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(100, 30));
    EXPECT_EQ(PointsOf(doc).front().first, 0u);
    EXPECT_EQ(PointsOf(doc).back().first, 0u);
}
