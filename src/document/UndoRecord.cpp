#include "document/UndoRecord.h"

#include <algorithm>

#include "trajectory/PanPointList.h"

namespace {

bool Same(const PanPoint& a, const PanPoint& b) {
    return a == b;
}

}  // namespace

UndoRecord::UndoRecord(const PanPointList& list, const PanPoint* point, int32_t count,
                       UndoKind kind)
    : m_kind(kind), m_count(count) {
    m_before.reserve(list.GetCount());
    for (const PanPoint* p = list.NextPoint(nullptr); p != nullptr; p = list.NextPoint(p)) {
        // An added point is already in the list; the state before the edit lacks it.
        if (kind != UndoKind::Add || p != point) {
            m_before.push_back(*p);
        }
    }
}

void UndoRecord::Close(const PanPointList& list) {
    if (!m_bOpen) {
        return;
    }
    m_bOpen = false;
    std::vector<PanPoint> after = list.Values();
    // Only the run between the common head and the common tail changed.
    const size_t shorter = std::min(m_before.size(), after.size());
    size_t head = 0;
    while (head < shorter && Same(m_before[head], after[head])) {
        ++head;
    }
    size_t tail = 0;
    while (tail < shorter - head &&
           Same(m_before[m_before.size() - 1 - tail], after[after.size() - 1 - tail])) {
        ++tail;
    }
    m_first = head;
    m_after.assign(after.begin() + static_cast<ptrdiff_t>(head),
                   after.end() - static_cast<ptrdiff_t>(tail));
    m_before.erase(m_before.end() - static_cast<ptrdiff_t>(tail), m_before.end());
    m_before.erase(m_before.begin(), m_before.begin() + static_cast<ptrdiff_t>(head));
    m_before.shrink_to_fit();
}

bool UndoRecord::Undo(PanPointList& list) const {
    return !m_bOpen && list.ReplaceRun(m_first, m_after.size(), m_before);
}

bool UndoRecord::Redo(PanPointList& list) const {
    return !m_bOpen && list.ReplaceRun(m_first, m_before.size(), m_after);
}

std::string UndoRecord::GetName() const {
    switch (m_kind) {
        case UndoKind::Add:
            return "Add Point";
        case UndoKind::Delete:
            return m_count == 1 ? "Delete Point" : "Delete Points";
        case UndoKind::Modify:
            return "Modify Point";
        case UndoKind::Paste:
            return "Paste";
        case UndoKind::Replace:
            return "Replace Points";
    }
    return {};
}
