#pragma once

#include <QWidget>

class WaveViewAside;

// The all-around view's lanes under the wave: elevation and distance, each on its own scale
// (PlaceLanes), with the trajectory drawn and edited there as on the wave. Paints through
// PlaceLanePainter and hands the mouse to its view; the view owns it and places it.
class CPlaceLanes : public QWidget {
  public:
    // A child of the view's widget.
    explicit CPlaceLanes(WaveViewAside& view);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    WaveViewAside& m_view;
};
