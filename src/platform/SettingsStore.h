#pragma once

#include <string>

// The per-user settings: integers and strings by section and key. The editor keeps them in
// QSettings("Ambrel", "Sonomap"); tests keep them in memory. A value never written reads as
// the default the caller gives.
class SettingsStore {
  public:
    virtual ~SettingsStore() = default;

    // A stored value that is not a number reads as the default.
    virtual int GetInt(const std::string& section, const std::string& key, int defaultValue) = 0;
    virtual void SetInt(const std::string& section, const std::string& key, int value) = 0;
    virtual std::string GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue) = 0;
    virtual void SetString(const std::string& section, const std::string& key,
                           const std::string& value) = 0;
};
