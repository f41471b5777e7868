#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "geometry/PlaceAxis.h"
#include "geometry/WaveViewGeometry.h"
#include "trajectory/PanPoint.h"

class CTesselDoc;

// One gesture of pan point editing with the left button: the press that grabs a point or
// adds one, the moves that carry it between its neighbours, the release. Every gesture
// leaves one undo record, made at the press. Plain C++: the view turns pixels into frames
// and pans first. The points belong to the document's list, which outlives the drag.
//
// In the all-around view a gesture works on one scale (PlaceValue): the window's pans are then
// that scale's values (degrees or centimetres), and a move changes the frame and that value
// alone.
class PanPointDrag {
  public:
    explicit PanPointDrag(CTesselDoc& document) : m_doc(document) {}

    using HitWindow = WaveViewGeometry::HitWindow;

    // The first point, in list order, inside the window a press reaches, or none; with a
    // scale, the window's pans are that scale's values.
    PanPoint* HitPoint(const HitWindow& window,
                       std::optional<PlaceValue> scale = std::nullopt) const;
    // A press with Ctrl: removes the point hit, recording its deletion. False if none is hit.
    bool DeleteHit(const HitWindow& window, std::optional<PlaceValue> scale = std::nullopt);
    // A press without Ctrl at frame and pan: grabs the point hit, or adds one between its
    // neighbours there. False when no point could be added; nothing is dragged then.
    bool Begin(uint32_t frame, int pan, const HitWindow& window);
    // The same on one scale of the all-around view: a point added takes the trajectory's place
    // at its frame, with value on that scale.
    bool Begin(uint32_t frame, PlaceValue scale, int32_t value, const HitWindow& window);
    // Moves the point to frame and pan (or the scale's value), stopping one frame short of
    // either neighbour.
    void MoveTo(uint32_t frame, int pan);
    // The release: the document counts as modified; the drag is over.
    void End();

    bool IsActive() const { return m_pPoint != nullptr; }
    const PanPoint* Point() const { return m_pPoint; }
    // The neighbours when the drag began; either may be none.
    const PanPoint* Prev() const { return m_pPrev; }
    const PanPoint* Next() const { return m_pNext; }
    // The trajectory as it was at the press, which the view shows until the release.
    const std::vector<PanPoint>& Snapshot() const { return m_snapshot; }

  private:
    // The point hit or added at frame with its first value; false when none could be added.
    bool Grab(uint32_t frame, PanPoint* hit, const PanPoint& added);

    CTesselDoc& m_doc;
    PlaceValue m_scale = PlaceValue::Azimuth;
    PanPoint* m_pPoint = nullptr;
    PanPoint* m_pPrev = nullptr;
    PanPoint* m_pNext = nullptr;
    std::vector<PanPoint> m_snapshot;
};
