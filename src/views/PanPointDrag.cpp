#include "views/PanPointDrag.h"

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "document/SoundPlace.h"

PanPoint* PanPointDrag::HitPoint(const HitWindow& window) const {
    return m_doc.FindInRange(window.firstFrame, window.lastFrame, window.lowestPan,
                             window.highestPan);
}

bool PanPointDrag::DeleteHit(const HitWindow& window) {
    PanPoint* point = HitPoint(window);
    if (point == nullptr) {
        return false;
    }
    PanEditCommands::DeletePoint(m_doc, point);
    return true;
}

bool PanPointDrag::Begin(uint32_t frame, int pan, const HitWindow& window) {
    m_snapshot.clear();
    for (const PanPoint* p = m_doc.NextPoint(nullptr); p != nullptr; p = m_doc.NextPoint(p)) {
        m_snapshot.push_back(*p);
    }
    if (PanPoint* point = HitPoint(window)) {
        m_pPoint = point;
        PanEditCommands::RecordEdit(m_doc, point, UndoKind::Modify);
        // A point at frame 0 has nothing to its left to stop at.
        m_pPrev = point->position == 0 ? nullptr : m_doc.GetPanPoints().PreviousPoint(point);
        m_pNext = m_doc.NextPoint(point);
        return true;
    }
    uint32_t position = frame;
    m_pPrev = m_doc.PointAtOrBefore(position);
    if (m_pPrev != nullptr && m_pPrev->position >= position) {
        position = m_pPrev->position + 1;
    }
    m_pNext = m_doc.NextPoint(m_pPrev);
    if (m_pNext != nullptr && position >= m_pNext->position) {
        position = m_pNext->position - 1;
    }
    m_pPoint = m_doc.AddPoint(position, pan);
    if (m_pPoint == nullptr) {
        End();
        return false;
    }
    PanEditCommands::RecordEdit(m_doc, m_pPoint, UndoKind::Add);
    return true;
}

void PanPointDrag::MoveTo(uint32_t frame, int pan) {
    uint32_t position = frame;
    if (m_pPrev != nullptr && m_pPrev->position >= position) {
        position = m_pPrev->position + 1;
    }
    if (m_pNext != nullptr && position >= m_pNext->position) {
        // A neighbour at frame 0 leaves no room to its left: the point stays at 0 with it.
        position = m_pNext->position == 0 ? 0 : m_pNext->position - 1;
    }
    m_pPoint->position = position;
    SetAzimuth(*m_pPoint, pan);
    m_doc.TrajectoryChanged();
}

void PanPointDrag::End() {
    if (m_pPoint != nullptr) {
        // The whole gesture, press to release, is one step.
        PanEditCommands::FinishEdit(m_doc);
    }
    m_pPoint = nullptr;
    m_pPrev = nullptr;
    m_pNext = nullptr;
    m_snapshot.clear();
}
