#include "platform/CDocument.h"

#include <algorithm>

#include "platform/PathNames.h"

void CDocument::SetPathName(const std::string& path) {
    m_path = path;
    m_title = PathNames::FileName(path);
}

void CDocument::AddObserver(DocumentObserver* observer) {
    if (std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end()) {
        m_observers.push_back(observer);
    }
}

void CDocument::RemoveObserver(DocumentObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer),
                      m_observers.end());
}

void CDocument::UpdateAllViews() {
    // A copy: an observer may unregister while being told.
    const std::vector<DocumentObserver*> observers = m_observers;
    for (DocumentObserver* observer : observers) {
        observer->OnDocumentChanged();
    }
}
