#include "views/CTimeRuler.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include "document/CTesselDoc.h"
#include "geometry/RulerTicks.h"
#include "views/WaveViewAside.h"

namespace {

// Rows of a tick from the ruler's bottom edge: labelled ticks reach up to their label.
constexpr int kMinorTickRows = 4;
constexpr int kMajorTickRows = 9;
constexpr int kLabelGap = 12;

}  // namespace

CTimeRuler::CTimeRuler(WaveViewAside& view, QWidget* parent) : QWidget(parent), m_view(view) {
    setObjectName("TimeRuler");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
    setToolTip("Click: put the caret here. Double-click: play from here.");
    view.OnDisplayChanged(this, [this] { update(); });
}

QSize CTimeRuler::sizeHint() const {
    return QSize(100, fontMetrics().height() + kMajorTickRows);
}

QSize CTimeRuler::minimumSizeHint() const {
    return QSize(0, sizeHint().height());
}

int CTimeRuler::LabelSpacing() const {
    return fontMetrics().horizontalAdvance("00:00.000") + kLabelGap;
}

uint32_t CTimeRuler::FrameAtX(int x) const {
    return m_view.PaintedGeometry().SampleAtX(x);
}

void CTimeRuler::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Button));
    const QColor ink = palette().color(QPalette::ButtonText);
    painter.fillRect(QRect(0, height() - 1, width(), 1), palette().color(QPalette::Dark));
    const WaveViewGeometry geometry = m_view.PaintedGeometry();
    const uint32_t rate = m_view.Document().GetFormat().sampleRate;
    const int bottom = height() - 1;
    painter.setPen(ink);
    const QFontMetrics metrics = fontMetrics();
    for (const RulerTicks::Tick& tick : RulerTicks::Layout(geometry, rate, LabelSpacing())) {
        const int rows = tick.bLabelled ? kMajorTickRows : kMinorTickRows;
        if (tick.x >= 0) {
            painter.fillRect(QRect(tick.x, bottom - rows, 1, rows), ink);
        }
        if (tick.bLabelled) {
            painter.drawText(tick.x + 3, metrics.ascent(), QString::fromStdString(tick.label));
        }
    }
}

void CTimeRuler::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_view.ScrollArea().setFocus(Qt::MouseFocusReason);
    m_view.PlaceCaretFromRuler(FrameAtX(static_cast<int>(event->position().x())));
}

void CTimeRuler::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    m_view.PlayFrom(FrameAtX(static_cast<int>(event->position().x())));
}

void CTimeRuler::mouseMoveEvent(QMouseEvent* event) {
    m_view.SetPointer(QPoint(static_cast<int>(event->position().x()), 0), true);
    QWidget::mouseMoveEvent(event);
}

void CTimeRuler::leaveEvent(QEvent* event) {
    m_view.SetPointer(std::nullopt, false);
    QWidget::leaveEvent(event);
}
