#include "views/WaveViewPainter.h"

#include <QPainter>
#include <QPalette>
#include <algorithm>

#include "document/CTesselDoc.h"
#include "peaks/WaveImage.h"

using Column = WaveViewGeometry::Column;

namespace {

struct Vertex {
    Column column;
    int y;
};

QPoint WindowPoint(const WaveViewGeometry& geometry, const Vertex& vertex) {
    return QPoint(static_cast<int>(geometry.WindowX(vertex.column)), vertex.y);
}

// The trajectory's lines go through the painter's real-valued path, as they always have.
void DrawSegment(QPainter& painter, const QPoint& from, const QPoint& to) {
    painter.drawLine(QPointF(from), QPointF(to));
}

}  // namespace

void WaveViewPainter::DrawWave(QPainter& painter, const WaveImage& image, QSize client,
                               bool bStereo, const QPalette& palette) {
    const MonoBitmap& bitmap = *image.Image();
    QImage picture(bitmap.Row(0), bitmap.Width(), bitmap.Height(), bitmap.BytesPerRow(),
                   QImage::Format_Mono);
    // Black image bits take the text colour, white ones the background.
    picture.setColorTable({qRgb(0, 127, 0), qRgb(255, 255, 255)});
    painter.drawImage(0, 0, picture);
    const int width = client.width();
    const int height = client.height();
    // The image trails a resize by one paint.
    if (bitmap.Width() < width) {
        painter.fillRect(bitmap.Width(), 0, width - bitmap.Width(), height, Qt::white);
    }
    if (bitmap.Height() < height) {
        painter.fillRect(0, bitmap.Height(), width, height - bitmap.Height(), Qt::white);
    }
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(0, image.Lane1Centre(), width - 1, image.Lane1Centre());
    if (bStereo) {
        painter.drawLine(0, image.Lane2Centre(), width - 1, image.Lane2Centre());
        painter.setPen(QPen(palette.color(QPalette::Light), 1));
        painter.drawLine(0, height / 2, width - 1, height / 2);
        painter.setPen(QPen(palette.color(QPalette::Dark), 1));
        painter.drawLine(0, height / 2 + 1, width - 1, height / 2 + 1);
    }
}

void WaveViewPainter::InvertBand(QPainter& painter, const WaveViewGeometry::Band& band) const {
    if (band.IsEmpty()) {
        return;
    }
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.fillRect(QRect(band.from, 0, band.to - band.from, m_geometry.ImageHeight()), Qt::white);
    painter.restore();
}

void WaveViewPainter::DrawTrajectory(QPainter& painter, const CTesselDoc& document) const {
    Draw(
        painter, [&document](uint32_t frame) { return document.PointAtOrBefore(frame); },
        [&document](const PanPoint* point) { return document.NextPoint(point); });
}

void WaveViewPainter::DrawTrajectory(QPainter& painter, const std::vector<PanPoint>& points) const {
    Draw(
        painter,
        [&points](uint32_t frame) -> const PanPoint* {
            const auto after =
                std::upper_bound(points.begin(), points.end(), frame,
                                 [](uint32_t f, const PanPoint& p) { return f < p.position; });
            return after == points.begin() ? nullptr : &*(after - 1);
        },
        [&points](const PanPoint* point) -> const PanPoint* {
            const size_t i = point != nullptr ? size_t(point - points.data()) + 1 : 0;
            return i < points.size() ? &points[i] : nullptr;
        });
}

void WaveViewPainter::Draw(QPainter& painter, const PointAtOrBeforeFn& atOrBefore,
                           const NextPointFn& nextOf) const {
    const WaveViewGeometry& g = m_geometry;
    const Column left = g.LeftColumn();
    const Column right = g.RightColumn();
    const PanPoint* current = atOrBefore(g.SampleOfColumn(left));
    Vertex vertex = current != nullptr
                        ? Vertex{g.ColumnOfSample(current->position), g.YOfPan(current->Pan())}
                        : Vertex{g.ColumnOfSample(0), g.YOfPan(0)};
    bool bMarked = current != nullptr;
    if (vertex.column < left) {
        bMarked = false;
        if (const PanPoint* next = nextOf(current)) {
            vertex.y = WaveViewGeometry::StartRowAt(vertex.column, vertex.y,
                                                    g.ColumnOfSample(next->position),
                                                    g.YOfPan(next->Pan()), left);
        }
        vertex.column = left;
    }

    painter.save();
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    QPoint pen = WindowPoint(g, vertex);
    if (bMarked) {
        DrawMarker(painter, pen.x(), pen.y());
    }
    while (vertex.column < right) {
        current = nextOf(current);
        if (current == nullptr) {
            DrawSegment(painter, pen, QPoint(g.ImageWidth(), vertex.y));
            break;
        }
        Vertex to{std::min<Column>(g.ColumnOfSample(current->position), g.TotalWidth()),
                  g.YOfPan(current->Pan())};
        bMarked = true;
        if (to.column > right) {
            bMarked = false;
            to.y = WaveViewGeometry::EndRowAt(vertex.column, vertex.y, to.column, to.y, right);
            to.column = right;
        }
        const QPoint point = WindowPoint(g, to);
        DrawSegment(painter, pen, point);
        if (bMarked) {
            DrawMarker(painter, point.x(), point.y());
        }
        pen = point;
        vertex = to;
    }
    painter.restore();
}

int WaveViewPainter::MarkerX(int x) const {
    // A point on the first or last column would otherwise show only half its square.
    return std::clamp(x, 3, std::max(3, m_geometry.ImageWidth() - 3));
}

void WaveViewPainter::DrawMarker(QPainter& painter, int x, int y) const {
    const int at = MarkerX(x);
    painter.fillRect(QRect(at - 3, y - 3, 6, 6), Qt::black);
    painter.fillRect(QRect(at - 1, y - 1, 2, 2), Qt::white);
}

void WaveViewPainter::DrawSelectedPoint(QPainter& painter, const PanPoint& point) const {
    const WaveViewGeometry& g = m_geometry;
    const Column column = g.ColumnOfSample(point.position);
    if (column < g.LeftColumn() || column > g.RightColumn()) {
        return;
    }
    const int x = static_cast<int>(g.WindowX(column));
    const int y = g.YOfPan(g.IsAllAround() ? point.azimuth : point.Pan());
    painter.save();
    DrawMarker(painter, x, y);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(MarkerX(x) - 6, y - 6, 11, 11));
    painter.restore();
}

QPolygon WaveViewPainter::DragPreviewPath(const PanPoint* prev, const PanPoint& point,
                                          const PanPoint* next) const {
    const WaveViewGeometry& g = m_geometry;
    const Column left = g.LeftColumn();
    const Column right = g.RightColumn();
    Vertex vertex{g.ColumnOfSample(prev != nullptr ? prev->position : 0),
                  g.YOfPan(prev != nullptr ? prev->Pan() : 0)};
    const Vertex pointVertex{g.ColumnOfSample(point.position), g.YOfPan(point.Pan())};
    if (vertex.column < left) {
        vertex.y = WaveViewGeometry::StartRowAt(vertex.column, vertex.y, pointVertex.column,
                                                pointVertex.y, left);
        vertex.column = left;
    }
    QPolygon path;
    path << WindowPoint(g, vertex);
    // The two segments, each cut where it leaves the window on the right.
    const Vertex targets[2] = {pointVertex,
                               next != nullptr
                                   ? Vertex{g.ColumnOfSample(next->position), g.YOfPan(next->Pan())}
                                   : Vertex{right, pointVertex.y}};
    for (Vertex to : targets) {
        if (vertex.column >= right) {
            break;
        }
        if (to.column > right) {
            to.y = WaveViewGeometry::EndRowAt(vertex.column, vertex.y, to.column, to.y, right);
            to.column = right;
        }
        path << WindowPoint(g, to);
        vertex = to;
    }
    return path;
}

void WaveViewPainter::DrawDragPreview(QPainter& painter, const QPolygon& path) {
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.setPen(QPen(Qt::black, 2));
    painter.drawPolyline(path);
    painter.restore();
}
