#pragma once

#include <cstdint>
#include <optional>

#include "geometry/WaveViewGeometry.h"
#include "geometry/WheelSteps.h"

class CTesselDoc;
class WaveImage;
class WaveScrollBar;
class WaveSelection;
class WaveViewSurface;

// Moving about a wave view: scrolling to a frame or by columns, the zoom commands and the
// zoom about a column, the wheel, and Home and End. The geometry decides what each step
// may do; this object carries it out on the scroll bar, the image and the window. The view
// owns it; the view, its document, geometry, image, scroll bar and selection outlive it.
class WaveViewNavigation {
  public:
    WaveViewNavigation(WaveViewSurface& view, const CTesselDoc& document,
                       WaveViewGeometry& geometry, WaveImage& image, WaveScrollBar& scrollBar,
                       const WaveSelection& selection)
        : m_view(view),
          m_doc(document),
          m_geometry(geometry),
          m_image(image),
          m_scrollBar(scrollBar),
          m_selection(selection) {}

    // Centres frame in the window, as far as the waveform reaches.
    void ScrollToSample(uint32_t frame);
    // Puts absolute column left at the window's left edge and repaints.
    void ScrollLeftTo(WaveViewGeometry::Column left);
    // Moves the window's left edge by columns, within the waveform.
    void ScrollByColumns(int64_t columns);

    void ZoomIn();
    void ZoomOut();
    void ShowAll();
    void ZoomToSelection();
    // One step of Zoom In or Zoom Out, when that command is enabled, keeping the frame under
    // window column x where it is; false when the command is disabled.
    bool ZoomAbout(int x, bool bIn);

    // A wheel turn of delta eighths of a degree over window column x: along the sound, or
    // with bCtrl a zoom about x.
    void Wheel(int delta, bool bCtrl, int x);

    // Home and End: the caret to the first or the last frame, or with bExtend the selection's
    // start to the beginning or its end to the end; the view follows.
    void MoveToStart(bool bExtend);
    void MoveToEnd(bool bExtend);

  private:
    int ClientHeight() const;
    // The common end of every zoom: a full redraw at the new scale, then frame centred.
    void FinishZoom(std::optional<uint32_t> frame);

    WaveViewSurface& m_view;
    const CTesselDoc& m_doc;
    WaveViewGeometry& m_geometry;
    WaveImage& m_image;
    WaveScrollBar& m_scrollBar;
    const WaveSelection& m_selection;
    WheelSteps m_wheel;
};
