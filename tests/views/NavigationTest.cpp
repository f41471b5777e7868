// Getting about a sound on the offscreen platform: the wheel, Ctrl+wheel, Home and End, the
// time ruler's clicks and the overview bar's click and drag.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include "ViewTestBench.h"
#include "geometry/RulerTicks.h"
#include "views/COverviewToolBar.h"
#include "views/CTimeRuler.h"
#include "views/CWaveViewPane.h"

namespace {

using Column = WaveViewGeometry::Column;

// One turn of the wheel over the view's window at x; horizontal wheels turn along x.
void Wheel(CWaveScrollView& view, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           int x = 100, bool bHorizontal = false) {
    const QPointF at(x, 40);
    QWheelEvent event(at, view.viewport()->mapToGlobal(at), QPoint(),
                      bHorizontal ? QPoint(delta, 0) : QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(view.viewport(), &event);
}

class Navigation : public ::testing::Test {
  protected:
    // A view of frames frames at 8000 Hz, 500 columns wide, zoomed in zoomIns times.
    std::unique_ptr<CWaveScrollView> ZoomedView(uint32_t frames, int zoomIns) {
        CTesselDoc& doc = bench.Document(ViewTestBench::Mono(frames, 8000));
        auto view = bench.MakeView(doc, 500, 120);
        for (int i = 0; i < zoomIns; ++i) {
            view->Navigation().ZoomIn();
        }
        Settle();
        return view;
    }
    // A view inside its document window's pane, the ruler above it; the pane owns the view.
    std::unique_ptr<CWaveViewPane> Pane(CTesselDoc& doc, CWaveScrollView*& view, int width = 500,
                                        int height = 150) {
        view = new CWaveScrollView(doc, bench.app);
        auto pane = std::make_unique<CWaveViewPane>(*view);
        pane->resize(width, height);
        pane->show();
        Settle();
        return pane;
    }

    ViewTestBench bench;
};

}  // namespace

TEST_F(Navigation, TheWheelScrollsATenthOfTheWindowWhateverTheSoundsLength) {
    // Ten seconds scroll directly; ten minutes, zoomed in as far, in scaled units.
    for (const auto& [frames, zoomIns] : {std::pair<uint32_t, int>{80000, 4}, {4800000, 8}}) {
        SCOPED_TRACE(frames);
        auto view = ZoomedView(frames, zoomIns);
        ASSERT_TRUE(view->Geometry().CanZoomOut());
        EXPECT_EQ(view->Geometry().IsDirectScroll(), frames == 80000);
        view->ScrollToSample(frames / 4);
        const Column left = view->Geometry().LeftColumn();
        Wheel(*view, -120);  // toward the user: on into the sound
        EXPECT_EQ(view->Geometry().LeftColumn(), left + 50);
        Wheel(*view, 120);
        EXPECT_EQ(view->Geometry().LeftColumn(), left);
        for (int i = 0; i < 20; ++i) {
            Wheel(*view, -120);
        }
        EXPECT_EQ(view->Geometry().LeftColumn(), left + 1000);  // two windows on
        // Shift+wheel and a sideways wheel do the same.
        Wheel(*view, 120, Qt::ShiftModifier);
        EXPECT_EQ(view->Geometry().LeftColumn(), left + 950);
        Wheel(*view, -120, Qt::NoModifier, 100, true);
        EXPECT_EQ(view->Geometry().LeftColumn(), left + 1000);
        // The start is as far as it goes.
        for (int i = 0; i < 1000; ++i) {
            Wheel(*view, 120);
        }
        EXPECT_EQ(view->Geometry().LeftColumn(), 0);
    }
}

TEST_F(Navigation, CtrlWheelZoomsAboutTheMouseThroughTheZoomCommandsSteps) {
    auto view = ZoomedView(80000, 0);  // 160 frames a column
    auto byCommand = ZoomedView(80000, 0);
    const uint32_t under = view->PaintedGeometry().SampleAtX(100);
    Wheel(*view, 120, Qt::ControlModifier, 100);
    byCommand->Navigation().ZoomIn();
    EXPECT_EQ(view->Geometry().ZoomFactor(), 2u);
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), byCommand->Geometry().SamplesPerPixel());
    // The frame under the mouse stays under it, to the column.
    EXPECT_NEAR(view->PaintedGeometry().SampleAtX(100), under, 80);

    const uint32_t right = view->PaintedGeometry().SampleAtX(420);
    Wheel(*view, 240, Qt::ControlModifier, 420);  // two notches
    byCommand->Navigation().ZoomIn();
    byCommand->Navigation().ZoomIn();
    EXPECT_EQ(view->Geometry().ZoomFactor(), 8u);
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), byCommand->Geometry().SamplesPerPixel());
    EXPECT_NEAR(view->PaintedGeometry().SampleAtX(420), right, 20);

    // On to one frame a column, where Zoom In is disabled: further notches do nothing.
    for (int i = 0; i < 20; ++i) {
        Wheel(*view, 120, Qt::ControlModifier, 250);
    }
    EXPECT_FALSE(view->Geometry().CanZoomIn());
    EXPECT_DOUBLE_EQ(view->Geometry().SamplesPerPixel(), 1.0);
    const Column left = view->Geometry().LeftColumn();
    Wheel(*view, 120, Qt::ControlModifier, 250);
    EXPECT_EQ(view->Geometry().LeftColumn(), left);

    // And back out to the whole sound, where Zoom Out is disabled.
    for (int i = 0; i < 20; ++i) {
        Wheel(*view, -120, Qt::ControlModifier, 250);
    }
    EXPECT_FALSE(view->Geometry().CanZoomOut());
    EXPECT_EQ(view->Geometry().ZoomFactor(), 1u);
    EXPECT_EQ(view->Geometry().TotalWidth(), 500u);
}

TEST_F(Navigation, HomeAndEndMoveTheCaretAndShiftExtendsTheSelection) {
    auto view = ZoomedView(80000, 4);  // 8000 columns, 500 shown
    view->SetSelection(30000, 30001);
    QTest::keyClick(view.get(), Qt::Key_End);
    EXPECT_EQ(view->GetSelStart(), 79999u);
    EXPECT_TRUE(view->IsCaret());
    EXPECT_TRUE(view->Geometry().IsSampleVisible(79999));
    QTest::keyClick(view.get(), Qt::Key_Home);
    EXPECT_EQ(view->GetSelStart(), 0u);
    EXPECT_TRUE(view->IsCaret());
    EXPECT_EQ(view->Geometry().LeftColumn(), 0);

    view->SetSelection(30000, 30001);
    QTest::keyClick(view.get(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(view->GetSelStart(), 30000u);
    EXPECT_EQ(view->GetSelEnd(), 80000u);
    QTest::keyClick(view.get(), Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(view->GetSelStart(), 0u);
    EXPECT_EQ(view->GetSelEnd(), 80000u);
    EXPECT_EQ(view->Geometry().LeftColumn(), 0);

    view->SetSelection(30000, 30001);
    QTest::keyClick(view.get(), Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(view->GetSelStart(), 0u);
    EXPECT_EQ(view->GetSelEnd(), 30000u);
}

TEST_F(Navigation, TheRulerSitsAboveTheViewAndScrollsWithIt) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(80000, 8000));
    CWaveScrollView* inPane = nullptr;
    auto pane = Pane(doc, inPane, 500, 150);
    CWaveScrollView& view = *inPane;
    CTimeRuler& ruler = pane->Ruler();
    // The view keeps a client of its own below the ruler, all of its height.
    EXPECT_EQ(ruler.geometry().bottom() + 1, view.geometry().top());
    EXPECT_EQ(ruler.width(), view.width());
    EXPECT_EQ(view.viewport()->geometry(), view.rect());
    EXPECT_EQ(view.Geometry().ImageHeight(), 150 - ruler.height());

    for (int i = 0; i < 6; ++i) {
        view.Navigation().ZoomIn();  // 2.5 frames a column
    }
    Settle();
    view.Navigation().ScrollByColumns(12345);
    Settle();
    const WaveViewGeometry g = view.PaintedGeometry();
    ASSERT_EQ(g.LeftColumn(), 12345);
    // Where the ruler draws its labelled ticks, the rows above its bottom line are ink.
    const QImage grab = ruler.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb ink = ruler.palette().color(QPalette::ButtonText).rgb();
    const QRgb face = ruler.palette().color(QPalette::Button).rgb();
    int labelled = 0;
    for (const auto& tick : RulerTicks::Layout(g, 8000, ruler.LabelSpacing())) {
        if (tick.x < 0) {
            continue;
        }
        EXPECT_EQ(grab.pixel(tick.x, ruler.height() - 3), ink) << tick.x;
        labelled += tick.bLabelled ? 1 : 0;
        // A tick shows in its own column only.
        if (tick.x + 1 < ruler.width() && tick.bLabelled) {
            EXPECT_EQ(grab.pixel(tick.x + 1, ruler.height() - 3), face) << tick.x;
        }
    }
    EXPECT_GE(labelled, 3);
    // The ruler's frames are the view's, column for column.
    EXPECT_EQ(ruler.FrameAtX(0), g.SampleAtX(0));
    EXPECT_EQ(ruler.FrameAtX(321), g.SampleAtX(321));
}

TEST_F(Navigation, ARulerClickPutsTheCaretThereAndADoubleClickPlaysFromThere) {
    CTesselDoc& doc = bench.Document(ViewTestBench::Mono(22050, 22050));
    CWaveScrollView* inPane = nullptr;
    auto pane = Pane(doc, inPane);
    CWaveScrollView& view = *inPane;
    view.SetSelection(100, 5000);
    const uint32_t at200 = view.PaintedGeometry().SampleAtX(200);
    QTest::mouseClick(&pane->Ruler(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 5));
    EXPECT_TRUE(view.IsCaret());
    EXPECT_EQ(view.GetSelStart(), at200);
    EXPECT_FALSE(bench.app.IsPlaying());
    EXPECT_TRUE(view.IsCaretVisible());

    QTest::mouseDClick(&pane->Ruler(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 5));
    const uint32_t at300 = view.PaintedGeometry().SampleAtX(300);
    ASSERT_TRUE(bench.app.GetPlayback().IsPlaying(doc));
    EXPECT_EQ(bench.app.GetPlayback().GetPlayStart(), at300);
    // Again elsewhere while it plays: it starts over from there.
    QTest::mouseDClick(&pane->Ruler(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 5));
    ASSERT_TRUE(bench.app.GetPlayback().IsPlaying(doc));
    EXPECT_EQ(bench.app.GetPlayback().GetPlayStart(), view.PaintedGeometry().SampleAtX(50));
    bench.app.GetPlayback().Stop();
}

TEST_F(Navigation, AClickOnTheOverviewCentresTheViewAndADragDragsTheVisibleRange) {
    auto view = ZoomedView(80000, 4);  // a sixteenth of the sound shows
    COverviewToolBar bar(bench.prompts);
    bar.resize(800, bar.sizeHint().height());
    bar.show();
    QObject::connect(&bar, &COverviewToolBar::CentreRequested, view.get(),
                     [&view](uint32_t frame) { view->ScrollToSample(frame); });
    ViewTestBench::Feed(*view, bar);
    Settle();
    const QRect inner = bar.OverviewAreaRect().adjusted(2, 2, -2, -2);
    const auto centre = [&view] {
        const WaveViewGeometry g = view->PaintedGeometry();
        return g.SampleOfColumn(g.LeftColumn() + g.ImageWidth() / 2);
    };
    const auto frameAt = [&inner](int x) { return double(x - inner.x()) / inner.width() * 80000; };

    // Three quarters in: the view's middle goes there.
    const int x = inner.x() + inner.width() * 3 / 4;
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(x, inner.center().y()));
    EXPECT_NEAR(centre(), frameAt(x), 200);

    // A drag from inside the visible range carries the range with the mouse.
    ViewTestBench::Feed(*view, bar);
    const uint32_t before = centre();
    const int from = x + 3;
    QTest::mousePress(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(from, inner.center().y()));
    EXPECT_NEAR(centre(), before, 20);  // grabbing it does not move it
    QMouseEvent move(QEvent::MouseMove, QPointF(from - 200, inner.center().y()),
                     bar.mapToGlobal(QPointF(from - 200, inner.center().y())), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&bar, &move);
    EXPECT_NEAR(centre(), before - (frameAt(from) - frameAt(from - 200)), 200);
    QTest::mouseRelease(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(from - 200, 50));
    // Past the start it stops at the start.
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier, QPoint(inner.x(), inner.center().y()));
    EXPECT_EQ(view->Geometry().LeftColumn(), 0);

    // Presses on the pan picture still do nothing.
    const Column left = view->Geometry().LeftColumn();
    QTest::mouseClick(&bar, Qt::LeftButton, Qt::NoModifier,
                      bar.PanPictureOrigin() + QPoint(70, 50));
    EXPECT_EQ(view->Geometry().LeftColumn(), left);
}
