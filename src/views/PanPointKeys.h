#pragma once

#include <cstdint>
#include <string>

class CTesselDoc;
class WaveViewGeometry;
struct PanPoint;

// Editing pan points from the keyboard: a selection of one point that Tab and Shift+Tab move
// along the trajectory, and the edits of that point (direction up or down, a column left or
// right, delete), each one undo step. Plain C++: the view hands in the keys' meaning. The
// selection is forgotten whenever its point leaves the list (an undo, a delete), so it never
// points at a point that is gone. The document and the geometry outlive this object.
class PanPointKeys {
  public:
    PanPointKeys(CTesselDoc& document, const WaveViewGeometry& geometry)
        : m_doc(document), m_geometry(geometry) {}

    // The selected point, or none.
    PanPoint* Selected() const;
    void Select(const PanPoint* point) { m_pSelected = point; }
    void Clear() { m_pSelected = nullptr; }

    // Tab (forward) or Shift+Tab: the next or previous point along the trajectory. With none
    // selected, the first point from the window's left edge on (forward), or the last one up
    // to its right edge. False when there is nowhere to go; the selection is cleared then.
    bool Step(bool bForward);
    // Up and Down: the direction by delta degrees, kept within -90 ... +90.
    bool ChangePan(int delta);
    // The same in the all-around view: the azimuth by delta degrees, on round the circle.
    bool ChangeAzimuth(int delta);
    // Page Up and Page Down: the elevation by delta degrees, kept within -90 ... +90.
    bool ChangeElevation(int delta);
    // + and -: the distance times factor, kept within 0.10 ... 100 m, at least 1 cm a step.
    bool ScaleDistance(double factor);
    // Left and Right: one column of the window (at least one frame), kept between the
    // neighbours and within the sound.
    bool MoveColumns(int columns);
    // Delete: removes the selected point; the one after it (else the one before) is selected.
    bool DeleteSelected();

    // "Point 2 of 5: 0:01.250, frame 55125, direction +45", or "" with none selected. With
    // bPlace (the all-around view) the whole place follows: ", azimuth +120°, elevation ...".
    std::string Describe(bool bPlace = false) const;

  private:
    // The selected point given place (its own position kept) as one step.
    bool ApplyPlace(const PanPoint& place);

    CTesselDoc& m_doc;
    const WaveViewGeometry& m_geometry;
    const PanPoint* m_pSelected = nullptr;
};
