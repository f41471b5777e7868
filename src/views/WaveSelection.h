#pragma once

#include <cstdint>
#include <vector>

#include "geometry/WaveViewGeometry.h"

// A wave view's selection: a caret (end == start + 1, an insertion point that blinks) or a
// range of frames [start, end), shown inverted; and the anchor a mouse drag keeps fixed.
// Plain C++: every change returns the window bands whose pixels it inverts, which the view
// repaints, so the screen changes exactly where the old sequence of inversions would.
class WaveSelection {
  public:
    using Bands = std::vector<WaveViewGeometry::Band>;

    uint32_t Start() const { return m_start; }
    uint32_t End() const { return m_end; }
    bool IsCaret() const { return m_end == m_start + 1; }
    bool IsCaretVisible() const { return m_bCaretVisible; }

    // The range's band, or the caret's; empty when nothing of it shows.
    WaveViewGeometry::Band RangeBand(const WaveViewGeometry& g) const;
    WaveViewGeometry::Band CaretBand(const WaveViewGeometry& g) const;

    // Flips the caret's phase when toggle is set; the caret's band either way.
    Bands InvertCaret(const WaveViewGeometry& g, bool toggle);
    // Hides the caret if it shows.
    Bands HideCaret(const WaveViewGeometry& g);
    // The new selection, a caret when end is start or start + 1; only the changed columns.
    Bands Set(const WaveViewGeometry& g, uint32_t start, uint32_t end);
    // Puts a caret at frame without drawing it: the next blink shows it. Erases a range.
    Bands PlaceCaret(const WaveViewGeometry& g, uint32_t frame);
    // Everything, 0 ... frames; the caller hides the caret first and repaints the window.
    void SelectAll(uint32_t frames);

    // The left button in selection mode: a click puts a caret at frame (drawn at the next
    // blink), a Shift-click moves the nearer end there (a tie moves the end); the other end is
    // the drag's anchor.
    Bands Press(const WaveViewGeometry& g, uint32_t frame, bool bShift);
    // A drag to frame selects from the anchor to it; back on the anchor, a caret there.
    Bands DragTo(const WaveViewGeometry& g, uint32_t frame);

    // What Home and End select in a sound frames long: a caret at the first or the last
    // frame; with bExtend the start moves to 0, or the end to frames, and the other end stays
    // (a caret's own frame is the range's other end).
    struct Span {
        uint32_t start = 0;
        uint32_t end = 1;
    };
    Span HomeTarget(bool bExtend) const;
    Span EndTarget(bool bExtend, uint32_t frames) const;

  private:
    static void Add(Bands& bands, const WaveViewGeometry::Band& band);
    static void Add(Bands& bands, const Bands& more);

    uint32_t m_start = 0;
    uint32_t m_end = 1;  // exclusive
    uint32_t m_anchor = 0;
    bool m_bCaretVisible = false;
};
