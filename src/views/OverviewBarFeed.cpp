#include "views/OverviewBarFeed.h"

#include <QCoreApplication>

#include "document/CTesselDoc.h"
#include "geometry/WaveViewGeometry.h"
#include "views/ViewEvents.h"
#include "views/WaveSelection.h"

void OverviewBarFeed::Feed(QObject* bar, bool bPlaying) {
    const WaveViewGeometry& g = m_geometry;
    OverviewViewInfo info;
    info.overviewImage = m_doc.GetOverview();
    info.selStart = m_selection.Start();
    info.selEnd = m_selection.End();
    info.firstVisible = g.SampleOfColumn(g.LeftColumn());
    info.lastVisible = g.ZoomFactor() > 1 ? g.SampleOfColumn(g.RightColumn()) : g.FrameCount();
    info.length = m_doc.GetFrameCount();
    OverviewUpdateEvent update(info);
    QCoreApplication::sendEvent(bar, &update);
    SetTopViewEvent top(g.IsAllAround());
    QCoreApplication::sendEvent(bar, &top);
    SetCaretPlaceEvent caret(PlaceAt(m_doc.GetPanPoints(), m_selection.Start()));
    QCoreApplication::sendEvent(bar, &caret);
    m_bar = bar;
    if (!bPlaying) {
        SetLivePanEvent none(kNoLivePan);
        QCoreApplication::sendEvent(bar, &none);
        SetLivePlaceEvent silent(std::nullopt);
        QCoreApplication::sendEvent(bar, &silent);
    }
}

void OverviewBarFeed::SendLivePan(int pan) {
    if (m_bar) {
        SetLivePanEvent event(pan);
        QCoreApplication::sendEvent(m_bar, &event);
    }
}

void OverviewBarFeed::SendPlayPosition(std::optional<uint32_t> frame) {
    if (m_bar) {
        SetPlayPositionEvent event(frame.value_or(kNoPlayPosition));
        QCoreApplication::sendEvent(m_bar, &event);
    }
}

void OverviewBarFeed::SendLivePlace(std::optional<SoundPlace> place) {
    if (m_bar != nullptr && m_geometry.IsAllAround()) {
        SetLivePlaceEvent event(place);
        QCoreApplication::sendEvent(m_bar, &event);
    }
}
