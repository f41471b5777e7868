#include "views/CWaveViewPane.h"

#include <QVBoxLayout>

#include "views/CTimeRuler.h"
#include "views/CWaveScrollView.h"

CWaveViewPane::CWaveViewPane(CWaveScrollView& view, QWidget* parent)
    : QWidget(parent), m_view(view), m_pRuler(new CTimeRuler(view, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pRuler);
    layout->addWidget(&view, 1);
    setFocusProxy(&view);
}
