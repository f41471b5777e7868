#pragma once

#include <QWidget>

class CDirectionScale;
class CTimeRuler;
class CWaveScrollView;

// What a document window shows: the time ruler over the wave view, the view keeping its own
// client area (and with it its pan axis) below the ruler, and left of the view the scale that
// names its directions. It takes the view as its child; the view takes the focus given to the
// pane.
class CWaveViewPane : public QWidget {
    Q_OBJECT

  public:
    explicit CWaveViewPane(CWaveScrollView& view, QWidget* parent = nullptr);

    CWaveScrollView& View() const { return m_view; }
    CTimeRuler& Ruler() const { return *m_pRuler; }
    CDirectionScale& Scale() const { return *m_pScale; }

  private:
    CWaveScrollView& m_view;
    CTimeRuler* m_pRuler;  // owned as children
    CDirectionScale* m_pScale;
};
