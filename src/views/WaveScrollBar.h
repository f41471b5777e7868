#pragma once

#include <QObject>
#include <functional>

#include "geometry/WaveViewGeometry.h"

class QAbstractScrollArea;

// Keeps a wave view's horizontal scroll bar and its geometry in step: the bar's range and
// steps from the geometry, the position both ways, and the scaled line and page steps of
// waveforms wider than a scroll bar holds. The view owns it; area and geometry outlive it.
class WaveScrollBar : public QObject {
  public:
    // repaint is called after every step that moves the view.
    WaveScrollBar(QAbstractScrollArea& area, WaveViewGeometry& geometry,
                  std::function<void()> repaint);

    // Shows or hides the bar and sets its range for the geometry's total width.
    void ApplySizes();
    // Moves the bar to the position; no scroll request is seen.
    void ScrollTo(int position);
    // True while ApplySizes shows or hides the bar, whose resize then changes only the height.
    bool IsChangingBar() const { return m_bChangingBar; }
    // The room the bar takes, in rows.
    int Height() const { return m_height; }

  private:
    void OnAction(int action);

    QAbstractScrollArea& m_area;
    WaveViewGeometry& m_geometry;
    std::function<void()> m_repaint;
    int m_height = 0;
    // Set while the bar is moved here, so no request is seen.
    bool m_bSetting = false;
    bool m_bChangingBar = false;
};
