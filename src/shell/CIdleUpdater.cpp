#include "shell/CIdleUpdater.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

#include "views/ViewEvents.h"

CIdleUpdater::CIdleUpdater(QObject* parent) : QObject(parent) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &CIdleUpdater::OnTimer);
    QCoreApplication::instance()->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &CIdleUpdater::OnAboutToBlock);
    }
}

CIdleUpdater::~CIdleUpdater() {
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeEventFilter(this);
    }
}

bool CIdleUpdater::eventFilter(QObject* watched, QEvent* event) {
    if (m_bInPass || watched == &m_timer) {
        return false;
    }
    const int type = event->type();
    if (type == kOverviewUpdateEvent || type == kSetLivePanEvent || type == kSetPlayPositionEvent ||
        type == kSetTopViewEvent || type == kSetLivePlaceEvent) {
        return false;
    }
    switch (event->type()) {
        // What the refresh itself causes must not ask for the next refresh.
        case QEvent::Paint:
        case QEvent::UpdateRequest:
        case QEvent::UpdateLater:
        case QEvent::LayoutRequest:
        case QEvent::ActionChanged:
        case QEvent::DeferredDelete:
            break;
        default:
            m_bDirty = true;
            break;
    }
    return false;
}

void CIdleUpdater::OnAboutToBlock() {
    if (m_bDirty && !m_timer.isActive()) {
        m_timer.start();
    }
}

void CIdleUpdater::OnTimer() {
    m_bDirty = false;
    m_bInPass = true;
    ++m_passCount;
    emit Idle();
    m_bInPass = false;
}
