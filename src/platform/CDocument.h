#pragma once

#include <string>

// The platform's document: a path, a title and a modified flag. A change of the flag is
// announced through OnModifiedChanged, so a derived document can tell its listeners.
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
    void SetModifiedFlag(bool bModified = true);

  protected:
    virtual void OnModifiedChanged() {}

  private:
    std::string m_path;
    std::string m_title;
    bool m_bModified = false;
};
