// Pan points edited without dragging: Point Properties from a double-click or the context
// menu, the keyboard (Tab, arrows, Delete), the markers at the window's edges and the reach
// of a press, on the real view.
#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "ViewTestBench.h"
#include "document/PanEditCommands.h"
#include "document/PointProperties.h"
#include "playback/CommandIds.h"
#include "playback/UndoMenuText.h"
#include "support/Trajectory.h"

namespace {

// A double-click as the platform delivers it: press, release, double-click, release.
void DoubleClick(QWidget* area, QPoint at) {
    QTest::mouseClick(area, Qt::LeftButton, {}, at);
    QTest::mouseDClick(area, Qt::LeftButton, {}, at);
    QTest::mouseRelease(area, Qt::LeftButton, {}, at);
}

int BlackInColumn(const QImage& image, int x, int y0, int y1) {
    int count = 0;
    for (int y = y0; y <= y1; ++y) {
        count += image.pixel(x, y) == qRgb(0, 0, 0) ? 1 : 0;
    }
    return count;
}

class PointEdit : public ::testing::Test {
  protected:
    void SetUp() override {
        bench.app.EnterPanEditMode();
        // Stands in for the shell's dialog: records the point asked about and applies the
        // answer the test chose.
        bench.app.Dialogs().SetPointProperties([this](PointProperties& properties) {
            asked.emplace_back(properties.Position(), properties.Pan());
            return answer && properties.Apply(answer->first, answer->second);
        });
    }
    void Key(CWaveScrollView& view, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(&view, key, modifiers);
    }

    ViewTestBench bench;
    PanPairs asked;
    std::optional<std::pair<uint32_t, int32_t>> answer;
};

}  // namespace

TEST_F(PointEdit, ADoubleClickOnAPointOpensItsPropertiesAndOkIsOneStep) {
    // 100 frames per column in a 500 x 208 window; the point at 20000 shows at x = 200.
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050, {{20000, 0}, {30000, 10}}));
    auto view = bench.MakeView(doc, 500, 208);
    answer = {{21000, -45}};
    DoubleClick(view->viewport(), QPoint(201, 105));
    ASSERT_EQ(asked, (PanPairs{{20000, 0}}));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{21000, -45}, {30000, 10}}));
    // The press of the double-click moved nothing and left no step of its own.
    EXPECT_EQ(doc.GetUndoHistory().UndoCount(), 1u);
    EXPECT_EQ(UndoMenuText::Undo(doc.GetUndoHistory()), "&Undo Modify Point\tCtrl+Z");
    ASSERT_TRUE(PanEditCommands::Undo(doc));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{20000, 0}, {30000, 10}}));
    EXPECT_FALSE(doc.IsModified());

    // Cancel changes nothing and leaves no step.
    answer.reset();
    DoubleClick(view->viewport(), QPoint(300, 113));
    EXPECT_EQ(asked.back(), (std::pair<uint32_t, int32_t>{30000, 10}));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{20000, 0}, {30000, 10}}));
    EXPECT_FALSE(PanEditCommands::CanUndo(doc));
    EXPECT_FALSE(doc.IsModified());

    // Off every point, the first click adds one, and the dialog opens on it.
    DoubleClick(view->viewport(), QPoint(400, 30));
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked.back().first, 40000u);
    EXPECT_EQ(UndoMenuText::Undo(doc.GetUndoHistory()), "&Undo Add Point\tCtrl+Z");
}

TEST_F(PointEdit, TheContextMenuOffersPointPropertiesForThePointUnderThePointer) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050, {{20000, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    answer = {{20000, 90}};
    bool bShown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = view->findChild<QMenu*>("ContextMenu153");
        ASSERT_NE(menu, nullptr);
        bShown = true;
        for (QAction* action : menu->actions()) {
            if (action->text() == "Point Properties...\tAlt+Enter") {
                EXPECT_TRUE(action->isEnabled());
                menu->setActiveAction(action);
            }
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTimer::singleShot(5000, [] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        }
    });
    QTest::mousePress(view->viewport(), Qt::RightButton, {}, QPoint(199, 103));
    ASSERT_TRUE(bShown);
    EXPECT_EQ(asked, (PanPairs{{20000, 0}}));
    EXPECT_EQ(PointsOf(doc), (PanPairs{{20000, 90}}));
}

TEST_F(PointEdit, TabWalksThePointsAndTheKeysEditTheSelectedOneStepByStep) {
    CTesselDoc& doc =
        bench.Document(ViewTestBench::Mono(50000, 22050, {{10000, 0}, {20000, 20}, {30000, 89}}));
    auto view = bench.MakeView(doc, 500, 208);
    view->setFocus();
    Key(*view, Qt::Key_Tab);
    ASSERT_NE(view->Points().Keys().Selected(), nullptr);
    EXPECT_EQ(view->Points().Keys().Selected()->position, 10000u);
    EXPECT_EQ(view->Points().Keys().Describe(), "Point 1 of 3: 0:00.453, frame 10000, direction 0");
    Key(*view, Qt::Key_Tab);
    EXPECT_EQ(view->Points().Keys().Selected()->position, 20000u);
    Key(*view, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(view->Points().Keys().Selected()->position, 10000u);
    Key(*view, Qt::Key_Tab);

    Key(*view, Qt::Key_Down);                   // +1 degree, down the window
    Key(*view, Qt::Key_Up, Qt::ShiftModifier);  // -10
    Key(*view, Qt::Key_Right);                  // one column: 100 frames
    Key(*view, Qt::Key_Left);
    Key(*view, Qt::Key_Left);
    EXPECT_EQ(PointsOf(doc), (PanPairs{{10000, 0}, {19900, 11}, {30000, 89}}));
    EXPECT_EQ(doc.GetUndoHistory().UndoCount(), 5u);
    EXPECT_EQ(view->Points().Keys().Describe(),
              "Point 2 of 3: 0:00.902, frame 19900, direction +11");

    // The direction stops at +90 and the position one frame short of the neighbour; a key
    // that changes nothing makes no step.
    Key(*view, Qt::Key_Tab);
    Key(*view, Qt::Key_Down, Qt::ShiftModifier);
    Key(*view, Qt::Key_Down);
    EXPECT_EQ(view->Points().Keys().Selected()->Pan(), 90);
    EXPECT_EQ(doc.GetUndoHistory().UndoCount(), 6u);
    Key(*view, Qt::Key_Backtab, Qt::ShiftModifier);
    for (int i = 0; i < 120; ++i) {
        Key(*view, Qt::Key_Right);
    }
    EXPECT_EQ(view->Points().Keys().Selected()->position, 29999u);

    // Delete takes the point away, one step, and selects the next one.
    Key(*view, Qt::Key_Delete);
    EXPECT_EQ(PointsOf(doc), (PanPairs{{10000, 0}, {30000, 90}}));
    EXPECT_EQ(view->Points().Keys().Selected()->position, 30000u);
    EXPECT_EQ(UndoMenuText::Undo(doc.GetUndoHistory()), "&Undo Delete Point\tCtrl+Z");
    ASSERT_TRUE(PanEditCommands::Undo(doc));
    EXPECT_EQ(doc.GetPanPoints().GetCount(), 3u);

    // Past the last point Tab lets the focus go and the selection with it.
    Key(*view, Qt::Key_Tab);
    EXPECT_EQ(view->Points().Keys().Selected(), nullptr);
}

TEST_F(PointEdit, WithoutASelectedPointTheKeysKeepTheirOwnMeaning) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(50000, 22050, {{10000, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    view->setFocus();
    Key(*view, Qt::Key_Down);
    Key(*view, Qt::Key_Delete);
    EXPECT_EQ(PointsOf(doc), (PanPairs{{10000, 0}}));
    // In selection mode Tab is no point walk, and a selected point is left alone.
    Key(*view, Qt::Key_Tab);
    ASSERT_NE(view->Points().Keys().Selected(), nullptr);
    bench.app.EnterSelectionMode();
    Key(*view, Qt::Key_Down);
    EXPECT_EQ(PointsOf(doc), (PanPairs{{10000, 0}}));
    CommandState state;
    view->UpdateCommand(CommandId::kPointProperties, state);
    EXPECT_FALSE(state.enabled);
}

TEST_F(PointEdit, PointsAtBothEdgesOfTheWindowAreDrawnWhole) {
    // 500 frames in 500 columns: frame 0 at x = 0, frame 500 at x = 500, past the last column.
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(500, 22050, {{0, 0}, {500, 0}}));
    auto view = bench.MakeView(doc, 500, 208);
    const QImage image = Grab(*view);
    const int y = view->Geometry().YOfPan(0);
    for (int x : {0, 1, 4, 5, 494, 495, 498, 499}) {
        EXPECT_GE(BlackInColumn(image, x, y - 3, y + 2), 4) << "x " << x;
    }
}

TEST_F(PointEdit, APressReachesAtLeastFourPixelsEveryWay) {
    // A low window at 1 frame per column: the classic reach of 4 degrees is about two rows.
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(500, 22050, {{250, 0}}));
    auto view = bench.MakeView(doc, 500, 90);
    const WaveViewGeometry& g = view->Geometry();
    const int y = g.YOfPan(0);
    for (const QPoint offset :
         {QPoint(-4, 0), QPoint(4, 0), QPoint(0, -4), QPoint(0, 4), QPoint(4, 4), QPoint(-4, -4)}) {
        const WaveViewGeometry::HitWindow w = g.HitWindowAt(250 + offset.x(), y + offset.y());
        EXPECT_TRUE(w.firstFrame <= 250 && 250 <= w.lastFrame && w.lowestPan <= 0 &&
                    0 <= w.highestPan)
            << offset.x() << "," << offset.y();
    }
    // Grabbed from four pixels away and moved: the point, not a new one.
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(254, y + 4));
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, QPoint(254, y + 4));
    EXPECT_EQ(doc.GetPanPoints().GetCount(), 1u);
    EXPECT_EQ(UndoMenuText::Undo(doc.GetUndoHistory()), "&Undo Modify Point\tCtrl+Z");
}
