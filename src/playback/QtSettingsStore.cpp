#include "playback/QtSettingsStore.h"

namespace {

QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(key);
}

}  // namespace

QtSettingsStore::QtSettingsStore() : m_settings("Ambrel", "Sonomap") {}

int QtSettingsStore::GetInt(const std::string& section, const std::string& key, int defaultValue) {
    const QVariant value = m_settings.value(KeyOf(section, key));
    bool bOk = false;
    const int number = value.toInt(&bOk);
    return value.isValid() && bOk ? number : defaultValue;
}

void QtSettingsStore::SetInt(const std::string& section, const std::string& key, int value) {
    m_settings.setValue(KeyOf(section, key), value);
    m_settings.sync();
}

std::string QtSettingsStore::GetString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue) {
    const QVariant value = m_settings.value(KeyOf(section, key));
    return value.isValid() ? value.toString().toStdString() : defaultValue;
}

void QtSettingsStore::SetString(const std::string& section, const std::string& key,
                                const std::string& value) {
    m_settings.setValue(KeyOf(section, key), QString::fromStdString(value));
    m_settings.sync();
}
