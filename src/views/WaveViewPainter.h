#pragma once

#include <QPolygon>
#include <QSize>
#include <functional>
#include <vector>

#include "geometry/WaveViewGeometry.h"
#include "trajectory/PanPoint.h"

class CTesselDoc;
class QPainter;
class QPalette;
class WaveImage;

// Draws a wave view's picture in the window coordinates of its geometry: the wave image with
// its centre lines, the sound's pan trajectory over it, and the drag preview of a pan
// point. The trajectory is a red line 2 pixels wide through the points, each marked by a
// small square; before the first point it starts from frame 0 at pan 0, after the last it
// runs level to the right edge.
class WaveViewPainter {
  public:
    explicit WaveViewPainter(const WaveViewGeometry& geometry) : m_geometry(geometry) {}

    // The image, dark green on white, and the lane centre lines; a stereo sound also gets the
    // two-colour divider between its lanes. Whatever the image does not cover shows white.
    static void DrawWave(QPainter& painter, const WaveImage& image, QSize client, bool bStereo,
                         const QPalette& palette);
    // Exclusive-or with white over the band's columns and the image height.
    void InvertBand(QPainter& painter, const WaveViewGeometry::Band& band) const;

    // The document's own list.
    void DrawTrajectory(QPainter& painter, const CTesselDoc& document) const;
    // A sorted copy of the points, as a drag keeps the trajectory of its press.
    void DrawTrajectory(QPainter& painter, const std::vector<PanPoint>& points) const;
    // The two segments prev -> point -> next (prev none: from frame 0 at pan 0; next none:
    // level to the right edge), clipped to the window; no markers.
    QPolygon DragPreviewPath(const PanPoint* prev, const PanPoint& point,
                             const PanPoint* next) const;
    // Inverts every pixel the preview's 2-pixel pen covers, so drawing it twice restores.
    static void DrawDragPreview(QPainter& painter, const QPolygon& path);
    // The keyboard's selected point: its marker in a frame two pixels clear of it, when the
    // point is in the window.
    void DrawSelectedPoint(QPainter& painter, const PanPoint& point) const;
    // Where a marker for window column x is drawn: x, moved in so that the whole marker
    // shows at either edge of the window.
    int MarkerX(int x) const;

  private:
    using PointAtOrBeforeFn = std::function<const PanPoint*(uint32_t frame)>;
    using NextPointFn = std::function<const PanPoint*(const PanPoint* point)>;
    void Draw(QPainter& painter, const PointAtOrBeforeFn& atOrBefore,
              const NextPointFn& nextOf) const;
    void DrawMarker(QPainter& painter, int x, int y) const;

    const WaveViewGeometry& m_geometry;
};
