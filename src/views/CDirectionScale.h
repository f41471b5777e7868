#pragma once

#include <QWidget>
#include <string>
#include <vector>

class WaveViewAside;

// The strip beside a wave view that says which way its height points: "left" at the top,
// "ahead" in the middle and "right" at the bottom of the frontal view; round the circle
// ("behind", "left", "ahead", "right", "behind") in the all-around view, whose lanes carry
// their own scales. It sits outside the view, so the view's own picture is as it always was.
// Rows are the view's rows; the view must outlive the strip, which follows its resizes.
class CDirectionScale : public QWidget {
    Q_OBJECT

  public:
    explicit CDirectionScale(WaveViewAside& view, QWidget* parent = nullptr);

    // What the strip shows: each label's text and the view row its mark stands at.
    struct Mark {
        int y = 0;
        std::string text;
    };
    std::vector<Mark> Marks() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    WaveViewAside& m_view;
};
