#pragma once

#include <string>
#include <vector>

#include "platform/DocumentObserver.h"

// The platform's document: a path, a title, a modified flag and the views that show it.
// It does not own its observers.
class CDocument {
  public:
    CDocument() = default;
    virtual ~CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    const std::string& GetPathName() const { return m_path; }
    // Sets the path and makes its file name the title.
    void SetPathName(const std::string& path);
    const std::string& GetTitle() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true) { m_bModified = bModified; }

    void AddObserver(DocumentObserver* observer);
    void RemoveObserver(DocumentObserver* observer);
    const std::vector<DocumentObserver*>& GetObservers() const { return m_observers; }
    void UpdateAllViews();

  private:
    std::string m_path;
    std::string m_title;
    bool m_bModified = false;
    std::vector<DocumentObserver*> m_observers;
};
