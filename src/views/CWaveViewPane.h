#pragma once

#include <QWidget>

class CTimeRuler;
class CWaveScrollView;

// What a document window shows: the time ruler over the wave view, the view keeping its own
// client area (and with it its pan axis) below the ruler. It takes the view as its child; the
// view takes the focus given to the pane.
class CWaveViewPane : public QWidget {
    Q_OBJECT

  public:
    explicit CWaveViewPane(CWaveScrollView& view, QWidget* parent = nullptr);

    CWaveScrollView& View() const { return m_view; }
    CTimeRuler& Ruler() const { return *m_pRuler; }

  private:
    CWaveScrollView& m_view;
    CTimeRuler* m_pRuler;  // owned as a child
};
