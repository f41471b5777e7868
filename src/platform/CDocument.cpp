#include "platform/CDocument.h"

#include <algorithm>

void CDocument::SetPathName(const std::string& path) {
    m_path = path;
    const size_t slash = path.find_last_of('/');
    m_title = slash == std::string::npos ? path : path.substr(slash + 1);
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
