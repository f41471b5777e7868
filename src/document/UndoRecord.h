#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trajectory/PanPoint.h"

class PanPointList;

enum class UndoKind : int32_t { Add = 0, Delete = 1, Modify = 2, Paste = 3, Replace = 4 };

// One step of a document's undo history: what one edit did to its pan point list, by value.
// The step holds copies of the points the edit changed, never the document's own points, so
// it stays right whatever was undone and redone before it. A step is opened as the edit
// begins and closed once it is over (a drag closes at the release); only a closed step can be
// undone or redone. Positions are frames, pans degrees.
class UndoRecord {
  public:
    // Opens the step of an edit of list. Add: point is the point just added. Delete, Modify
    // and Paste: made before the edit changes the list; count is the number of points a
    // Delete or a Paste removes (the name says Point or Points).
    UndoRecord(const PanPointList& list, const PanPoint* point, int32_t count, UndoKind kind);

    // Takes what the edit changed from the list as it is now. A closed step stays as it is.
    void Close(const PanPointList& list);
    bool IsOpen() const { return m_bOpen; }
    // Closed, and the edit changed nothing.
    bool IsEmpty() const { return !m_bOpen && m_before.empty() && m_after.empty(); }

    // The list as it was before the edit, or as the edit left it. The list must be in the
    // state the other direction left it in; the points outside the changed run stay the same
    // objects, and so do those of the run as far as the run's length allows. False when
    // memory for a point could not be had, or the step is still open.
    bool Undo(PanPointList& list) const;
    bool Redo(PanPointList& list) const;

    int32_t GetCount() const { return m_count; }
    // What the edit did, in words: "Delete Point", "Delete Points", "Paste".
    std::string GetName() const;

  private:
    UndoKind m_kind;
    int32_t m_count;
    bool m_bOpen = true;
    // Open: the whole list before the edit. Closed: the changed runs before and after it,
    // both starting at index m_first.
    std::vector<PanPoint> m_before;
    std::vector<PanPoint> m_after;
    size_t m_first = 0;
};
