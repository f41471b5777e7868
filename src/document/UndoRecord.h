#pragma once

#include <vector>

class CTesselDoc;
struct PanPoint;

// The program's single undo step, made in one document. For now it holds what a paste needs
// from the pan list: the points the paste added (owned by the document's list, never by the
// record).
class UndoRecord {
  public:
    explicit UndoRecord(const CTesselDoc* document = nullptr) : m_pDocument(document) {}

    const CTesselDoc* GetDocument() const { return m_pDocument; }
    void NoteAddedPoint(PanPoint* point) { m_addedPoints.push_back(point); }
    const std::vector<PanPoint*>& AddedPoints() const { return m_addedPoints; }

  private:
    const CTesselDoc* m_pDocument;
    std::vector<PanPoint*> m_addedPoints;
};
