#pragma once

class QWidget;
class SettingsStore;

// The main window's place on the screen between sessions: kept in the settings as the
// window's geometry (without its frame) in device-independent pixels, and on start fitted into
// the available area of the screen it lands on, so it is never larger than that screen at any
// scale factor.
namespace MainWindowPlace {

// The size of a first start, before the screen has its say.
inline constexpr int kDefaultWidth = 1000;
inline constexpr int kDefaultHeight = 700;

void Save(const QWidget& window, SettingsStore& settings);
// Gives window the remembered geometry, or the default size centred, fitted to the screen.
void Restore(QWidget& window, SettingsStore& settings);
// Once window is shown and its frame known: frame and all inside the available area.
void KeepInside(QWidget& window);

}  // namespace MainWindowPlace
