#include "shell/MainWindowPlace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "geometry/WindowPlacement.h"
#include "platform/SettingsStore.h"

namespace {

const char* const kSection = "Main Window";
constexpr int kUnset = -1;

WindowPlacement::Rect RectOf(const QRect& rect) {
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

}  // namespace

void MainWindowPlace::Save(const QWidget& window, SettingsStore& settings) {
    // A maximised window keeps the place it goes back to.
    const QRect place =
        window.isMaximized() || window.isFullScreen() ? window.normalGeometry() : window.geometry();
    if (!place.isValid()) {
        return;
    }
    settings.SetInt(kSection, "X", place.x());
    settings.SetInt(kSection, "Y", place.y());
    settings.SetInt(kSection, "Width", place.width());
    settings.SetInt(kSection, "Height", place.height());
    settings.SetInt(kSection, "Maximized", window.isMaximized() ? 1 : 0);
}

void MainWindowPlace::KeepInside(QWidget& window) {
    QScreen* screen = window.screen();
    if (screen == nullptr || window.isMaximized() || window.isFullScreen()) {
        return;
    }
    const QRect frame = window.frameGeometry();
    const QSize extra = frame.size() - window.size();
    const WindowPlacement::Rect place = WindowPlacement::FitMainWindow(
        WindowPlacement::Rect{frame.x(), frame.y(), window.width(), window.height()},
        {kDefaultWidth, kDefaultHeight}, RectOf(screen->availableGeometry()),
        {std::max(0, extra.width()), std::max(0, extra.height())});
    if (place.width != window.width() || place.height != window.height()) {
        window.resize(place.width, place.height);
    }
    if (QPoint(place.x, place.y) != frame.topLeft()) {
        window.move(place.x, place.y);  // a top-level moves by its frame
    }
}

void MainWindowPlace::Restore(QWidget& window, SettingsStore& settings) {
    std::optional<WindowPlacement::Rect> wanted;
    const int width = settings.GetInt(kSection, "Width", kUnset);
    const int height = settings.GetInt(kSection, "Height", kUnset);
    if (width > 0 && height > 0) {
        wanted = WindowPlacement::Rect{settings.GetInt(kSection, "X", 0),
                                       settings.GetInt(kSection, "Y", 0), width, height};
    }
    QScreen* screen = nullptr;
    if (wanted) {
        screen = QGuiApplication::screenAt(
            QPoint(wanted->x + wanted->width / 2, wanted->y + wanted->height / 2));
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        window.resize(kDefaultWidth, kDefaultHeight);
        return;
    }
    // The frame's extra size is known only once it is shown; until then the window system's
    // own move-in does the rest.
    const QSize extra =
        window.isVisible() ? window.frameGeometry().size() - window.size() : QSize(0, 0);
    const WindowPlacement::Rect place = WindowPlacement::FitMainWindow(
        wanted, {kDefaultWidth, kDefaultHeight}, RectOf(screen->availableGeometry()),
        {extra.width(), extra.height()});
    window.setGeometry(place.x, place.y, place.width, place.height);
    if (settings.GetInt(kSection, "Maximized", 0) != 0) {
        window.setWindowState(window.windowState() | Qt::WindowMaximized);
    }
}
