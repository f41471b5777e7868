// The wave view on the offscreen platform: zoom, scaled scrolling, the selection with the mouse
// and the pixels its inversions leave.
#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>

#include "ViewTestBench.h"
#include "playback/CommandIds.h"
#include "support/PaintRecorder.h"
#include "views/StatusTexts.h"

namespace {

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kInvertedWhite = qRgb(0, 0, 0);

bool Enabled(CWaveScrollView& view, unsigned id) {
    CommandState state;
    EXPECT_TRUE(view.UpdateCommand(id, state));
    return state.enabled;
}

// The columns of row y whose pixel is black (white inverted) over the whole viewport width.
std::vector<int> BlackColumns(const QImage& image, int y) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixel(x, y) == kInvertedWhite) {
            columns.push_back(x);
        }
    }
    return columns;
}

class WaveView : public ::testing::Test {
  protected:
    ViewTestBench bench;
};

}  // namespace

TEST_F(WaveView, ZoomInHalvesTheFramesPerColumnDownToOne) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(44100));
    auto view = bench.MakeView(doc, 441, 200);
    ASSERT_EQ(view->Geometry().ImageWidth(), 441);
    EXPECT_FALSE(Enabled(*view, CommandId::kShowAll));
    view->Navigation().ShowAll();
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), 100.0);
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(Enabled(*view, CommandId::kZoomIn));
        view->RunCommand(CommandId::kZoomIn);
    }
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), 1.5625);
    EXPECT_EQ(view->Geometry().TotalWidth(), 28224u);
    EXPECT_EQ(view->Geometry().ZoomFactor(), 64u);
    view->RunCommand(CommandId::kZoomIn);
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), 1.0);
    EXPECT_EQ(view->Geometry().TotalWidth(), 44100u);
    EXPECT_FALSE(Enabled(*view, CommandId::kZoomIn));
    EXPECT_TRUE(Enabled(*view, CommandId::kShowAll));
    // A paint rebuilds the image at the new zoom and keeps the factor.
    Grab(*view);
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), 1.0);
}

TEST_F(WaveView, WideWaveformsScrollInScaledUnits) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(40000));
    auto view = bench.MakeView(doc, 500, 200);
    for (int i = 0; i < 7; ++i) {
        view->Navigation().ZoomIn();
    }
    ASSERT_EQ(view->Geometry().TotalWidth(), 40000u);
    ASSERT_EQ(view->Geometry().ImageWidth(), 500);
    EXPECT_FALSE(view->Geometry().IsDirectScroll());
    EXPECT_EQ(view->Geometry().ScrollRange(), 32267);
    EXPECT_NEAR(view->Geometry().ScrollScale(), 39500.0 / 32267.0, 1e-12);
    EXPECT_NEAR(view->Geometry().ScrollScale(), 1.22416, 1e-5);

    QScrollBar* bar = view->horizontalScrollBar();
    bar->setValue(0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), 49);
    EXPECT_EQ(view->Geometry().ScrollRemainder(), 1);
    EXPECT_EQ(view->Geometry().LeftColumn(), 60u);

    // Back left: the remainder goes negative and borrows whole units.
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(view->Geometry().ScrollRemainder(), 0);
    // Dragging the thumb drops the remainder.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_GT(view->Geometry().ScrollRemainder(), -1);
    bar->setSliderPosition(100);
    EXPECT_EQ(view->Geometry().ScrollRemainder(), 0);
    EXPECT_EQ(view->Geometry().LeftColumn(),
              static_cast<uint32_t>(100 * view->Geometry().ScrollScale()));
}

TEST_F(WaveView, ZoomOutAtFactorTwoReturnsToTheFittedState) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(44100));
    auto view = bench.MakeView(doc, 441, 200);
    view->Navigation().ZoomIn();
    ASSERT_EQ(view->Geometry().ZoomFactor(), 2u);
    ASSERT_TRUE(Enabled(*view, CommandId::kZoomOut));
    view->RunCommand(CommandId::kZoomOut);
    EXPECT_EQ(view->Geometry().ZoomFactor(), 1u);
    EXPECT_EQ(view->Geometry().TotalWidth(), 441u);
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), 100.0);
    EXPECT_FALSE(Enabled(*view, CommandId::kZoomOut));
    EXPECT_FALSE(Enabled(*view, CommandId::kShowAll));
}

TEST_F(WaveView, ZoomToSelectionFitsTheRangeAndScrollsToItsMiddle) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(100000));
    auto view = bench.MakeView(doc, 500, 200);
    EXPECT_FALSE(Enabled(*view, CommandId::kZoomSelection));  // a caret
    view->SetSelection(50000, 51000);
    ASSERT_TRUE(Enabled(*view, CommandId::kZoomSelection));
    view->RunCommand(CommandId::kZoomSelection);
    EXPECT_EQ(view->Geometry().TotalWidth(), 33333u);
    EXPECT_EQ(static_cast<int>(view->Geometry().SamplesPerPixel()), 3);
    EXPECT_GE(view->Geometry().ZoomFactor(), 2u);
    EXPECT_TRUE(view->Geometry().IsZoomedToSelection());
    EXPECT_FALSE(Enabled(*view, CommandId::kZoomSelection));
    EXPECT_TRUE(view->Geometry().IsSampleVisible(50500));
    EXPECT_TRUE(view->Geometry().IsSampleVisible(50000));
    EXPECT_TRUE(view->Geometry().IsSampleVisible(51000));
    // The scroll bar that came with the zoom leaves the range centred and the zoom flagged.
    QCoreApplication::processEvents();
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(view->Geometry().IsZoomedToSelection());
    // 33333 columns scroll in scaled units, which round the left column down by one.
    EXPECT_FALSE(view->Geometry().IsDirectScroll());
    EXPECT_NEAR(view->Geometry().LeftColumn(), 50500 / 3 - 250, 1.0);

    // Within the window already: the flag is set and the whole sound stays fitted.
    CTesselDoc& small = bench.Document(ViewTestBench::Mono(1000));
    auto fitted = bench.MakeView(small, 500, 200);
    fitted->SetSelection(0, 600);
    ASSERT_TRUE(Enabled(*fitted, CommandId::kZoomSelection));
    fitted->Navigation().ZoomToSelection();
    EXPECT_EQ(fitted->Geometry().ZoomFactor(), 1u);
    EXPECT_EQ(fitted->Geometry().TotalWidth(), 500u);
    EXPECT_TRUE(fitted->Geometry().IsZoomedToSelection());
}

TEST_F(WaveView, SelectAllIsDisabledOnceEverythingIsSelected) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    ASSERT_TRUE(Enabled(*view, CommandId::kSelectAll));
    view->RunCommand(CommandId::kSelectAll);
    EXPECT_EQ(view->GetSelStart(), 0u);
    EXPECT_EQ(view->GetSelEnd(), 5000u);
    EXPECT_FALSE(Enabled(*view, CommandId::kSelectAll));
}

TEST_F(WaveView, DraggingSelectsAndReturningToTheAnchorGivesACaret) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);  // 10 frames per column
    QWidget* area = view->viewport();
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_TRUE(view->IsDragging());
    EXPECT_EQ(view->GetSelStart(), 1000u);
    EXPECT_TRUE(view->IsCaret());
    QTest::mouseMove(area, QPoint(150, 50));
    EXPECT_EQ(view->GetSelStart(), 1000u);
    EXPECT_EQ(view->GetSelEnd(), 1500u);
    QTest::mouseMove(area, QPoint(40, 50));
    EXPECT_EQ(view->GetSelStart(), 400u);
    EXPECT_EQ(view->GetSelEnd(), 1000u);
    // Left of the window: the left edge's frame.
    QTest::mouseMove(area, QPoint(-30, 50));
    EXPECT_EQ(view->GetSelStart(), 0u);
    QTest::mouseMove(area, QPoint(100, 50));
    EXPECT_EQ(view->GetSelStart(), 1000u);
    EXPECT_EQ(view->GetSelEnd(), 1001u);
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_FALSE(view->IsDragging());
}

TEST_F(WaveView, ShiftClickMovesTheNearerEndAndATieMovesTheEnd) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    QWidget* area = view->viewport();
    view->SetSelection(1000, 2000);
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, QPoint(150, 50));  // midway
    EXPECT_EQ(view->GetSelStart(), 1000u);
    EXPECT_EQ(view->GetSelEnd(), 1500u);
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, QPoint(110, 50));
    EXPECT_EQ(view->GetSelStart(), 1100u);
    EXPECT_EQ(view->GetSelEnd(), 1500u);
    QTest::mouseClick(area, Qt::LeftButton, Qt::ShiftModifier, QPoint(300, 50));
    EXPECT_EQ(view->GetSelStart(), 1100u);
    EXPECT_EQ(view->GetSelEnd(), 3000u);
    // A plain click returns to a caret.
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(20, 50));
    EXPECT_TRUE(view->IsCaret());
    EXPECT_EQ(view->GetSelStart(), 200u);
}

TEST_F(WaveView, TheSelectionShowsInvertedAndTheCaretIsAtLeastTwoPixelsWide) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    const int row = 2;  // above the waveform's reach: white unless inverted
    ASSERT_TRUE(BlackColumns(Grab(*view), row).empty());

    view->SetSelection(1000, 1500);
    std::vector<int> expected;
    for (int x = 100; x < 150; ++x) {
        expected.push_back(x);
    }
    EXPECT_EQ(BlackColumns(Grab(*view), row), expected);
    // Growing the end inverts only the band that changed; the screen shows the new range.
    view->SetSelection(1000, 1800);
    EXPECT_EQ(BlackColumns(Grab(*view), row).size(), 80u);

    view->SetSelection(3000, 3001);
    EXPECT_TRUE(view->IsCaretVisible());
    EXPECT_EQ(BlackColumns(Grab(*view), row), (std::vector<int>{300, 301}));
    view->InvertCaret(true);
    EXPECT_TRUE(BlackColumns(Grab(*view), row).empty());

    // One frame over several columns: the caret covers the frame's columns.
    CTesselDoc& small = bench.Document(ViewTestBench::Mono(100));
    auto wide = bench.MakeView(small, 500, 100);  // 5 columns per frame
    wide->SetSelection(10, 11);
    EXPECT_EQ(BlackColumns(Grab(*wide), row), (std::vector<int>{50, 51, 52, 53, 54}));
}

TEST_F(WaveView, ASelectionOffScreenShowsAgainAfterScrollingBack) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(40000));
    auto view = bench.MakeView(doc, 500, 100);
    for (int i = 0; i < 4; ++i) {
        view->Navigation().ZoomIn();
    }
    view->horizontalScrollBar()->setValue(0);
    view->SetSelection(100, 600);
    const int row = 2;
    EXPECT_EQ(BlackColumns(Grab(*view), row).size(), 100u);  // 5 frames per column
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    EXPECT_FALSE(view->SelectionInView());
    EXPECT_TRUE(BlackColumns(Grab(*view), row).empty());
    view->SetSelection(100, 700);  // changed while off screen: nothing to invert
    EXPECT_TRUE(BlackColumns(Grab(*view), row).empty());
    view->horizontalScrollBar()->setValue(0);
    EXPECT_EQ(BlackColumns(Grab(*view), row).size(), 120u);
}

TEST_F(WaveView, TheWaveformIsDarkGreenOnWhiteWithACentreLine) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000, 22050, {{0, -90}}));
    auto view = bench.MakeView(doc, 500, 100);
    const QImage image = Grab(*view);
    int green = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            ASSERT_TRUE(pixel == kWhite || pixel == qRgb(0, 127, 0) || pixel == qRgb(0, 0, 0) ||
                        qRed(pixel) == 255 || pixel == qRgb(255, 255, 255))
                << x << "," << y;
            green += pixel == qRgb(0, 127, 0);
        }
    }
    EXPECT_GT(green, 1000);
    EXPECT_EQ(image.pixel(7, 50), qRgb(0, 0, 0));     // the centre line
    EXPECT_EQ(image.pixel(200, 4), qRgb(255, 0, 0));  // the trajectory, level at -90
}

TEST_F(WaveView, StatusTextsDescribeTheSound) {
    EXPECT_EQ(StatusTexts::SizeText(999), "999 bytes");
    EXPECT_EQ(StatusTexts::SizeText(1000), "1,000 bytes");
    EXPECT_EQ(StatusTexts::SizeText(999999), "999,999 bytes");
    EXPECT_EQ(StatusTexts::SizeText(1000000), "1,000k bytes");
    EXPECT_EQ(StatusTexts::SizeText(1005000), "1,005k bytes");
    EXPECT_EQ(StatusTexts::SizeText(1234567), "1,234k bytes");
    EXPECT_EQ(StatusTexts::DurationText(59999, 1000), "60.00 sec.");
    EXPECT_EQ(StatusTexts::DurationText(60000, 1000), "1.00 min.");
    EXPECT_EQ(StatusTexts::DurationText(22050, 44100), "0.50 sec.");

    TestSound stereo = ViewTestBench::Mono(100, 44100);
    stereo.format = MakeFormat(2, 44100, 16);
    stereo.samples = Pattern(400);
    stereo.chunkFrames = 100;
    CTesselDoc& doc = bench.Document(stereo);
    EXPECT_EQ(StatusTexts::FormatText(doc), "44,100 / 16 bit / stereo / WAVE");
    CTesselDoc& slow = bench.Document(ViewTestBench::Mono(100, 8000));
    EXPECT_EQ(StatusTexts::FormatText(slow), "8,000 / 16 bit / mono / WAVE");
}

TEST_F(WaveView, ASelectionChangeRepaintsOnlyTheColumnsThatChanged) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    view->SetSelection(1000, 1500);
    QCoreApplication::processEvents();
    PaintRecorder recorder(view->viewport());
    view->SetSelection(1000, 1800);  // the end moves: columns 150 ... 179
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.painted, QRegion(150, 0, 30, 100));
    recorder.painted = QRegion();
    view->SetSelection(700, 1800);  // the start moves: columns 70 ... 99
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.painted, QRegion(70, 0, 30, 100));
}

TEST_F(WaveView, TheCaretBlinksOnlyWhileTheViewIsActive) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(5000));
    auto view = bench.MakeView(doc, 500, 100);
    view->SetSelection(2000, 2000);
    view->InvertCaret(true);  // hidden, as after a click
    ASSERT_FALSE(view->IsCaretVisible());
    QTest::qWait(800);
    EXPECT_FALSE(view->IsCaretVisible());  // not active: no blinking
    view->ActivateView(true);
    EXPECT_TRUE(ViewTestBench::WaitUntil([&] { return view->IsCaretVisible(); }, 1500));
    view->ActivateView(false);
    EXPECT_FALSE(view->IsCaretVisible());
    QTest::qWait(800);
    EXPECT_FALSE(view->IsCaretVisible());
}
