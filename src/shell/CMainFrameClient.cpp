#include "shell/CMainFrameClient.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

CMainFrameClient::CMainFrameClient(QWidget* parent) : QMdiArea(parent) {
    LoadTile();
}

QImage CMainFrameClient::DrawTile(const QPalette& palette) {
    QImage tile(kTileWidth, kTileHeight, QImage::Format_RGB32);
    tile.fill(palette.color(QPalette::Button));
    QPainter painter(&tile);
    // An engraved wave with a pan arc over it: shadow below right, light above left.
    const auto drawMotif = [&painter](const QColor& color, int dx, int dy) {
        painter.setPen(QPen(color, 1));
        QPainterPath wave;
        wave.moveTo(6 + dx, 30 + dy);
        for (int x = 7; x <= 58; ++x) {
            const double amplitude = 10.0 - (x - 6) / 6.0;
            wave.lineTo(x + dx, 30 + dy - amplitude * std::sin((x - 6) * 0.7));
        }
        painter.drawPath(wave);
        painter.drawArc(QRect(12 + dx, 8 + dy, 40, 26), 30 * 16, 120 * 16);
    };
    drawMotif(palette.color(QPalette::Light), -1, -1);
    drawMotif(palette.color(QPalette::Dark), 0, 0);
    painter.setPen(palette.color(QPalette::Shadow));
    painter.drawPoint(32, 8);
    return tile;
}

void CMainFrameClient::ArrangeIcons() {
    int x = 0;
    for (QMdiSubWindow* window : subWindowList()) {
        if (!window->isMinimized()) {
            continue;
        }
        const QSize size = window->size();
        window->move(x, viewport()->height() - size.height());
        x += size.width();
    }
}

void CMainFrameClient::changeEvent(QEvent* event) {
    QMdiArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        LoadTile();
    }
}

void CMainFrameClient::LoadTile() {
    // A texture brush tiles from the area's origin across the whole background.
    setBackground(QBrush(QPixmap::fromImage(DrawTile(palette()))));
}
