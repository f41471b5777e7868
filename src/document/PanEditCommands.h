#pragma once

#include <cstdint>
#include <string>

#include "document/UndoRecord.h"

class CTesselDoc;
class DocumentHost;
struct PanPoint;

// The pan point edit commands of a view, on its document and selection: delete in range, cut,
// copy, paste, undo, and when each is enabled. A selection is start .. end in frames, a caret
// at start when end == start + 1; a range search matches points with start <= position <=
// end. The undo record and the clipboard are the document's host's. Each action returns
// whether it changed anything, so the view knows to repaint; a disabled command does nothing.
class PanEditCommands {
  public:
    // Cut, Copy and Delete: a range (not a caret) holding at least one point.
    static bool CanDeleteInRange(const CTesselDoc& doc, uint32_t start, uint32_t end);
    static bool CanCut(const CTesselDoc& doc, uint32_t start, uint32_t end) {
        return CanDeleteInRange(doc, start, end);
    }
    static bool CanCopy(const CTesselDoc& doc, uint32_t start, uint32_t end) {
        return CanDeleteInRange(doc, start, end);
    }
    // Paste: a mono document while a clipboard exists.
    static bool CanPaste(const CTesselDoc& doc);
    // Undo: the record exists and was made in this document.
    static bool CanUndo(const CTesselDoc& doc);
    // The Undo item's text: the record's own, also where it is disabled, else "&Undo\tCtrl+Z".
    static std::string UndoText(const DocumentHost& host);

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
    // Applies and drops the record, and marks the document modified.
    static bool Undo(CTesselDoc& doc);

    // For the mouse edits: replaces the host's record with one for this edit, made before
    // the edit changes the list (Add: after the point was added; Delete: before it is
    // removed, count points from point on; Modify: when the drag begins).
    static void RecordEdit(CTesselDoc& doc, PanPoint* point, UndoKind kind, int32_t count = 1);

  private:
    static bool IsCaret(uint32_t start, uint32_t end) {
        return uint64_t{end} == uint64_t{start} + 1;
    }
    // The points from first on, in list order, while their position <= end.
    static int32_t CountFrom(const CTesselDoc& doc, const PanPoint* first, uint32_t end);
};
