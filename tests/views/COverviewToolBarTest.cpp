#include "views/COverviewToolBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>

#include "ViewTestBench.h"
#include "geometry/TopView.h"
#include "platform/MonoBitmap.h"
#include "support/ScriptedPrompts.h"
#include "views/OverviewGeometry.h"

namespace {

// Records the paint events a widget gets and the region each one covers.
class PaintSpy : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++m_count;
            m_region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
    void Reset() {
        m_count = 0;
        m_region = QRegion();
    }
    int m_count = 0;
    QRegion m_region;
};

// A 1000 x 200 overview of a silent sound (one black row at the centre) with one full stroke
// at column 500.
std::unique_ptr<MonoBitmap> MakeOverview() {
    auto image = std::make_unique<MonoBitmap>(1000, 200);
    image->DrawLine(0, 100, 1000, 100);
    image->DrawLine(500, 4, 500, 196);
    return image;
}

class OverviewToolBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_bar = std::make_unique<COverviewToolBar>(m_prompts);
        m_bar->resize(800, OverviewGeometry::kBarHeight);
        m_bar->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_bar.get()));
        m_bar->installEventFilter(&m_spy);
        Settle();
        m_colours = m_bar->Colours();
        m_light = m_bar->palette().color(QPalette::Light).rgb();
        // The checks below tell the colours apart.
        ASSERT_NE(m_colours.face, m_colours.shadow);
        ASSERT_NE(m_colours.face, m_colours.text);
        ASSERT_NE(m_colours.shadow, m_colours.text);
        m_inner = m_bar->OverviewAreaRect().adjusted(2, 2, -2, -2);
        m_top = m_inner.y();
        m_bottom = m_inner.y() + m_inner.height();
    }

    void Send(const OverviewViewInfo& info) {
        OverviewUpdateEvent event(info);
        QCoreApplication::sendEvent(m_bar.get(), &event);
    }
    void SendPan(int pan) {
        SetLivePanEvent event(pan);
        QCoreApplication::sendEvent(m_bar.get(), &event);
    }
    // Delivers what the last steps asked to repaint, and starts the spy afresh.
    void Flush() {
        Settle();
        m_spy.Reset();
    }
    QImage Grab() { return m_bar->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    OverviewViewInfo Info(uint32_t first, uint32_t last, uint32_t selStart, uint32_t selEnd) {
        OverviewViewInfo info;
        info.overviewImage = m_image.get();
        info.selStart = selStart;
        info.selEnd = selEnd;
        info.firstVisible = first;
        info.lastVisible = last;
        info.length = 1000;
        return info;
    }
    OverviewGeometry::VisibleColumns Columns(const OverviewViewInfo& info) const {
        return OverviewGeometry::ComputeVisibleColumns(m_inner.x(), m_inner.width(),
                                                       m_image->Width(), info.firstVisible,
                                                       info.lastVisible, info.length);
    }
    // The row of the image area that shows the silent centre line, drawn in ink.
    int CentreRow(const QImage& grab, int x, QRgb ink) const {
        for (int y = m_top + 8; y < m_bottom - 8; ++y) {
            if (grab.pixel(x, y) == ink) {
                return y;
            }
        }
        return -1;
    }

    ScriptedPrompts m_prompts;
    PaintSpy m_spy;
    std::unique_ptr<COverviewToolBar> m_bar;
    std::unique_ptr<MonoBitmap> m_image = MakeOverview();
    OverviewColours m_colours;
    QRgb m_light = 0;
    QRect m_inner;  // where the image is stretched to
    int m_top = 0;
    int m_bottom = 0;  // exclusive
};

}  // namespace

TEST_F(OverviewToolBarTest, DocksAlongTheBottomAtItsFixedHeightAndIgnoresLeftPresses) {
    QMainWindow frame;
    frame.resize(900, 400);
    auto* bar = new COverviewToolBar(m_prompts);
    frame.addToolBar(Qt::BottomToolBarArea, bar);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(bar->height(), 105);
    EXPECT_GE(bar->width(), 880);
    EXPECT_EQ(frame.toolBarArea(bar), Qt::BottomToolBarArea);
    EXPECT_FALSE(bar->isMovable());
    EXPECT_FALSE(bar->isFloatable());
    EXPECT_EQ(bar->allowedAreas(), Qt::BottomToolBarArea);
    EXPECT_EQ(bar->objectName(), "Overview");
    EXPECT_EQ(bar->windowTitle(), "Overview");

    const QPointF at(20, 50);
    QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    press.ignore();
    QCoreApplication::sendEvent(bar, &press);
    EXPECT_TRUE(press.isAccepted());
    EXPECT_EQ(bar->geometry().height(), 105);
    // The pan picture sits at the right end of the client, the overview area left of it.
    EXPECT_EQ(bar->PanPictureOrigin().x() + 141, bar->width());
    EXPECT_EQ(bar->OverviewAreaRect().width(), bar->width() - 143);
}

TEST_F(OverviewToolBarTest, MarkersShowAtTheirCentresOverThePicture) {
    const QPoint origin = m_bar->PanPictureOrigin();
    const struct {
        int pan;
        QPoint centre;
    } cases[] = {{-90, {11, 70}}, {-45, {51, 14}}, {0, {71, 11}}, {45, {91, 14}}, {90, {130, 70}}};
    for (const auto& c : cases) {
        SendPan(c.pan);
        EXPECT_EQ(m_bar->GetLivePan(), c.pan);
        const QImage grab = Grab();
        EXPECT_EQ(grab.pixel(origin + c.centre), qRgb(255, 255, 0)) << c.pan;
        // The disc's rim is olive, and the square's corners still show the picture.
        EXPECT_EQ(grab.pixel(origin + c.centre + QPoint(-5, 0)), qRgb(127, 127, 0)) << c.pan;
        const QPoint corner = c.centre - QPoint(5, 5);
        EXPECT_EQ(grab.pixel(origin + corner), m_bar->PanPicture().pixel(corner)) << c.pan;
        const QPoint outside = c.centre + QPoint(5, 0);
        EXPECT_EQ(grab.pixel(origin + outside), m_bar->PanPicture().pixel(outside)) << c.pan;
    }
}

// A change repaints exactly the old and the new marker squares; a repeated value, after
// clamping, repaints nothing.
TEST_F(OverviewToolBarTest, LivePanRepaintsOnlyTheTwoMarkerSquares) {
    SendPan(-45);
    Flush();
    SendPan(45);
    Settle();
    EXPECT_GE(m_spy.m_count, 1);
    EXPECT_EQ(m_spy.m_region, QRegion(m_bar->MarkerRect(-45)) + m_bar->MarkerRect(45));

    Flush();
    SendPan(45);
    Settle();
    EXPECT_EQ(m_spy.m_count, 0);

    SendPan(-250);
    EXPECT_EQ(m_bar->GetLivePan(), -90);
    Settle();
    EXPECT_EQ(m_spy.m_region, QRegion(m_bar->MarkerRect(45)) + m_bar->MarkerRect(-90));
    Flush();
    SendPan(-90);
    Settle();
    EXPECT_EQ(m_spy.m_count, 0);
    SendPan(250);
    EXPECT_EQ(m_bar->GetLivePan(), 90);
    EXPECT_EQ(Grab().pixel(m_bar->PanPictureOrigin() + QPoint(130, 70)), qRgb(255, 255, 0));
}

TEST_F(OverviewToolBarTest, NoDirectionRemovesTheMarkerAndARepaintShowsThePlainPicture) {
    SendPan(30);
    Flush();
    SendPan(kNoLivePan);
    Settle();
    EXPECT_EQ(m_bar->GetLivePan(), kNoLivePan);
    EXPECT_EQ(m_spy.m_region, QRegion(m_bar->MarkerRect(30)));

    m_bar->update();
    Settle();
    const QImage grab = Grab();
    const QRect pictureRect(m_bar->PanPictureOrigin(), m_bar->PanPicture().size());
    EXPECT_EQ(grab.copy(pictureRect), m_bar->PanPicture());

    Flush();
    SendPan(kNoLivePan);
    Settle();
    EXPECT_EQ(m_spy.m_count, 0);
}

TEST_F(OverviewToolBarTest, NoDocumentLeavesTheAreaInTheFaceColour) {
    Send(Info(250, 500, 100, 300));
    Send(OverviewViewInfo{});
    const QImage grab = Grab();
    const QRect area = m_bar->OverviewAreaRect();
    for (int y = area.y() + 1; y < area.y() + area.height() - 1; ++y) {
        for (int x = area.x() + 1; x < area.x() + area.width() - 1; ++x) {
            ASSERT_EQ(grab.pixel(x, y), m_colours.face) << x << "," << y;
        }
    }
    // The sunken frame: dark top and left, lit right and bottom, the top-right corner lit.
    EXPECT_EQ(grab.pixel(area.x(), area.y()), m_colours.shadow);
    EXPECT_EQ(grab.pixel(area.x(), area.y() + 50), m_colours.shadow);
    EXPECT_EQ(grab.pixel(area.x() + area.width() - 1, area.y()), m_light);
    EXPECT_EQ(grab.pixel(area.x() + 50, area.y() + area.height() - 1), m_light);
}

TEST_F(OverviewToolBarTest, WholeSoundVisibleDrawsTheBracketOverTheWholeArea) {
    Send(Info(0, 1000, 0, 1));
    const QImage grab = Grab();
    const int x1 = m_inner.x();
    const int x2 = m_inner.x() + m_inner.width();
    for (int x = x1; x < x2; ++x) {
        ASSERT_EQ(grab.pixel(x, m_top), kBracketCyan) << x;
        ASSERT_EQ(grab.pixel(x, m_bottom - 1), kBracketCyan) << x;
    }
    EXPECT_EQ(grab.pixel(x2, m_top + 1), kBracketBlue);
    EXPECT_EQ(grab.pixel(x2, m_bottom - 2), kBracketBlue);
    EXPECT_EQ(grab.pixel(x1 + 1, m_top + 1), kBracketBlue);

    // Inside the bracket every column is the visible band: dark paper, the silent centre line
    // in the text colour (a one-pixel row of the image survives the shrinking).
    const int centre = CentreRow(grab, x1 + 20, m_colours.text);
    ASSERT_GT(centre, 0);
    for (int x = x1 + 2; x < x2 - 1; ++x) {
        ASSERT_EQ(grab.pixel(x, centre), m_colours.text) << x;
        const QRgb above = grab.pixel(x, m_top + 20);
        ASSERT_TRUE(above == m_colours.shadow || above == m_colours.text) << x;
    }
    // The full stroke at image column 500 shows in one column from near top to near bottom.
    int strokeColumns = 0;
    for (int x = x1 + 2; x < x2 - 1; ++x) {
        if (grab.pixel(x, m_top + 20) == m_colours.text) {
            ++strokeColumns;
            EXPECT_EQ(grab.pixel(x, m_bottom - 20), m_colours.text);
            EXPECT_NEAR(x - x1, 500 * (x2 - x1) / 1000, 1);
        }
    }
    EXPECT_EQ(strokeColumns, 1);
}

// Zoomed in on frames 250 ... 500: the three bands in their colours and the bracket's pens,
// each line stopping one pixel short of its end point.
TEST_F(OverviewToolBarTest, ZoomedViewDrawsThreeBandsAndTheBracket) {
    const OverviewViewInfo info = Info(250, 500, 0, 1);
    Send(info);
    const QImage grab = Grab();
    const auto c = Columns(info);
    ASSERT_EQ(c.x1, m_inner.x() + m_inner.width() / 4);
    ASSERT_EQ(c.x2, m_inner.x() + m_inner.width() / 2);
    const int centre = CentreRow(grab, m_inner.x() + 5, m_colours.shadow);
    ASSERT_GT(centre, 0);
    const int plain = m_top + 30;  // a row with no waveform and no dash gap at x1
    EXPECT_EQ(grab.pixel(c.x1 - 10, plain), m_colours.face);
    EXPECT_EQ(grab.pixel(c.x1 - 10, centre), m_colours.shadow);
    EXPECT_EQ(grab.pixel(c.x1 + 10, plain), m_colours.shadow);
    EXPECT_EQ(grab.pixel(c.x1 + 10, centre), m_colours.text);
    EXPECT_EQ(grab.pixel(c.x2 + 10, plain), m_colours.face);
    EXPECT_EQ(grab.pixel(c.x2 + 10, centre), m_colours.shadow);
    // Image column 500 is where the visible range ends: its stroke is in the right band.
    EXPECT_EQ(grab.pixel(c.x2 - 3, plain), m_colours.shadow);
    EXPECT_EQ(grab.pixel(c.x2 + 1, plain), m_colours.face);

    EXPECT_EQ(grab.pixel(c.x1, m_top), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x1, m_top + 5), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x1 + 1, m_top), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x1 + 1, m_top + 1), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x1 + 1, m_top + 6), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2 - 1, m_top), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x2 - 1, m_top + 5), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x2 - 2, m_top + 1), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2, m_top + 1), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2, m_top + 5), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2, m_top), m_colours.face);  // end point of the top line
    EXPECT_EQ(grab.pixel(c.x2 + 1, m_top + 1), m_colours.face);

    EXPECT_EQ(grab.pixel(c.x1, m_bottom - 1), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x1, m_bottom - 7), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x1 + 1, m_bottom - 2), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2 - 1, m_bottom - 1), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x2, m_bottom - 2), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2, m_bottom - 1), m_colours.face);
    // Neither blue line at x2 reaches B - 7, so the stroke of image column 500, the first
    // column of the right band, shows there.
    EXPECT_EQ(grab.pixel(c.x2, m_bottom - 7), m_colours.shadow);
    EXPECT_EQ(grab.pixel(c.x2 + 1, m_bottom - 7), m_colours.face);

    // The dashed sides: a dash from T + 6, then a gap that shows the band beneath.
    const int dashEnd = m_top + 6 + kBracketDashOn;
    EXPECT_EQ(grab.pixel(c.x1, dashEnd - 1), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x1 + 1, dashEnd - 1), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x2 - 1, dashEnd - 1), kBracketCyan);
    EXPECT_EQ(grab.pixel(c.x2, dashEnd - 1), kBracketBlue);
    EXPECT_EQ(grab.pixel(c.x1, dashEnd), m_colours.shadow);
    EXPECT_EQ(grab.pixel(c.x2, dashEnd), m_colours.shadow);
    EXPECT_EQ(grab.pixel(c.x1, dashEnd + kBracketDashOff), kBracketCyan);
}

TEST_F(OverviewToolBarTest, SelectionIsInvertedUnderTheBracket) {
    const OverviewViewInfo info = Info(250, 500, 100, 300);
    Send(info);
    const QImage grab = Grab();
    const auto c = Columns(info);
    const auto sel =
        OverviewGeometry::ComputeSelectionColumns(m_inner.x(), m_inner.width(), 100, 300, 1000);
    ASSERT_LT(sel.begin, c.x1);
    ASSERT_GT(sel.end, c.x1 + 2);
    const int plain = m_top + 30;
    const QRgb invert = 0x00FFFFFFu;
    EXPECT_EQ(grab.pixel(sel.begin, plain), m_colours.face ^ invert);
    EXPECT_EQ(grab.pixel(sel.begin - 1, plain), m_colours.face);
    EXPECT_EQ(grab.pixel(c.x1 + 3, plain), m_colours.shadow ^ invert);
    EXPECT_EQ(grab.pixel(sel.end - 1, plain), m_colours.shadow ^ invert);
    EXPECT_EQ(grab.pixel(sel.end, plain), m_colours.shadow);
    EXPECT_EQ(grab.pixel(sel.end - 1, m_top + 2), m_colours.shadow ^ invert);
    EXPECT_EQ(grab.pixel(sel.end - 1, m_bottom - 3), m_colours.shadow ^ invert);
    // The bracket is drawn over the inversion, and the inversion stays off the face ring.
    EXPECT_EQ(grab.pixel(c.x1, m_top), kBracketCyan);
    EXPECT_EQ(grab.pixel(sel.begin, m_top - 1), m_colours.face);
    EXPECT_EQ(grab.pixel(sel.begin, m_bottom), m_colours.face);
}

TEST_F(OverviewToolBarTest, NothingChangedMeansNoRepaint) {
    OverviewViewInfo info = Info(250, 500, 100, 300);
    Send(info);
    Flush();
    Send(info);
    Settle();
    EXPECT_EQ(m_spy.m_count, 0);

    info.force = 1;
    Send(info);
    Settle();
    EXPECT_GE(m_spy.m_count, 1);

    Flush();
    info.force = 0;
    info.selEnd = 400;
    Send(info);
    Settle();
    EXPECT_GE(m_spy.m_count, 1);
    EXPECT_TRUE(QRegion(m_bar->OverviewAreaRect()).contains(m_spy.m_region.boundingRect()));

    // A new size forces the next update through even with nothing else changed.
    m_bar->resize(700, OverviewGeometry::kBarHeight);
    Flush();
    Send(info);
    Settle();
    EXPECT_GE(m_spy.m_count, 1);
    Flush();
    Send(info);
    Settle();
    EXPECT_EQ(m_spy.m_count, 0);
    EXPECT_TRUE(m_prompts.Boxes().empty());
}

// The bar draws from its own copy: the view's image may be gone before the next repaint or
// resize, as when a document closes between two idle updates.
TEST_F(OverviewToolBarTest, RepaintAfterTheViewsImageIsGoneStillShowsTheOverview) {
    const OverviewViewInfo info = Info(0, 1000, 0, 1);
    Send(info);
    m_image.reset();
    m_bar->resize(760, OverviewGeometry::kBarHeight);
    Settle();
    const QImage grab = Grab();
    const QRect inner = m_bar->OverviewAreaRect().adjusted(2, 2, -2, -2);
    EXPECT_EQ(grab.pixel(inner.x(), inner.y()), kBracketCyan);
    EXPECT_EQ(grab.pixel(inner.x() + inner.width() - 1, inner.y()), kBracketCyan);
    EXPECT_EQ(grab.pixel(inner.x() + 20, inner.y() + 20), m_colours.shadow);
}

TEST_F(OverviewToolBarTest, TheTopViewShowsTheSourceAtItsAzimuthAndDistanceOnlyWhenAsked) {
    const QPoint origin = m_bar->PanPictureOrigin();
    const QRect picture(origin, m_bar->PanPicture().size());
    SoundPlace place;
    place.azimuth = 180;
    place.distanceCm = 1000;
    place.elevation = 45;
    m_bar->SetLivePlace(place);
    // Not asked: the frontal picture stays as it was.
    EXPECT_EQ(Grab().copy(picture), m_bar->PanPicture());

    m_bar->SetTopView(true);
    const double cx = picture.x() + picture.width() / 2.0;
    const double cy = picture.y() + picture.height() / 2.0;
    const double rim = picture.height() / 2.0 - 3.0;
    struct Case {
        double azimuth;
        double distanceCm;
    };
    for (const Case c : {Case{180, 1000}, Case{90, 100}, Case{-45, 5000}}) {
        place.azimuth = c.azimuth;
        place.distanceCm = c.distanceCm;
        m_bar->SetLivePlace(place);
        const TopView::Spot spot = TopView::SourceAt(c.azimuth, c.distanceCm, cx, cy, rim);
        const QRgb ink = Grab().pixel(static_cast<int>(spot.x), static_cast<int>(spot.y));
        EXPECT_NE(ink, qRgb(255, 255, 255)) << c.azimuth;
        EXPECT_GT(qRed(ink), qBlue(ink)) << c.azimuth;  // above is drawn warm
    }
    m_bar->SetTopView(false);
    EXPECT_EQ(Grab().copy(picture), m_bar->PanPicture());
}

TEST(TopView, DistanceRunsOutwardOnALogScaleAndFrontIsUp) {
    struct Case {
        double azimuth;
        double distanceCm;
        double x;
        double y;
    };
    const Case cases[] = {
        {0, 10, 50, 50},    {0, 100, 50, 40},   {0, 10000, 50, 20},
        {90, 1000, 70, 50}, {180, 100, 50, 60}, {-90, 20000, 20, 50},
    };
    for (const Case& c : cases) {
        const TopView::Spot spot = TopView::SourceAt(c.azimuth, c.distanceCm, 50, 50, 30);
        EXPECT_NEAR(spot.x, c.x, 1e-9) << c.azimuth << " " << c.distanceCm;
        EXPECT_NEAR(spot.y, c.y, 1e-9) << c.azimuth << " " << c.distanceCm;
        // A press there reads the place back; 20000 cm lies past the rim, read as 100 m.
        const TopView::Place place = TopView::PlaceAt(c.x, c.y, 50, 50, 30);
        if (c.distanceCm > 10) {
            EXPECT_NEAR(std::remainder(place.azimuth - c.azimuth, 360.0), 0.0, 1e-9) << c.azimuth;
        }
        EXPECT_NEAR(place.distanceCm, std::min(c.distanceCm, 10000.0), 1e-6) << c.distanceCm;
    }
}

// The place at the caret shows while nothing is live: a ring where the live marker would be
// on the frontal picture, gone while a direction is live and back after; in the view from
// above the same, with the elevation on the view from the side next to it.
TEST_F(OverviewToolBarTest, ThePlaceAtTheCaretShowsAsARingWhileNothingIsLive) {
    const auto ringShows = [&](int pan) {
        const QImage shown = Grab();
        const QRect square = m_bar->MarkerRect(pan);
        int olivePixels = 0;
        for (int y = square.top(); y <= square.bottom(); ++y) {
            for (int x = square.left(); x <= square.right(); ++x) {
                const QRgb pixel = shown.pixel(x, y);
                olivePixels += std::abs(qRed(pixel) - 127) < 40 &&
                               std::abs(qGreen(pixel) - 127) < 40 && qBlue(pixel) < 60;
            }
        }
        // Hollow: the middle shows the picture, not the marker's yellow.
        return olivePixels >= 8 && shown.pixel(square.center()) != qRgb(255, 255, 0);
    };
    Send(Info(0, 1000, 0, 1));
    for (const double azimuth : {-45.0, 0.0, 30.0, 150.0}) {
        SCOPED_TRACE(azimuth);
        SoundPlace place;
        place.azimuth = azimuth;
        SetCaretPlaceEvent caret(place);
        QCoreApplication::sendEvent(m_bar.get(), &caret);
        // Behind reads as its frontal fold on the frontal picture, as the marker would.
        const int pan = azimuth > 90 ? 180 - static_cast<int>(azimuth) : static_cast<int>(azimuth);
        EXPECT_TRUE(ringShows(pan));
        SendPan(pan);
        EXPECT_FALSE(ringShows(pan));
        EXPECT_EQ(Grab().pixel(m_bar->MarkerRect(pan).center()), qRgb(255, 255, 0));
        SendPan(kNoLivePan);
        EXPECT_TRUE(ringShows(pan));
    }
    Send(OverviewViewInfo{});  // no sound, no caret
    EXPECT_FALSE(m_bar->GetCaretPlace().has_value());

    const QRect before = m_bar->OverviewAreaRect();
    m_bar->SetTopView(true);
    const QRect side = m_bar->SideViewRect();
    EXPECT_EQ(side.right() + 3, m_bar->PanPictureOrigin().x());
    EXPECT_EQ(m_bar->OverviewAreaRect().right(), before.right() - side.width() - 2);
    EXPECT_LT(m_bar->OverviewAreaRect().right(), side.left());
    SoundPlace above;
    above.azimuth = 0;
    above.elevation = 60;
    above.distanceCm = 1000;
    m_bar->SetCaretPlace(above);
    const TopView::Spot spot =
        TopView::SideAt(0, 60, 1000, side.x() + side.width() / 2.0, side.y() + side.height() / 2.0,
                        m_bar->PanPicture().height() / 2.0 - 3.0);
    EXPECT_GT(spot.x, side.x() + side.width() / 2.0);   // in front
    EXPECT_LT(spot.y, side.y() + side.height() / 2.0);  // above the horizon
    const QImage shown = Grab();
    bool bRing = false;
    for (int dy = -5; dy <= 5 && !bRing; ++dy) {
        for (int dx = -5; dx <= 5 && !bRing; ++dx) {
            bRing = qGray(shown.pixel(static_cast<int>(spot.x) + dx,
                                      static_cast<int>(spot.y) + dy)) < 80;
        }
    }
    EXPECT_TRUE(bRing);
}
