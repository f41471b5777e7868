#include "document/UndoRecord.h"

#include "document/CTesselDoc.h"
#include "document/PanPointList.h"

namespace {

std::string MenuText(UndoKind kind, int32_t count) {
    const char* verb = "&Undo Paste";
    const char* noun = "\tCtrl+Z";
    switch (kind) {
        case UndoKind::Add:
            verb = "&Undo Add ";
            noun = "Point\tCtrl+Z";
            break;
        case UndoKind::Delete:
            verb = "&Undo Delete ";
            noun = count == 1 ? "Point\tCtrl+Z" : "Points\tCtrl+Z";
            break;
        case UndoKind::Modify:
            verb = "&Undo Modify ";
            noun = "Point\tCtrl+Z";
            break;
        case UndoKind::Paste:
            break;
    }
    return std::string(verb) + noun;
}

}  // namespace

UndoRecord::UndoRecord(CTesselDoc* document, PanPoint* point, int32_t count, UndoKind kind)
    : m_pDocument(document),
      m_pPoint(point),
      m_kind(kind),
      m_count(count),
      m_menuText(MenuText(kind, count)) {
    switch (kind) {
        case UndoKind::Add:
            break;
        case UndoKind::Delete:
        case UndoKind::Paste:
            SaveRun(point, count);
            m_pPoint = nullptr;  // about to be removed; the copies are what undo needs
            break;
        case UndoKind::Modify:
            SaveRun(point, 1);
            break;
    }
}

UndoRecord::~UndoRecord() = default;

void UndoRecord::SaveRun(const PanPoint* first, int32_t count) {
    if (first == nullptr) {
        return;
    }
    m_pSavedPoints = std::make_unique<PanPointList>();
    m_pSavedPoints->AddPoint(first->position, first->pan);
    if (m_pDocument == nullptr) {
        return;
    }
    const PanPoint* next = first;
    for (int32_t saved = 1; saved < count; ++saved) {
        next = m_pDocument->NextPoint(next);
        if (next == nullptr) {
            break;
        }
        m_pSavedPoints->AddPoint(next->position, next->pan);
    }
}

void UndoRecord::Apply() {
    if (m_pDocument != nullptr) {
        switch (m_kind) {
            case UndoKind::Add:
                m_pDocument->RemovePoint(m_pPoint);
                break;
            case UndoKind::Delete:
                if (m_pSavedPoints) {
                    const PanPoint* saved = m_pSavedPoints->NextPoint(nullptr);
                    for (int32_t step = 0; step < m_count && saved != nullptr; ++step) {
                        m_pDocument->AddPoint(saved->position, saved->pan);
                        saved = m_pSavedPoints->NextPoint(saved);
                    }
                }
                break;
            case UndoKind::Modify:
                // In place, without re-sorting: the drag kept the point between its
                // neighbours, and no edit since has touched them.
                if (const PanPoint* saved =
                        m_pSavedPoints ? m_pSavedPoints->NextPoint(nullptr) : nullptr;
                    saved != nullptr && m_pDocument->GetPanPoints().Contains(m_pPoint)) {
                    m_pPoint->position = saved->position;
                    m_pPoint->pan = saved->pan;
                }
                break;
            case UndoKind::Paste:
                for (const PanPoint* added : m_addedPoints) {
                    m_pDocument->RemovePoint(added);
                }
                if (m_pSavedPoints) {
                    for (const PanPoint* saved = m_pSavedPoints->NextPoint(nullptr);
                         saved != nullptr; saved = m_pSavedPoints->NextPoint(saved)) {
                        m_pDocument->AddPoint(saved->position, saved->pan);
                    }
                }
                break;
        }
    }
    m_pSavedPoints.reset();
    m_addedPoints.clear();
    m_pPoint = nullptr;
    m_pDocument = nullptr;
}
