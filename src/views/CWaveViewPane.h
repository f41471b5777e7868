#pragma once

#include <QWidget>

class CDirectionScale;
class CTimeRuler;
class WaveViewAside;

// What a document window shows: the time ruler over the wave view, the view keeping its own
// client area (and with it its pan axis) below the ruler, and left of the view the scale that
// names its directions. It takes the view as its child; the view takes the focus given to the
// pane.
class CWaveViewPane : public QWidget {
    Q_OBJECT

  public:
    explicit CWaveViewPane(WaveViewAside& view, QWidget* parent = nullptr);

    CTimeRuler& Ruler() const { return *m_pRuler; }
    CDirectionScale& Scale() const { return *m_pScale; }

  private:
    CTimeRuler* m_pRuler;  // owned as children
    CDirectionScale* m_pScale;
};
