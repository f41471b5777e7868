#include "views/CWaveViewPane.h"

#include <QAbstractScrollArea>
#include <QGridLayout>

#include "views/CDirectionScale.h"
#include "views/CTimeRuler.h"
#include "views/WaveViewAside.h"

CWaveViewPane::CWaveViewPane(WaveViewAside& view, QWidget* parent)
    : QWidget(parent),
      m_pRuler(new CTimeRuler(view, this)),
      m_pScale(new CDirectionScale(view, this)) {
    // The scale stands left of the view; the ruler keeps to the view's columns above it.
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_pRuler, 0, 1);
    layout->addWidget(m_pScale, 1, 0);
    layout->addWidget(&view.ScrollArea(), 1, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
    setFocusProxy(&view.ScrollArea());
}
