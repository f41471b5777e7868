#include "document/PanEditCommands.h"

#include <limits>
#include <memory>
#include <vector>

#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/PanClipboard.h"
#include "document/PasteOptionIds.h"
#include "platform/UserPrompts.h"

namespace {

constexpr int32_t kAnyPanLo = -90;
constexpr int32_t kAnyPanHi = 90;

PanPoint* FirstInRange(const CTesselDoc& doc, uint32_t start, uint32_t end) {
    return doc.FindInRange(start, end, kAnyPanLo, kAnyPanHi);
}

// start + length, kept at the last frame number instead of wrapping round to 0.
uint32_t EndOfSpan(uint32_t start, uint32_t length) {
    const uint64_t end = uint64_t{start} + length;
    return end > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                      : static_cast<uint32_t>(end);
}

// Removes every point of the range in one walk: the same points as searching the range
// again after each removal, without a search per point.
void RemoveRange(CTesselDoc& doc, uint32_t start, uint32_t end) {
    std::vector<const PanPoint*> doomed;
    for (const PanPoint* point = doc.NextPoint(nullptr); point != nullptr;
         point = doc.NextPoint(point)) {
        if (point->position >= start && point->position <= end) {
            doomed.push_back(point);
        }
    }
    for (const PanPoint* point : doomed) {
        doc.RemovePoint(point);
    }
}

// Asks whether the points already in the destination go (remove) or stay; false when the
// user cancelled.
bool AskMerge(DocumentHost& host, bool& remove) {
    const int answer = host.AskPasteMerge();
    remove = answer == kPasteRemove;
    return answer == kPasteRemove || answer == kPasteMerge;
}

float ScaleInto(uint32_t room, uint32_t span) {
    return static_cast<float>(static_cast<double>(room) / static_cast<double>(span));
}

}  // namespace

bool PanEditCommands::CanDeleteInRange(const CTesselDoc& doc, uint32_t start, uint32_t end) {
    return !IsCaret(start, end) && FirstInRange(doc, start, end) != nullptr;
}

bool PanEditCommands::CanPaste(const CTesselDoc& doc) {
    return doc.GetHost().GetPanClipboard() != nullptr;
}

bool PanEditCommands::CanUndo(const CTesselDoc& doc) {
    return doc.GetUndoHistory().CanUndo();
}

bool PanEditCommands::CanRedo(const CTesselDoc& doc) {
    return doc.GetUndoHistory().CanRedo();
}

int32_t PanEditCommands::CountFrom(const CTesselDoc& doc, const PanPoint* first, uint32_t end) {
    int32_t count = 0;
    for (const PanPoint* point = first; point != nullptr && point->position <= end;
         point = doc.NextPoint(point)) {
        ++count;
    }
    return count;
}

bool PanEditCommands::DeleteInRange(CTesselDoc& doc, uint32_t start, uint32_t end) {
    if (!CanDeleteInRange(doc, start, end)) {
        return false;
    }
    PanPoint* first = FirstInRange(doc, start, end);
    RecordEdit(doc, first, UndoKind::Delete, CountFrom(doc, first, end));
    RemoveRange(doc, start, end);
    FinishEdit(doc);
    return true;
}

bool PanEditCommands::Copy(const CTesselDoc& doc, uint32_t start, uint32_t end) {
    if (!CanCopy(doc, start, end)) {
        return false;
    }
    const PanPoint* first = FirstInRange(doc, start, end);
    auto clipboard = std::make_unique<PanClipboard>();
    if (!clipboard->CopyTransformed(doc.GetPanPoints(), first, CountFrom(doc, first, end), 1.0f,
                                    static_cast<int32_t>(start), false, 0,
                                    doc.GetHost().Prompts())) {
        return false;
    }
    clipboard->regionLength = end - start;
    doc.GetHost().SetPanClipboard(std::move(clipboard));
    return true;
}

bool PanEditCommands::Cut(CTesselDoc& doc, uint32_t start, uint32_t end) {
    return Copy(doc, start, end) && DeleteInRange(doc, start, end);
}

bool PanEditCommands::Paste(CTesselDoc& doc, uint32_t start, uint32_t end) {
    if (!CanPaste(doc)) {
        return false;
    }
    DocumentHost& host = doc.GetHost();
    const PanClipboard& clipboard = *host.GetPanClipboard();
    const uint32_t span = clipboard.regionLength;
    const uint32_t frames = doc.GetFrameCount();
    float scale = 1.0f;
    bool remove = false;
    const uint32_t removeStart = start;
    uint32_t removeEnd = end;

    if (IsCaret(start, end)) {
        removeEnd = EndOfSpan(start, span);
        if (FirstInRange(doc, start, removeEnd) != nullptr && !AskMerge(host, remove)) {
            return false;
        }
        if (span > frames - start) {
            const int answer = host.AskPasteSize(true);
            if (answer == kPasteScale) {
                scale = ScaleInto(frames - start, span);
            } else if (answer != kPasteFromStart) {
                return false;
            }
        }
    } else {
        if (FirstInRange(doc, start, end) != nullptr && !AskMerge(host, remove)) {
            return false;
        }
        if (span != end - start) {
            const int answer = host.AskPasteSize(false);
            if (answer == kPasteScale) {
                // An empty copied region has all its points at 0, where any scale puts them.
                if (span != 0) {
                    scale = ScaleInto(end - start, span);
                }
            } else if (answer == kPasteFromStart) {
                removeEnd = EndOfSpan(start, span);
            } else {
                return false;
            }
        }
    }

    PanPoint* first = remove ? FirstInRange(doc, removeStart, removeEnd) : nullptr;
    RecordEdit(doc, first, UndoKind::Paste,
               first != nullptr ? CountFrom(doc, first, removeEnd) : 0);
    if (remove) {
        RemoveRange(doc, removeStart, removeEnd);
    }
    // A failed addition has been reported; what was added so far stays, and undoes.
    doc.CopyTransformed(clipboard, nullptr, -1, scale, static_cast<int32_t>(start), true, frames);
    FinishEdit(doc);
    return true;
}

bool PanEditCommands::StepHistory(CTesselDoc& doc, bool bRedo) {
    const UndoHistory& history = doc.GetUndoHistory();
    if (bRedo ? !history.CanRedo() : !history.CanUndo()) {
        return false;
    }
    if (!(bRedo ? doc.Redo() : doc.Undo())) {
        doc.GetHost().Prompts().Message("Error adding pan point to list!");
    }
    return true;
}

bool PanEditCommands::Undo(CTesselDoc& doc) {
    return StepHistory(doc, false);
}

bool PanEditCommands::Redo(CTesselDoc& doc) {
    return StepHistory(doc, true);
}

void PanEditCommands::RecordEdit(CTesselDoc& doc, const PanPoint* point, UndoKind kind,
                                 int32_t count) {
    doc.BeginEdit(point, kind, count);
}

void PanEditCommands::DeletePoint(CTesselDoc& doc, const PanPoint* point) {
    RecordEdit(doc, point, UndoKind::Delete, 1);
    doc.RemovePoint(point);
    FinishEdit(doc);
}

void PanEditCommands::FinishEdit(CTesselDoc& doc) {
    doc.EndEdit();
}
