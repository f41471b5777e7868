#include "playback/HeadMessages.h"

#include <algorithm>
#include <cmath>

#include "platform/DistanceLaw.h"

namespace {

bool AllFinite(const std::vector<double>& values, size_t count) {
    return values.size() == count &&
           std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

HeadRotation Inverted(const HeadRotation& rotation, const HeadMessages::Inversion& inversion) {
    if (!inversion.bYaw && !inversion.bPitch && !inversion.bRoll) {
        return rotation;
    }
    HeadTurn turn = rotation.Turn();
    turn.yaw = inversion.bYaw ? -turn.yaw : turn.yaw;
    turn.pitch = inversion.bPitch ? -turn.pitch : turn.pitch;
    turn.roll = inversion.bRoll ? -turn.roll : turn.roll;
    return HeadRotation::Of(turn);
}

}  // namespace

namespace HeadMessages {

std::optional<HeadRotation> FromHead(const std::vector<double>& values) {
    if (!AllFinite(values, 3)) {
        return std::nullopt;
    }
    return HeadRotation::Of(HeadTurn{values[0], values[1], values[2]}.Wrapped());
}

std::optional<HeadRotation> FromYpr(const std::vector<double>& values, const Inversion& inversion) {
    if (!AllFinite(values, 3)) {
        return std::nullopt;
    }
    // About z (up), then y (left), then x (ahead), as AmbiX counts: left is the editor's -yaw,
    // a turn about the left axis the editor's -pitch, one about ahead its roll.
    const HeadTurn turn = HeadTurn{-values[0], -values[1], values[2]}.Wrapped();
    return Inverted(HeadRotation::Of(turn), inversion);
}

std::optional<HeadRotation> FromQuaternion(const std::vector<double>& values,
                                           const Inversion& inversion) {
    if (!AllFinite(values, 4)) {
        return std::nullopt;
    }
    const double length = std::sqrt(values[0] * values[0] + values[1] * values[1] +
                                    values[2] * values[2] + values[3] * values[3]);
    if (!(length > 1e-9)) {
        return std::nullopt;
    }
    const double w = values[0] / length, x = values[1] / length, y = values[2] / length,
                 z = values[3] / length;
    // The rotation in AmbiX axes (x ahead, y left, z up).
    const double a[3][3] = {
        {1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
        {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
        {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)},
    };
    // The editor's axes are right = -left, ahead, up: P a P^T with P taking (ahead, left, up)
    // to (right, ahead, up).
    const int from[3] = {1, 0, 2};            // which AmbiX axis each of ours is
    const double sign[3] = {-1.0, 1.0, 1.0};  // and its sign
    HeadRotation::Matrix m{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m[r][c] = sign[r] * sign[c] * a[from[r]][from[c]];
        }
    }
    return Inverted(HeadRotation(m), inversion);
}

std::optional<Place> ToPlace(const std::vector<double>& values) {
    if (!AllFinite(values, 3)) {
        return std::nullopt;
    }
    Place place;
    place.azimuth = HeadTurn::Wrap(values[0]);
    place.elevation = std::clamp(values[1], -90.0, 90.0);
    place.distanceCm =
        std::clamp(values[2] * 100.0, double{kNearestDistanceCm}, double{kFarthestDistanceCm});
    return place;
}

}  // namespace HeadMessages
