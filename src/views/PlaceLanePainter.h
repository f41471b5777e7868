#pragma once

#include <QRect>
#include <string>
#include <vector>

#include "geometry/PlaceAxis.h"
#include "geometry/WaveViewGeometry.h"

class CTesselDoc;
class QPainter;
struct PanPoint;

// Draws the all-around view in the window columns of a wave view's geometry: the front half
// marked on the wave, the lanes' scales, and the trajectory on any scale. The line goes
// through the interpolated place at every column (so it bends as the sound moves, along the
// shorter way round), breaks where azimuth passes behind, and marks each point with a square;
// on azimuth a stereo sound's width shows as a band around the line. The document and the
// geometry outlive the painter.
class PlaceLanePainter {
  public:
    PlaceLanePainter(const WaveViewGeometry& geometry, const CTesselDoc& document)
        : m_geometry(geometry), m_doc(document) {}
    // A temporary geometry would be gone before the first line is drawn.
    PlaceLanePainter(WaveViewGeometry&& geometry, const CTesselDoc& document) = delete;

    // The wave's azimuth scale: the back quarters shaded, lines at left and right, labels.
    void DrawFrontBand(QPainter& painter) const;
    // A lane's ground, scale lines with their labels and the lane's name, width pixels wide.
    void DrawLane(QPainter& painter, const PlaceAxis& axis, int width) const;
    void DrawTrack(QPainter& painter, const PlaceAxis& axis) const;
    // The keyboard's selected point on axis, framed as the wave frames it.
    void DrawSelected(QPainter& painter, const PlaceAxis& axis, const PanPoint& point) const;

    // Where a scale's labels go, each labelHeight rows high and width wide at x: above its
    // line, or below it where the scale's top is too near, never outside the scale's rows;
    // a label that would touch the one before is left out, so none overlap at any size.
    struct Label {
        QRect rect;
        std::string text;
    };
    static std::vector<Label> LabelPlaces(const PlaceAxis& axis, int labelHeight, int x, int width);

  private:
    // The line through one value of the place per column; widthShare (-0.5, 0, +0.5) moves an
    // azimuth by that part of the width, for a stereo sound's two channels.
    void DrawLine(QPainter& painter, const PlaceAxis& axis, double widthShare) const;

    const WaveViewGeometry& m_geometry;
    const CTesselDoc& m_doc;
};
