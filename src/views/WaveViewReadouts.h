#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "geometry/PlaceAxis.h"

class CTesselDoc;
class PanPointDrag;
class WaveSelection;
class WaveViewGeometry;

// The texts a wave view gives the position panes: the caret or the selection, and the point
// being dragged or else what the mouse points at. Keeps where the mouse is. The view owns
// this; the document, the geometry, the selection and the drag outlive it. Frames and degrees.
// In the all-around view every text names the whole place: the dragged point's, or under the
// mouse the trajectory's at that frame with the value the mouse points at.
class WaveViewReadouts {
  public:
    WaveViewReadouts(const CTesselDoc& document, const WaveViewGeometry& geometry,
                     const WaveSelection& selection, const PanPointDrag& drag)
        : m_doc(document), m_geometry(geometry), m_selection(selection), m_drag(drag) {}

    // What the mouse points at: a frame and, over the wave, the direction its height stands
    // for, or in a lane that lane's value; none once it has left.
    void SetHover(std::optional<uint32_t> frame, std::optional<int> pan,
                  std::optional<std::pair<PlaceValue, int32_t>> laneValue = std::nullopt);

    std::string SelectionText() const;
    // The point being dragged, else the mouse; empty when the mouse is elsewhere.
    std::string MouseText() const;

  private:
    const CTesselDoc& m_doc;
    const WaveViewGeometry& m_geometry;
    const WaveSelection& m_selection;
    const PanPointDrag& m_drag;
    std::optional<uint32_t> m_hoverFrame;
    std::optional<int> m_hoverPan;
    std::optional<std::pair<PlaceValue, int32_t>> m_hoverLane;
};
