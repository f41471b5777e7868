#include "trajectory/Place.h"

#include <algorithm>

int32_t NormalAzimuth(int64_t degrees) {
    int64_t az = degrees % 360;
    if (az > kMaxAzimuth) {
        az -= 360;
    } else if (az < kMinAzimuth) {
        az += 360;
    }
    return static_cast<int32_t>(az);
}

int32_t FrontalFold(int32_t azimuth) {
    if (azimuth > kMaxPan) {
        return 180 - azimuth;
    }
    if (azimuth < -kMaxPan) {
        return -180 - azimuth;
    }
    return azimuth;
}

std::string WhyOutOfRange(const Place& place) {
    const auto outside = [](const char* name, int64_t value, const char* range) {
        return std::string(name) + " " + std::to_string(value) + " lies outside " + range;
    };
    if (place.azimuth < kMinAzimuth || place.azimuth > kMaxAzimuth) {
        return outside("azimuth", place.azimuth, "-179 ... 180 degrees");
    }
    if (place.elevation < -kMaxElevation || place.elevation > kMaxElevation) {
        return outside("elevation", place.elevation, "-90 ... 90 degrees");
    }
    if (place.distanceCm < kNearestDistanceCm || place.distanceCm > kFarthestDistanceCm) {
        return outside("distance", place.distanceCm, "10 ... 10000 centimetres");
    }
    if (place.width < 0 || place.width > kMaxWidth) {
        return outside("width", place.width, "0 ... 180 degrees");
    }
    return {};
}

Place WithinRange(const Place& place) {
    Place within;
    within.azimuth = NormalAzimuth(place.azimuth);
    within.elevation = std::clamp(place.elevation, -kMaxElevation, kMaxElevation);
    within.distanceCm = std::clamp(place.distanceCm, kNearestDistanceCm, kFarthestDistanceCm);
    within.width = std::clamp(place.width, 0, kMaxWidth);
    return within;
}
