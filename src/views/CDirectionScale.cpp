#include "views/CDirectionScale.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "views/WaveViewAside.h"

namespace {

constexpr int kMarkWidth = 4;

}  // namespace

CDirectionScale::CDirectionScale(WaveViewAside& view, QWidget* parent)
    : QWidget(parent), m_view(view) {
    setObjectName("DirectionScale");
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setToolTip("Where the wave's height places the sound");
    // The drawing area resizes when the view does and when the lanes come or go.
    view.ScrollArea().viewport()->installEventFilter(this);
}

QSize CDirectionScale::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const char* text : {"behind", "ahead", "right", "left"}) {
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    return QSize(widest + kMarkWidth + 6, 100);
}

QSize CDirectionScale::minimumSizeHint() const {
    return QSize(sizeHint().width(), 0);
}

std::vector<CDirectionScale::Mark> CDirectionScale::Marks() const {
    const WaveViewGeometry g = m_view.PaintedGeometry();
    if (g.ImageHeight() <= 0) {
        return {};
    }
    std::vector<Mark> marks;
    if (g.IsAllAround()) {
        for (const PlaceAxis::Tick& tick : g.AzimuthAxis().Ticks()) {
            marks.push_back({g.AzimuthAxis().YOf(tick.value), tick.label});
        }
    } else {
        marks = {{g.YOfPan(-90), "left"}, {g.YOfPan(0), "ahead"}, {g.YOfPan(90), "right"}};
    }
    return marks;
}

bool CDirectionScale::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize || event->type() == QEvent::Move) {
        update();
    }
    return QWidget::eventFilter(watched, event);
}

void CDirectionScale::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Button));
    const QColor ink = palette().color(QPalette::ButtonText);
    painter.setPen(ink);
    // In the strip's rows: the drawing area may start below the view's top.
    const QWidget* area = m_view.ScrollArea().viewport();
    const int top = mapFromGlobal(area->mapToGlobal(QPoint(0, 0))).y();
    const int rowHeight = fontMetrics().height();
    const int bottom = top + area->height();
    int free = top;
    for (const Mark& mark : Marks()) {
        const int markY = top + mark.y;
        painter.fillRect(QRect(width() - kMarkWidth, markY, kMarkWidth, 1), ink);
        // Centred on its mark, but kept inside the drawing area and clear of the one before.
        const int labelTop = std::max(free, std::min(markY - rowHeight / 2, bottom - rowHeight));
        if (labelTop + rowHeight > bottom) {
            continue;
        }
        painter.drawText(QRect(0, labelTop, width() - kMarkWidth - 2, rowHeight),
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(mark.text));
        free = labelTop + rowHeight;
    }
}
