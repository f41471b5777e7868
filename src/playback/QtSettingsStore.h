#pragma once

#include <QSettings>

#include "platform/SettingsStore.h"

// The settings in QSettings("Ambrel", "Sonomap"): ~/.config/Ambrel/Sonomap.conf, sections as
// groups. Every write goes to disk at once, so another process sees it (the single-instance
// name is read by the next start).
class QtSettingsStore : public SettingsStore {
  public:
    QtSettingsStore();

    int GetInt(const std::string& section, const std::string& key, int defaultValue) override;
    void SetInt(const std::string& section, const std::string& key, int value) override;
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) override;
    void SetString(const std::string& section, const std::string& key,
                   const std::string& value) override;

    QString FileName() const { return m_settings.fileName(); }

  private:
    QSettings m_settings;
};
