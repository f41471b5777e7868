#include "shell/CRecentFileList.h"

#include <algorithm>

#include "platform/SettingsStore.h"

namespace {

const char* const kSection = "Recent File List";

std::string EntryKey(int index) {
    return "File" + std::to_string(index + 1);
}

}  // namespace

CRecentFileList::CRecentFileList(SettingsStore& settings) : m_settings(settings) {}

void CRecentFileList::ReadList() {
    m_entries.clear();
    for (int i = 0; i < kSize; ++i) {
        std::string path = m_settings.GetString(kSection, EntryKey(i), "");
        if (!path.empty() &&
            std::find(m_entries.begin(), m_entries.end(), path) == m_entries.end()) {
            m_entries.push_back(std::move(path));
        }
    }
}

void CRecentFileList::WriteList() {
    for (int i = 0; i < kSize; ++i) {
        const size_t index = static_cast<size_t>(i);
        m_settings.SetString(kSection, EntryKey(i),
                             index < m_entries.size() ? m_entries[index] : std::string());
    }
}

void CRecentFileList::Add(const std::string& path) {
    m_entries.erase(std::remove(m_entries.begin(), m_entries.end(), path), m_entries.end());
    m_entries.insert(m_entries.begin(), path);
    if (m_entries.size() > kSize) {
        m_entries.resize(kSize);
    }
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && static_cast<size_t>(index) < m_entries.size()) {
        m_entries.erase(m_entries.begin() + index);
    }
}
