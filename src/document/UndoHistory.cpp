#include "document/UndoHistory.h"

#include "trajectory/PanPointList.h"

void UndoHistory::Open(const PanPoint* point, int32_t count, UndoKind kind) {
    Close();
    if (m_saved && *m_saved > m_done) {
        m_saved.reset();  // the saved state was on the redo side, which goes now
    }
    m_steps.erase(m_steps.begin() + static_cast<ptrdiff_t>(m_done), m_steps.end());
    m_steps.push_back(std::make_unique<UndoRecord>(m_list, point, count, kind));
    ++m_done;
}

void UndoHistory::Close() {
    if (m_done > 0 && m_steps[m_done - 1]->IsOpen()) {
        m_steps[m_done - 1]->Close(m_list);
    }
    // The oldest step goes only once the new one is closed, so a discarded step costs none.
    while (m_steps.size() > kDepth) {
        m_steps.pop_front();
        --m_done;
        if (m_saved) {
            m_saved = *m_saved == 0 ? std::nullopt : std::optional<size_t>(*m_saved - 1);
        }
    }
}

bool UndoHistory::Discard() {
    if (m_done == 0 || m_done != m_steps.size()) {
        return false;
    }
    if (m_steps.back()->IsOpen()) {
        m_steps.back()->Close(m_list);
    }
    const bool bUndone = m_steps.back()->Undo(m_list);
    m_steps.pop_back();
    if (m_saved == m_done) {
        m_saved = m_done - 1;
    }
    --m_done;
    return bUndone;
}

void UndoHistory::DropUnchangedStep() {
    Close();
    if (m_done == 0 || m_done != m_steps.size() || !m_steps.back()->IsEmpty()) {
        return;
    }
    m_steps.pop_back();
    if (m_saved == m_done) {
        m_saved = m_done - 1;  // the same points as the state saved
    }
    --m_done;
}

bool UndoHistory::Undo() {
    Close();
    if (!CanUndo()) {
        return false;
    }
    --m_done;
    return m_steps[m_done]->Undo(m_list);
}

bool UndoHistory::Redo() {
    Close();
    if (!CanRedo()) {
        return false;
    }
    ++m_done;
    return m_steps[m_done - 1]->Redo(m_list);
}

std::string UndoHistory::UndoName() const {
    return CanUndo() ? m_steps[m_done - 1]->GetName() : std::string();
}

std::string UndoHistory::RedoName() const {
    return CanRedo() ? m_steps[m_done]->GetName() : std::string();
}

void UndoHistory::MarkSaved() {
    Close();
    m_saved = m_done;
}
