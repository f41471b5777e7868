#include "views/WaveScrollBar.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

WaveScrollBar::WaveScrollBar(QAbstractScrollArea& area, WaveViewGeometry& geometry,
                             std::function<void()> repaint)
    : m_area(area), m_geometry(geometry), m_repaint(std::move(repaint)) {
    QScrollBar* bar = m_area.horizontalScrollBar();
    m_height = bar->sizeHint().height() + 1;
    // The geometry reads the left column from the bar's position, whoever moves it.
    connect(bar, &QScrollBar::valueChanged, this,
            [this](int position) { m_geometry.SetScrollPosition(position); });
    connect(bar, &QScrollBar::actionTriggered, this, &WaveScrollBar::OnAction);
}

void WaveScrollBar::ApplySizes() {
    const WaveViewGeometry::ScrollSizes sizes = m_geometry.UpdateScrollSizes();
    // The bar comes and goes now, not at a later layout pass, so that the resize it causes
    // happens before the caller's last scroll, as the zoom commands expect.
    m_bChangingBar = true;
    m_area.setHorizontalScrollBarPolicy(sizes.bNeedsBar ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAlwaysOff);
    m_bChangingBar = false;
    m_bSetting = true;
    QScrollBar* bar = m_area.horizontalScrollBar();
    bar->setRange(0, sizes.maximum);
    bar->setPageStep(sizes.pageStep);
    bar->setSingleStep(sizes.singleStep);
    m_bSetting = false;
}

void WaveScrollBar::ScrollTo(int position) {
    m_bSetting = true;
    m_area.horizontalScrollBar()->setValue(position);
    m_bSetting = false;
}

void WaveScrollBar::OnAction(int action) {
    // Direct scrolling is the bar's own; scaled scrolling carries a remainder of columns.
    if (m_bSetting || m_geometry.IsDirectScroll()) {
        return;
    }
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
        case QAbstractSlider::SliderPageStepAdd:
        case QAbstractSlider::SliderSingleStepSub:
        case QAbstractSlider::SliderPageStepSub:
            break;
        case QAbstractSlider::SliderMove:
        case QAbstractSlider::SliderToMinimum:
        case QAbstractSlider::SliderToMaximum:
            m_geometry.ResetScrollRemainder();
            m_repaint();
            return;
        default:
            return;
    }
    // A line is a tenth of the window, a page half of it.
    const bool bLine = action == QAbstractSlider::SliderSingleStepAdd ||
                       action == QAbstractSlider::SliderSingleStepSub;
    const bool bRight = action == QAbstractSlider::SliderSingleStepAdd ||
                        action == QAbstractSlider::SliderPageStepAdd;
    const int width = m_geometry.ImageWidth();
    const int position = m_geometry.ScaledStep(bLine ? width / 10 : width / 2, bRight);
    m_bSetting = true;
    m_area.horizontalScrollBar()->setSliderPosition(position);
    m_bSetting = false;
    m_repaint();
}
