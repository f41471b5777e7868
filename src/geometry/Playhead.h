#pragma once

#include <cstdint>
#include <optional>

#include "geometry/WaveViewGeometry.h"

// A wave view's playhead as plain arithmetic: the frame being heard, the window column of its
// line, the columns a step must repaint, and the page-ahead of "Cursor Follows Playback". The
// geometry handed in must be the one the view paints with (its scale fitted to the total
// width). Frames are sample frames; columns are window columns.
class Playhead {
  public:
    struct Step {
        // The line's column before and after the step, where either shows; the view repaints
        // just these.
        std::optional<int> oldX;
        std::optional<int> newX;
        // When set, the view scrolls this absolute column to its left edge and repaints all.
        std::optional<WaveViewGeometry::Column> pageLeft;
    };

    // The frame heard now, or none once playback ended. With bFollow the view pages ahead
    // when the line, in the window at the last step, reaches its right edge; a line the user
    // scrolled away from is left where it is.
    Step Move(std::optional<uint32_t> frame, const WaveViewGeometry& geometry, bool bFollow);
    // The line's window column for geometry, or none when silent or outside the window.
    std::optional<int> ColumnIn(const WaveViewGeometry& geometry) const;
    // The paint drew the line at x (or nowhere): the next step repaints from there.
    void Painted(std::optional<int> x) { m_x = x; }

    std::optional<uint32_t> Frame() const { return m_frame; }

  private:
    std::optional<uint32_t> m_frame;
    std::optional<int> m_x;
    bool m_bInWindow = false;  // at the last step
};
