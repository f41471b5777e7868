#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/SettingsStore.h"

// Settings in memory for tests; keeps the order of the writes.
class MemorySettingsStore : public SettingsStore {
  public:
    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) override;
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override;

    // "Section/Key" of each write, in order.
    const std::vector<std::string>& Writes() const { return m_writes; }
    bool Has(const std::string& section, const std::string& key) const;
    // Stores raw text, as a hand-edited file would hold it.
    void Put(const std::string& section, const std::string& key, const std::string& raw);

  private:
    std::map<std::pair<std::string, std::string>, std::string> m_values;
    std::vector<std::string> m_writes;
};
