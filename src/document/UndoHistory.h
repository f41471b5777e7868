#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "document/UndoRecord.h"

class PanPointList;

// A document's undo history over its pan point list: the steps done, most recent last, and
// the steps undone that Redo can do again. A new step drops the redo side; beyond kDepth
// steps the oldest goes. The history also knows which of its states was last saved, so the
// modified mark can follow it. The list belongs to the document, which owns this history and
// outlives it.
class UndoHistory {
  public:
    static constexpr size_t kDepth = 100;

    explicit UndoHistory(PanPointList& list) : m_list(list) {}
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // Opens a step for an edit (see UndoRecord for when), after closing any open one.
    void Open(const PanPoint* point, int32_t count, UndoKind kind);
    // The edit is over: the open step takes what it changed. Nothing open: nothing happens.
    void Close();

    // Closes the open step and drops it if it changed nothing (a press on a point that did not
    // move it, just before a double-click opens the point's properties).
    void DropUnchangedStep();

    // Takes back the most recent step, open or closed, and forgets it: no Redo brings it back
    // (a previewed change that was cancelled). False when there is none or on the redo side.
    bool Discard();

    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_steps.size(); }
    // Takes back the most recent step, or does the last undone one again. False when there is
    // none, or memory for a point could not be had (the list is then short of it).
    bool Undo();
    bool Redo();

    // The name of the step Undo would take back ("Delete Point"), and of the one Redo would do
    // again; "" when there is none.
    std::string UndoName() const;
    std::string RedoName() const;
    size_t UndoCount() const { return m_done; }
    size_t RedoCount() const { return m_steps.size() - m_done; }

    // The list as it is now was saved (or is what the file holds).
    void MarkSaved();
    // The file differs from every state of the history (the document was modified at open).
    void ForgetSaved() { m_saved.reset(); }
    // Whether the list is in the state last saved.
    bool IsAtSaved() const { return m_saved == m_done; }

  private:
    PanPointList& m_list;
    std::deque<std::unique_ptr<UndoRecord>> m_steps;
    size_t m_done = 0;                  // steps [0, m_done) are done, the rest undone
    std::optional<size_t> m_saved = 0;  // m_done when saved; none when no state is the saved one
};
