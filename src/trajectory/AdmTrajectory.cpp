#include "trajectory/AdmTrajectory.h"

#include <algorithm>
#include <cmath>

#include "trajectory/PanPointList.h"
#include "trajectory/SoundPlace.h"

namespace {

// Any angle onto -180 (exclusive) .. 180.
double NormalDegrees(double degrees) {
    double folded = std::fmod(degrees, 360.0);
    if (folded <= -180.0) {
        folded += 360.0;
    } else if (folded > 180.0) {
        folded -= 360.0;
    }
    return folded;
}

// Rounded, within a range that keeps the rounding defined for any value a file holds.
int64_t Whole(double value) {
    return static_cast<int64_t>(std::llround(std::clamp(value, -1e9, 1e9)));
}

}  // namespace

namespace AdmTrajectory {

std::vector<std::vector<AdmPlace>> ChannelPlaces(const PanPointList& points, uint16_t channels) {
    std::vector<std::vector<AdmPlace>> places(channels);
    for (const PanPoint& point : points.Values()) {
        for (uint16_t channel = 0; channel < channels; ++channel) {
            // The left channel to the left of the direction, the right one to the right.
            const double offset = channels == 2 ? (channel == 0 ? -0.5 : 0.5) * point.width : 0.0;
            places[channel].push_back({point.position, NormalDegrees(point.azimuth + offset),
                                       static_cast<double>(point.elevation),
                                       static_cast<double>(point.distanceCm)});
        }
    }
    return places;
}

std::vector<PanPoint> PointsOf(const std::vector<std::vector<AdmPlace>>& channels) {
    std::vector<PanPoint> points;
    if (channels.empty()) {
        return points;
    }
    for (size_t i = 0; i < channels[0].size(); ++i) {
        const AdmPlace& first = channels[0][i];
        double azimuth = first.azimuth;
        double elevation = first.elevation;
        double distanceCm = first.distanceCm;
        double width = 0.0;
        if (channels.size() == 2 && i < channels[1].size()) {
            const AdmPlace& second = channels[1][i];
            // The right channel stands clockwise of the left by the width.
            width = std::fmod(second.azimuth - first.azimuth + 720.0, 360.0);
            width = std::min(width, static_cast<double>(kMaxWidth));
            azimuth = first.azimuth + width / 2.0;
            elevation = (first.elevation + second.elevation) / 2.0;
            distanceCm = (first.distanceCm + second.distanceCm) / 2.0;
        }
        PanPoint point;
        point.position = first.position;
        SetAzimuth(point, Whole(NormalDegrees(azimuth)));
        point.elevation = static_cast<int32_t>(
            std::clamp<int64_t>(Whole(elevation), -kMaxElevation, kMaxElevation));
        point.distanceCm = static_cast<uint32_t>(
            std::clamp<int64_t>(Whole(distanceCm), kNearestDistanceCm, kFarthestDistanceCm));
        point.width = static_cast<int32_t>(Whole(width));
        points.push_back(point);
    }
    return points;
}

}  // namespace AdmTrajectory
