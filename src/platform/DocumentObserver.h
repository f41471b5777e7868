#pragma once

// Told when its document changes, so it can repaint. Views register themselves.
class DocumentObserver {
  public:
    virtual ~DocumentObserver() = default;
    virtual void OnDocumentChanged() = 0;
};
