#include "shell/ToolBarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygon>

#include "playback/CommandTable.h"

namespace {

void DrawMagnifier(QPainter& painter, char sign) {
    painter.drawEllipse(QRect(2, 2, 10, 10));
    painter.drawLine(11, 11, 16, 16);
    painter.drawLine(12, 11, 16, 15);
    if (sign != 0) {
        painter.drawLine(5, 7, 9, 7);
        if (sign == '+') {
            painter.drawLine(7, 5, 7, 9);
        }
    }
}

void DrawPicture(QPainter& painter, ToolIcon icon) {
    using enum ToolIcon;
    switch (icon) {
        case kOpen:
            painter.drawPolyline(QPolygon({{1, 15}, {1, 4}, {6, 4}, {8, 6}, {14, 6}, {14, 9}}));
            painter.drawPolygon(QPolygon({{1, 15}, {4, 9}, {17, 9}, {14, 15}}));
            break;
        case kSave:
            painter.drawRect(QRect(2, 2, 14, 14));
            painter.drawRect(QRect(5, 2, 8, 5));
            painter.fillRect(QRect(5, 11, 9, 5), Qt::black);
            break;
        case kPanPoints: {
            painter.drawPolyline(QPolygon({{1, 14}, {6, 5}, {12, 11}, {17, 3}}));
            for (const QPoint& point : {QPoint(6, 5), QPoint(12, 11)}) {
                painter.setBrush(Qt::black);
                painter.drawEllipse(point, 2, 2);
            }
            break;
        }
        case kCaret:
            painter.drawLine(9, 2, 9, 16);
            painter.drawLine(6, 2, 12, 2);
            painter.drawLine(6, 16, 12, 16);
            break;
        case kDeleteInRange:
            painter.drawLine(1, 2, 1, 16);
            painter.drawLine(17, 2, 17, 16);
            painter.drawLine(5, 5, 13, 13);
            painter.drawLine(13, 5, 5, 13);
            break;
        case kZoomIn:
            DrawMagnifier(painter, '+');
            break;
        case kZoomOut:
            DrawMagnifier(painter, '-');
            break;
        case kShowAll:
            painter.drawLine(1, 3, 1, 15);
            painter.drawLine(16, 3, 16, 15);
            painter.drawLine(3, 9, 14, 9);
            painter.drawPolyline(QPolygon({{6, 6}, {3, 9}, {6, 12}}));
            painter.drawPolyline(QPolygon({{11, 6}, {14, 9}, {11, 12}}));
            break;
        case kZoomSelection:
            DrawMagnifier(painter, 0);
            painter.drawPolyline(QPolygon({{5, 4}, {4, 4}, {4, 10}, {5, 10}}));
            painter.drawPolyline(QPolygon({{9, 4}, {10, 4}, {10, 10}, {9, 10}}));
            break;
        case kLoop:
            // An arrow going round.
            painter.drawArc(QRect(3, 3, 12, 12), 120 * 16, 300 * 16);
            painter.setBrush(Qt::black);
            painter.drawPolygon(QPolygon({{3, 2}, {9, 3}, {5, 8}}));
            break;
        case kRecord:
            painter.setBrush(Qt::black);
            painter.drawEllipse(QPoint(9, 9), 5, 5);
            break;
        case kRecordTouch:
        case kRecordLatch:
        case kRecordWrite: {
            QFont font = painter.font();
            font.setPixelSize(13);
            font.setBold(true);
            painter.setFont(font);
            const char* const initial = icon == kRecordTouch   ? "T"
                                        : icon == kRecordLatch ? "L"
                                                               : "W";
            painter.drawText(QRect(0, 0, 18, 18), Qt::AlignCenter, initial);
            break;
        }
        case kContextHelp:
            painter.setBrush(Qt::black);
            painter.drawPolygon(
                QPolygon({{1, 1}, {1, 12}, {4, 9}, {7, 14}, {8, 13}, {6, 8}, {10, 8}}));
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRect(11, 2, 6, 6), -90 * 16, 270 * 16);
            painter.drawLine(14, 8, 14, 11);
            painter.drawPoint(14, 14);
            break;
        case kStop:
            painter.fillRect(QRect(4, 4, 10, 10), Qt::black);
            break;
        case kPlay:
            painter.setBrush(Qt::black);
            painter.drawPolygon(QPolygon({{5, 3}, {5, 15}, {14, 9}}));
            break;
        default:
            break;
    }
}

QIcon DrawInfoPicture() {
    QPixmap pixmap(ToolBarIcons::kInfoImage);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // The trajectory under the name: the program's own sign.
    QPainterPath path;
    path.moveTo(2, 15);
    path.cubicTo(20, 0, 30, 19, 46, 4);
    painter.setPen(QPen(Qt::darkBlue, 2));
    painter.drawPath(path);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(
        QRect(52, 0, ToolBarIcons::kInfoImage.width() - 52, ToolBarIcons::kInfoImage.height()),
        Qt::AlignVCenter | Qt::AlignLeft, "Sonomap");
    painter.end();
    return QIcon(pixmap);
}

}  // namespace

QIcon ToolBarIcons::Draw(ToolIcon icon) {
    if (icon == ToolIcon::kInfoPicture) {
        return DrawInfoPicture();
    }
    QPixmap pixmap(kButtonImage);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setPen(QPen(Qt::black, 1));
        DrawPicture(painter, icon);
    }
    return QIcon(pixmap);
}
