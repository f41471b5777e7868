#pragma once

#include <cstdint>

#include "geometry/PlaceAxis.h"

// Where a wave view puts things, as plain arithmetic so that it can be checked without a
// widget: the zoom (frames per column), the scaled scrolling of wide waveforms and the pan
// axis. The view owns one and keeps its scroll bar in step with it.
//
// Units: frames are sample frames from 0; a Column is a pixel column of the whole waveform
// laid out at the current zoom (absolute) or of the window (window columns, x), and may be
// negative; y counts image rows from the top; pans are whole degrees, -90 ... +90. Every
// conversion truncates toward zero.
class WaveViewGeometry {
  public:
    using Column = int64_t;

    // Scroll bars hold positions up to this; wider waveforms scroll in scaled units.
    static constexpr int kMaxScrollPosition = 32767;

    // What the horizontal scroll bar shows, after UpdateScrollSizes.
    struct ScrollSizes {
        bool bNeedsBar = false;  // the waveform is wider than the window
        int maximum = 0;
        int pageStep = 1;
        int singleStep = 1;
    };

    explicit WaveViewGeometry(uint32_t frameCount) : m_frameCount(frameCount) {}

    // The first display: the whole sound fitted to a client of width x height pixels.
    void FirstDisplay(int width, int height);
    // A resize to a client of width x height pixels, both above 0; a view that shows the whole
    // sound keeps it fitted. Returns the frame to centre on afterwards.
    uint32_t Resize(int width, int height, uint32_t selStart, uint32_t selEnd);

    // The scroll bar came or went: only the height changed.
    void SetImageHeight(int height) { m_imageHeight = height; }

    // The zoom commands. clientHeight is the drawing area's height now, barHeight the room a
    // scroll bar takes. Each but Show All returns the frame to centre on afterwards.
    uint32_t ZoomIn(int clientHeight, int barHeight, uint32_t selStart, uint32_t selEnd);
    uint32_t ZoomOut(int clientHeight, uint32_t selStart, uint32_t selEnd);
    void ShowAll(int clientHeight);
    uint32_t ZoomToSelection(int clientHeight, int barHeight, uint32_t selStart, uint32_t selEnd);
    bool CanZoomIn() const;
    bool CanZoomOut() const;
    bool CanZoomToSelection(uint32_t selStart, uint32_t selEnd) const;
    // What every image build does: the scale follows the total width exactly, below one frame
    // per column too. The zoom commands' own scale (at least one) holds until then.
    void FitScaleToTotalWidth();
    // A selection click ends the zoomed-to-selection state.
    void ClearZoomedToSelection() { m_bZoomedToSelection = false; }

    // The scroll range for the current total width; in scaled mode it also resets the scale.
    ScrollSizes UpdateScrollSizes();
    // The scroll bar's position, as the view's bar holds it.
    int ScrollPosition() const { return m_scrollPosition; }
    void SetScrollPosition(int position) { m_scrollPosition = position; }
    // A line or page step in scaled mode by columns to the right or left: returns the new
    // scroll position; the remainder is kept here.
    int ScaledStep(int columns, bool bRight);
    // Thumb moves and jumps to either end start the remainder afresh.
    void ResetScrollRemainder() { m_scrollRemainder = 0; }
    // The scroll position that centres frame in the window, or 0 when everything shows.
    int ScrollPositionFor(uint32_t frame);
    // Column left moved, as far as needed, so that the window stays within the waveform.
    Column ClampLeftColumn(Column left) const;
    // The scroll position that puts column left (clamped) at the window's left edge; in scaled
    // mode the remainder takes the columns a scroll unit cannot, so the edge is exact.
    int ScrollPositionForLeft(Column left);

    // Conversions.
    Column ColumnOfSample(uint32_t frame) const;
    uint32_t SampleOfColumn(Column column) const;
    Column LeftColumn() const;
    Column RightColumn() const { return LeftColumn() + m_imageWidth; }
    // The frame under window column x, at most the frame count; left of the window counts as
    // its left edge.
    uint32_t SampleAtX(int x) const;
    Column WindowX(Column column) const { return column - LeftColumn(); }
    bool IsSampleVisible(uint32_t frame) const;
    bool SelectionInView(uint32_t selStart, uint32_t selEnd) const;
    // The frame a zoom keeps in view: the selection's start or end if shown, else the middle.
    uint32_t ZoomAnchorSample(uint32_t selStart, uint32_t selEnd) const;
    // The window columns [from, to) of absolute columns a ... b (either order), clipped to the
    // window; from == to when nothing of it shows.
    struct Band {
        int from = 0;
        int to = 0;
        bool IsEmpty() const { return from >= to; }
    };
    Band ClipBand(Column a, Column b) const;
    // The caret's window columns: at least two wide, wider where one frame spans columns;
    // empty when the selection is not in view.
    Band CaretBand(uint32_t selStart, uint32_t selEnd) const;

    // The frames and pans a press at window pixel (x, y) reaches: trunc(4 frames per column)
    // frames and 4 degrees either side, as pan editing always reached, and never less than
    // 4 pixels either way, whatever the zoom and the height.
    struct HitWindow {
        uint32_t firstFrame = 0;
        uint32_t lastFrame = 0;
        int lowestPan = 0;
        int highestPan = 0;
    };
    HitWindow HitWindowAt(int x, int y) const;

    // The pan axis: whole degrees against image rows. In the all-around view the axis is the
    // whole circle of azimuth (PlaceAxis), and hit windows reach -180 ... 180.
    int YOfPan(int pan) const;
    int PanFromY(int y) const;
    void SetAllAround(bool bAllAround) { m_bAllAround = bAllAround; }
    bool IsAllAround() const { return m_bAllAround; }
    PlaceAxis AzimuthAxis() const { return PlaceAxis(PlaceValue::Azimuth, 0, m_imageHeight); }
    // The row at column at of the line from (c0, y0) to (c1, y1), in real arithmetic. A start
    // moved right to the window's edge truncates the rise alone (y0 where the line is
    // vertical); an end cut at the edge truncates the whole row.
    static int StartRowAt(Column c0, int y0, Column c1, int y1, Column at);
    static int EndRowAt(Column c0, int y0, Column c1, int y1, Column at);

    uint32_t FrameCount() const { return m_frameCount; }
    double SamplesPerPixel() const { return m_samplesPerPixel; }
    uint32_t TotalWidth() const { return m_totalWidth; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }
    uint32_t ZoomFactor() const { return m_zoomFactor; }
    bool IsZoomedToSelection() const { return m_bZoomedToSelection; }
    bool IsDirectScroll() const { return m_bDirectScroll; }
    double ScrollScale() const { return m_scrollScale; }
    int ScrollRemainder() const { return m_scrollRemainder; }
    int ScrollRange() const { return m_scrollRange; }

  private:
    uint32_t m_frameCount;
    double m_samplesPerPixel = 0.0;  // frames per column
    uint32_t m_totalWidth = 0;       // columns of the whole waveform
    int m_imageWidth = 0;            // columns shown, the client width
    int m_imageHeight = 0;           // rows shown
    uint32_t m_zoomFactor = 1;
    bool m_bZoomedToSelection = false;
    bool m_bDirectScroll = true;  // the scroll range equals the total width
    double m_scrollScale = 1.0;   // columns per scroll unit in scaled mode
    int m_scrollRemainder = 0;    // columns added to the scaled scroll position
    int m_scrollRange = 0;        // the largest scaled scroll position
    int m_scrollPosition = 0;
    bool m_bAllAround = false;
};
