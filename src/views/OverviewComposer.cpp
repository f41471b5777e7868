#include "views/OverviewComposer.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "platform/MonoBitmap.h"
#include "views/OverviewGeometry.h"

namespace {

using OverviewGeometry::Point;

// Writes into pixels, which show the client area from origin on; what falls outside is
// dropped, as a drawing context clips to its surface.
class Canvas {
  public:
    Canvas(QImage& pixels, QPoint origin) : m_pixels(pixels), m_origin(origin) {}

    void Set(int x, int y, QRgb colour) {
        x -= m_origin.x();
        y -= m_origin.y();
        if (x >= 0 && y >= 0 && x < m_pixels.width() && y < m_pixels.height()) {
            reinterpret_cast<QRgb*>(m_pixels.scanLine(y))[x] = colour;
        }
    }

    // Inverts [left, right) x [top, bottom), already clipped by the caller.
    void Invert(int left, int right, int top, int bottom) {
        for (int y = top; y < bottom; ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(m_pixels.scanLine(y - m_origin.y()));
            for (int x = left; x < right; ++x) {
                row[x - m_origin.x()] ^= 0x00FFFFFFu;
            }
        }
    }

    // A one-pixel line along a row or a column: the first point is drawn, the second is not.
    // A dashed line starts with a dash at its first point; its gaps leave what is there.
    void Line(Point from, Point to, QRgb colour, bool dashed) {
        const int dx = (to.x > from.x) - (to.x < from.x);
        const int dy = (to.y > from.y) - (to.y < from.y);
        int step = 0;
        for (Point p = from; p.x != to.x || p.y != to.y; p.x += dx, p.y += dy, ++step) {
            if (!dashed || step % (kBracketDashOn + kBracketDashOff) < kBracketDashOn) {
                Set(p.x, p.y, colour);
            }
        }
    }

    void Polyline(std::initializer_list<Point> points, QRgb colour) {
        const Point* previous = nullptr;
        for (const Point& p : points) {
            if (previous != nullptr) {
                Line(*previous, p, colour, false);
            }
            previous = &p;
        }
    }

  private:
    QImage& m_pixels;
    QPoint m_origin;
};

// The source indexes [begin, end) that destination index d of n covers, over a source of m.
// Shrinking takes every source index of the span, stretching repeats one.
struct Span {
    int begin;
    int end;
};
Span SourceSpan(int d, int n, int m) {
    const int begin = static_cast<int>(static_cast<int64_t>(d) * m / n);
    const int end = static_cast<int>(static_cast<int64_t>(d + 1) * m / n);
    return {begin, std::max(end, begin + 1)};
}

// Copies image columns [sx0, sx1) stretched onto [dx0, dx1) x [top, bottom): black pixels take
// ink, white ones paper. Where it shrinks, a pixel is black when any pixel it stands for is,
// so a one-pixel stroke of the waveform never drops out.
void StretchBand(Canvas& canvas, const QRect& destination, const MonoBitmap& image, int sx0,
                 int sx1, QRgb ink, QRgb paper) {
    const int sourceWidth = sx1 - sx0;
    const int destWidth = destination.width();
    const int destHeight = destination.height();
    std::vector<Span> columns(static_cast<size_t>(destWidth));
    for (int dx = 0; dx < destWidth; ++dx) {
        columns[static_cast<size_t>(dx)] = SourceSpan(dx, destWidth, sourceWidth);
    }
    std::vector<char> black(static_cast<size_t>(sourceWidth));
    for (int dy = 0; dy < destHeight; ++dy) {
        const Span rows = SourceSpan(dy, destHeight, image.Height());
        std::fill(black.begin(), black.end(), 0);
        for (int sy = rows.begin; sy < rows.end; ++sy) {
            for (int sx = 0; sx < sourceWidth; ++sx) {
                black[static_cast<size_t>(sx)] |= image.IsBlack(sx0 + sx, sy) ? 1 : 0;
            }
        }
        for (int dx = 0; dx < destWidth; ++dx) {
            const Span span = columns[static_cast<size_t>(dx)];
            const bool anyBlack = std::any_of(black.begin() + span.begin, black.begin() + span.end,
                                              [](char b) { return b; });
            canvas.Set(destination.x() + dx, destination.y() + dy, anyBlack ? ink : paper);
        }
    }
}

void DrawBand(Canvas& canvas, int dx0, int dx1, int top, int bottom, const MonoBitmap& image,
              int sx0, int sx1, QRgb ink, QRgb paper) {
    if (dx1 <= dx0 || bottom <= top || image.Width() <= 0) {
        return;
    }
    // Zoomed in far enough, a band stands for less than one image column: it shows that one.
    if (sx1 <= sx0) {
        sx0 = std::min(sx0, image.Width() - 1);
        sx1 = sx0 + 1;
    }
    StretchBand(canvas, QRect(dx0, top, dx1 - dx0, bottom - top), image, sx0, sx1, ink, paper);
}

void DrawBracket(Canvas& canvas, int x1, int x2, int t, int b) {
    canvas.Polyline({{x1, t + 6}, {x1, t}, {x2, t}}, kBracketCyan);
    canvas.Polyline({{x2 - 1, t}, {x2 - 1, t + 6}}, kBracketCyan);
    canvas.Polyline({{x1 + 1, t + 6}, {x1 + 1, t + 1}, {x2 - 1, t + 1}}, kBracketBlue);
    canvas.Polyline({{x2, t + 1}, {x2, t + 6}}, kBracketBlue);
    canvas.Polyline({{x1, b - 7}, {x1, b - 1}, {x2, b - 1}}, kBracketCyan);
    canvas.Polyline({{x2 - 1, b - 1}, {x2 - 1, b - 7}}, kBracketCyan);
    canvas.Polyline({{x1 + 1, b - 7}, {x1 + 1, b - 2}, {x2 - 1, b - 2}}, kBracketBlue);
    canvas.Polyline({{x2, b - 2}, {x2, b - 7}}, kBracketBlue);
    canvas.Line({x1, t + 6}, {x1, b - 7}, kBracketCyan, true);
    canvas.Line({x1 + 1, t + 6}, {x1 + 1, b - 7}, kBracketBlue, true);
    canvas.Line({x2 - 1, t + 6}, {x2 - 1, b - 7}, kBracketCyan, true);
    canvas.Line({x2, t + 6}, {x2, b - 7}, kBracketBlue, true);
}

}  // namespace

bool ComposeOverview(const QRect& face, const MonoBitmap* image, const OverviewViewInfo& info,
                     const OverviewColours& colours, QImage& pixels) {
    if (face.isEmpty()) {
        pixels = QImage();
        return true;
    }
    QImage composed(face.size(), QImage::Format_RGB32);
    if (composed.isNull()) {
        return false;
    }
    composed.fill(colours.face);
    const QRect inner = face.adjusted(1, 1, -1, -1);
    if (image != nullptr && info.length != 0 && !inner.isEmpty()) {
        Canvas canvas(composed, face.topLeft());
        const int left = inner.x();
        const int right = inner.x() + inner.width();
        const int top = inner.y();
        const int bottom = inner.y() + inner.height();
        const auto visible = OverviewGeometry::ComputeVisibleColumns(
            left, inner.width(), image->Width(), info.firstVisible, info.lastVisible, info.length);
        DrawBand(canvas, left, visible.x1, top, bottom, *image, 0, visible.s1, colours.shadow,
                 colours.face);
        DrawBand(canvas, visible.x1, visible.x2, top, bottom, *image, visible.s1, visible.s2,
                 colours.text, colours.shadow);
        DrawBand(canvas, visible.x2, right, top, bottom, *image, visible.s2, image->Width(),
                 colours.shadow, colours.face);

        // Kept inside the image area: an inversion that strayed would invert the frame.
        const auto selection = OverviewGeometry::ComputeSelectionColumns(
            left, inner.width(), info.selStart, info.selEnd, info.length);
        const int selLeft = std::max(selection.begin, left);
        const int selRight = std::min(selection.end, right);
        if (selRight > selLeft) {
            canvas.Invert(selLeft, selRight, top, bottom);
        }
        DrawBracket(canvas, visible.x1, visible.x2, top, bottom);
    }
    pixels = std::move(composed);
    return true;
}
