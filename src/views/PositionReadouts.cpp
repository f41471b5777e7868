#include "views/PositionReadouts.h"

#include <cmath>
#include <cstdio>

#include "geometry/TimeText.h"
#include "trajectory/SoundPlace.h"

namespace {

std::string At(uint32_t frame, uint32_t rate) {
    return TimeText::Precise(frame, rate) + " (" + std::to_string(frame) + ")";
}

}  // namespace

std::string PositionReadouts::PanText(int pan) {
    return (pan > 0 ? "+" : "") + std::to_string(pan) + "\u00B0";
}

std::string PositionReadouts::SelectionText(uint32_t selStart, uint32_t selEnd, uint32_t rate) {
    if (selEnd == selStart + 1) {
        return "Caret " + At(selStart, rate);
    }
    const uint32_t length = selEnd - selStart;
    return "Sel " + TimeText::Precise(selStart, rate) + "-" + TimeText::Precise(selEnd, rate) +
           " (" + std::to_string(selStart) + "-" + std::to_string(selEnd) + "), length " +
           At(length, rate);
}

std::string PositionReadouts::HoverText(uint32_t frame, std::optional<int> pan, uint32_t rate) {
    std::string text = "Mouse " + At(frame, rate);
    if (pan) {
        text += " " + PanText(*pan);
    }
    return text;
}

std::string PositionReadouts::DragText(uint32_t frame, int pan, uint32_t rate) {
    return "Point " + At(frame, rate) + " " + PanText(pan);
}

std::string PositionReadouts::PlayText(uint32_t frame, uint32_t rate) {
    return "Play " + At(frame, rate);
}

std::string PositionReadouts::PlaceText(const SoundPlace& place) {
    char metres[32];
    std::snprintf(metres, sizeof metres, "%.2f", place.distanceCm / 100.0);
    // Whole degrees as points hold them; 180 behind rather than -180.
    const auto whole = [](double degrees) { return static_cast<int>(std::lround(degrees)); };
    int azimuth = whole(place.azimuth);
    azimuth = azimuth == -180 ? 180 : azimuth;
    return "azimuth " + PanText(azimuth) + ", elevation " + PanText(whole(place.elevation)) +
           ", distance " + metres + " m, width " + std::to_string(whole(place.width)) + "\u00B0";
}

std::string PositionReadouts::PlaceText(const PanPoint& point) {
    return PlaceText(
        SoundPlace{static_cast<double>(point.azimuth), static_cast<double>(point.elevation),
                   static_cast<double>(point.distanceCm), static_cast<double>(point.width)});
}

std::string PositionReadouts::PlaceReadout(const std::string& what, uint32_t frame,
                                           const SoundPlace& place, uint32_t rate) {
    return what + " " + At(frame, rate) + " " + PlaceText(place);
}
