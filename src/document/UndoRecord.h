#pragma once

#include <vector>

struct PanPoint;

// The program's single undo step. For now it holds what a paste needs from the pan list:
// the points the paste added (owned by the document's list, never by the record).
class UndoRecord {
  public:
    void NoteAddedPoint(PanPoint* point) { m_addedPoints.push_back(point); }
    const std::vector<PanPoint*>& AddedPoints() const { return m_addedPoints; }

  private:
    std::vector<PanPoint*> m_addedPoints;
};
