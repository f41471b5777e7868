#pragma once

#include <cstdint>
#include "document/UndoRecord.h"

class CTesselDoc;
struct PanPoint;

// The pan point edit commands of a view, on its document and selection: delete in range, cut,
// copy, paste, undo, redo, and when each is enabled. A selection is start .. end in frames, a
// caret at start when end == start + 1; a range search matches points with start <= position
// <= end. Every edit is one step of the document's undo history; the clipboard is the host's.
// Each action returns whether it changed anything, so the view knows to repaint; a disabled
// command does nothing.
class PanEditCommands {
  public:
    // Cut, Copy and Delete: a range (not a caret) holding at least one point.
    static bool CanDeleteInRange(const CTesselDoc& doc, uint32_t start, uint32_t end);
    static bool CanCopy(const CTesselDoc& doc, uint32_t start, uint32_t end) {
        return CanDeleteInRange(doc, start, end);
    }
    // Paste: while a clipboard exists (mono and stereo documents alike carry a trajectory).
    static bool CanPaste(const CTesselDoc& doc);
    // Undo and Redo: the document's history has a step to take back, or to do again.
    static bool CanUndo(const CTesselDoc& doc);
    static bool CanRedo(const CTesselDoc& doc);

    // Removes every point in the range; the record becomes a Delete of them.
    static bool DeleteInRange(CTesselDoc& doc, uint32_t start, uint32_t end);
    // Replaces the clipboard with the range's points, relative to start. True when it did;
    // after a failed copy ("Error adding pan point to list!") the old clipboard stays.
    static bool Copy(const CTesselDoc& doc, uint32_t start, uint32_t end);
    // Copy, then Delete; nothing is deleted when the copy failed.
    static bool Cut(CTesselDoc& doc, uint32_t start, uint32_t end);
    // Pastes the clipboard at the caret or into the range, asking the Paste Options
    // questions where the destination holds points or differs in size. False when the user
    // cancelled (nothing changed then, not even the record).
    static bool Paste(CTesselDoc& doc, uint32_t start, uint32_t end);
    // Takes back the most recent step, or does the last undone one again; the document then
    // counts as modified unless it is back in the state last saved.
    static bool Undo(CTesselDoc& doc);
    static bool Redo(CTesselDoc& doc);

    // Removes one point of the list as one Delete step.
    static void DeletePoint(CTesselDoc& doc, const PanPoint* point);

    // For the mouse and keyboard edits: opens the history's step for this edit, made before
    // the edit changes the list (Add: after the point was added; Delete: before it is
    // removed, count points from point on; Modify: when the drag begins). FinishEdit closes
    // it once the edit is over (a drag: at the release).
    static void RecordEdit(CTesselDoc& doc, const PanPoint* point, UndoKind kind,
                           int32_t count = 1);
    static void FinishEdit(CTesselDoc& doc);

  private:
    static bool StepHistory(CTesselDoc& doc, bool bRedo);
    static bool IsCaret(uint32_t start, uint32_t end) {
        return uint64_t{end} == uint64_t{start} + 1;
    }
    // The points from first on, in list order, while their position <= end.
    static int32_t CountFrom(const CTesselDoc& doc, const PanPoint* first, uint32_t end);
};
