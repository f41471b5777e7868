#include "shell/CMainFrameClient.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionTitleBar>
#include <algorithm>
#include <cmath>

#include "geometry/WindowPlacement.h"

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

void CMainFrameClient::Cascade() {
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* window : subWindowList(QMdiArea::CreationOrder)) {
        if (!window->isMinimized() && !window->isHidden()) {
            windows << window;
        }
    }
    const QSize area = viewport()->size();
    const std::vector<WindowPlacement::Rect> places = WindowPlacement::Cascade(
        {area.width(), area.height()}, static_cast<size_t>(windows.size()), CascadeStep(*this));
    for (qsizetype i = 0; i < windows.size(); ++i) {
        const WindowPlacement::Rect& place = places[static_cast<size_t>(i)];
        if (windows[i]->isMaximized()) {
            windows[i]->showNormal();
        }
        windows[i]->setGeometry(place.x, place.y, place.width, place.height);
        windows[i]->raise();
    }
    if (!windows.isEmpty()) {
        setActiveSubWindow(windows.last());
    }
}

int CMainFrameClient::CascadeStep(const QWidget& area) {
    QStyleOptionTitleBar option;
    option.initFrom(&area);
    return std::max(8, area.style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, &area));
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
