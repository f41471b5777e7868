#pragma once

#include <string>
#include <vector>

class SettingsStore;

// The recent-file list: at most 4 absolute paths, newest first, kept in the settings under
// "Recent File List" as "File1" ... "File4". The store must outlive the list.
class CRecentFileList {
  public:
    static constexpr int kSize = 4;

    explicit CRecentFileList(SettingsStore& settings);

    // Reads the stored entries; empty ones are skipped.
    void ReadList();
    void WriteList();

    // Puts path first; an equal entry moves up, and the oldest falls off a full list.
    void Add(const std::string& path);
    void Remove(int index);
    const std::vector<std::string>& Entries() const { return m_entries; }

  private:
    SettingsStore& m_settings;
    std::vector<std::string> m_entries;
};
