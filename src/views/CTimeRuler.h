#pragma once

#include <QWidget>
#include <cstdint>

class WaveViewAside;

// The time ruler above a wave view, in the same document window: ticks and labels for the
// view's visible stretch ("m:ss.mmm", frame numbers at the deepest zoom), kept in step as the
// view scrolls and zooms. Its columns are the view's window columns. A click puts the view's
// caret there, a double-click plays from there. The view must outlive the ruler, which reads
// its geometry at every paint.
class CTimeRuler : public QWidget {
    Q_OBJECT

  public:
    explicit CTimeRuler(WaveViewAside& view, QWidget* parent = nullptr);

    // The frame under ruler column x, as the view has it under the same column.
    uint32_t FrameAtX(int x) const;
    // Labels stand at least this many columns apart: the widest label and a gap.
    int LabelSpacing() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    WaveViewAside& m_view;
};
