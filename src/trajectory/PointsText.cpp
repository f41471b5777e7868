#include "trajectory/PointsText.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "platform/RegularFile.h"
#include "trajectory/SoundPlace.h"

namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const std::string trimmed = Trim(text);
    const char* begin = trimmed.data();
    const char* end = begin + trimmed.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
}

// A whole number of degrees within lo .. hi, or a usage error naming it.
bool ParseDegrees(const std::string& text, const char* name, int32_t lo, int32_t hi, int32_t& value,
                  std::string& error) {
    if (!ParseNumber(text, value)) {
        error = std::string(name) + " '" + Trim(text) + "' is not a whole number of degrees";
        return false;
    }
    if (value < lo || value > hi) {
        error = std::string(name) + " " + std::to_string(value) + " lies outside " +
                std::to_string(lo) + " ... " + std::to_string(hi) + " degrees";
        return false;
    }
    return true;
}

// One "frame:azimuth[:elevation[:distance[:width]]]" point (the separator may also be a comma);
// "frame:pan" is the same as a frontal azimuth.
bool ParsePoint(const std::string& text, char separator, PanPoint& point, std::string& error) {
    std::vector<std::string> fields;
    for (size_t start = 0;;) {
        const size_t at = text.find(separator, start);
        fields.push_back(text.substr(start, at == std::string::npos ? at : at - start));
        if (at == std::string::npos) {
            break;
        }
        start = at + 1;
    }
    const std::string sep(1, separator);
    if (fields.size() < 2 || fields.size() > 5 || !ParseNumber(fields[0], point.position)) {
        error = "not a point (frame" + sep + "azimuth[" + sep + "elevation[" + sep + "distance[" +
                sep + "width]]]): '" + Trim(text) + "'";
        return false;
    }
    int32_t azimuth = 0;
    if (!ParseDegrees(fields[1], "azimuth", -180, 180, azimuth, error)) {
        return false;
    }
    SetAzimuth(point, azimuth);
    if (fields.size() > 2 && !ParseDegrees(fields[2], "elevation", -kMaxElevation, kMaxElevation,
                                           point.elevation, error)) {
        return false;
    }
    if (fields.size() > 3) {
        double metres = 0.0;
        if (!ParseNumber(fields[3], metres) || !std::isfinite(metres)) {
            error = "distance '" + Trim(fields[3]) + "' is not a number of metres";
            return false;
        }
        const double centimetres = std::round(metres * 100.0);
        if (centimetres < kNearestDistanceCm || centimetres > kFarthestDistanceCm) {
            error = "distance " + Trim(fields[3]) + " lies outside 0.1 ... 100 metres";
            return false;
        }
        point.distanceCm = static_cast<uint32_t>(centimetres);
    }
    if (fields.size() > 4 && !ParseDegrees(fields[4], "width", 0, kMaxWidth, point.width, error)) {
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::vector<PanPoint>> PointsText::Parse(const std::string& text,
                                                       std::string& error) {
    std::vector<PanPoint> points;
    if (Trim(text).empty()) {
        return points;
    }
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        PanPoint point{};
        if (!ParsePoint(text.substr(start, comma - start), ':', point, error)) {
            return std::nullopt;
        }
        points.push_back(point);
        if (comma == std::string::npos) {
            return points;
        }
        start = comma + 1;
    }
}

std::optional<std::vector<PanPoint>> PointsText::ParseFile(const std::string& path,
                                                           std::string& error) {
    RegularFile file(path);
    const std::optional<std::string> whole = file.ReadAll(kLargestFile);
    if (!whole) {
        error = "cannot read the points file " + path + ": " + file.Why();
        return std::nullopt;
    }
    std::istringstream in(*whole);
    std::vector<PanPoint> points;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#' || std::isalpha(static_cast<unsigned char>(text[0]))) {
            continue;
        }
        PanPoint point{};
        const char separator = text.find(',') != std::string::npos ? ',' : ':';
        if (!ParsePoint(text, separator, point, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return std::nullopt;
        }
        points.push_back(point);
    }
    return points;
}

std::string PointsText::Format(const PanPoint& point) {
    std::string text = std::to_string(point.position) + ":" + std::to_string(point.azimuth);
    const bool bWidth = point.width != 0;
    const bool bDistance = bWidth || point.distanceCm != kDefaultDistanceCm;
    if (bDistance || point.elevation != 0) {
        text += ":" + std::to_string(point.elevation);
    }
    if (bDistance) {
        char metres[16];
        std::snprintf(metres, sizeof metres, "%u.%02u", point.distanceCm / 100,
                      point.distanceCm % 100);
        text += ":" + std::string(metres);
    }
    if (bWidth) {
        text += ":" + std::to_string(point.width);
    }
    return text;
}
