#include "platform/CDocument.h"

#include "platform/PathNames.h"

void CDocument::SetPathName(const std::string& path) {
    m_path = path;
    m_title = PathNames::FileName(path);
}

void CDocument::SetModifiedFlag(bool bModified) {
    if (m_bModified != bModified) {
        m_bModified = bModified;
        OnModifiedChanged();
    }
}
