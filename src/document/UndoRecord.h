#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CTesselDoc;
class PanPointList;
struct PanPoint;

enum class UndoKind : int32_t { Add = 0, Delete = 1, Modify = 2, Paste = 3 };

// The program's single undo step, made in one document. The application owns the one record
// and discards it when its document closes, so the document and the points referred to are
// alive whenever the record is applied. The record owns only its copies of saved points;
// the points it refers to (the added or modified point, the points a paste added) belong to
// the document's list.
class UndoRecord {
  public:
    // The Undo item's text while there is no record.
    static constexpr const char* kNoUndoText = "&Undo\tCtrl+Z";

    // Add: point is the added point. Delete: saves point and the count - 1 points after it,
    // so build it before removing them. Modify: saves point as it is before the change.
    // Paste: saves point and the count - 1 after it as for Delete, or nothing without point.
    UndoRecord(CTesselDoc* document, PanPoint* point, int32_t count, UndoKind kind);
    ~UndoRecord();
    UndoRecord(const UndoRecord&) = delete;
    UndoRecord& operator=(const UndoRecord&) = delete;

    // Undoes the edit in the document, then drops the copies and forgets the document, so a
    // second Apply does nothing.
    void Apply();

    CTesselDoc* GetDocument() const { return m_pDocument; }
    UndoKind GetKind() const { return m_kind; }
    int32_t GetCount() const { return m_count; }
    const std::string& GetMenuText() const { return m_menuText; }
    // The saved copies, or none.
    const PanPointList* GetSavedPoints() const { return m_pSavedPoints.get(); }

    // A point a paste added to the document.
    void NoteAddedPoint(PanPoint* point) { m_addedPoints.push_back(point); }
    const std::vector<PanPoint*>& AddedPoints() const { return m_addedPoints; }

  private:
    void SaveRun(const PanPoint* first, int32_t count);

    CTesselDoc* m_pDocument;
    PanPoint* m_pPoint;
    UndoKind m_kind;
    int32_t m_count;
    std::unique_ptr<PanPointList> m_pSavedPoints;
    std::vector<PanPoint*> m_addedPoints;
    std::string m_menuText;
};
