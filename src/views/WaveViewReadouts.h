#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CTesselDoc;
class PanPointDrag;
class WaveSelection;

// The texts a wave view gives the position panes: the caret or the selection, and the point
// being dragged or else what the mouse points at. Keeps where the mouse is. The view owns
// this; the document, the selection and the drag outlive it. Frames and degrees.
class WaveViewReadouts {
  public:
    WaveViewReadouts(const CTesselDoc& document, const WaveSelection& selection,
                     const PanPointDrag& drag)
        : m_doc(document), m_selection(selection), m_drag(drag) {}

    // What the mouse points at: a frame and, over a mono sound's wave, the direction its
    // height stands for; none once it has left.
    void SetHover(std::optional<uint32_t> frame, std::optional<int> pan);

    std::string SelectionText() const;
    // The point being dragged, else the mouse; empty when the mouse is elsewhere.
    std::string MouseText() const;

  private:
    const CTesselDoc& m_doc;
    const WaveSelection& m_selection;
    const PanPointDrag& m_drag;
    std::optional<uint32_t> m_hoverFrame;
    std::optional<int> m_hoverPan;
};
