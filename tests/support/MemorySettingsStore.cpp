#include "support/MemorySettingsStore.h"

#include <charconv>

int MemorySettingsStore::GetInt(const std::string& section, const std::string& key,
                                int defaultValue) {
    const auto found = m_values.find({section, key});
    if (found == m_values.end()) {
        return defaultValue;
    }
    const std::string& text = found->second;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : defaultValue;
}

void MemorySettingsStore::SetInt(const std::string& section, const std::string& key, int value) {
    Put(section, key, std::to_string(value));
}

std::string MemorySettingsStore::GetString(const std::string& section, const std::string& key,
                                           const std::string& defaultValue) {
    const auto found = m_values.find({section, key});
    return found == m_values.end() ? defaultValue : found->second;
}

void MemorySettingsStore::SetString(const std::string& section, const std::string& key,
                                    const std::string& value) {
    Put(section, key, value);
}

bool MemorySettingsStore::Has(const std::string& section, const std::string& key) const {
    return m_values.count({section, key}) != 0;
}

void MemorySettingsStore::Put(const std::string& section, const std::string& key,
                              const std::string& raw) {
    m_values[{section, key}] = raw;
    m_writes.push_back(section + "/" + key);
}
