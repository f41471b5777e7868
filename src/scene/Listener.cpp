#include "scene/Listener.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;

}  // namespace

Heading Listener::Hears(const Heading& direction) const {
    if (head.IsStraight()) {
        return direction;
    }
    const double az = direction.azimuth * kRadians;
    const double el = direction.elevation * kRadians;
    double x = std::sin(az) * std::cos(el);
    double y = std::cos(az) * std::cos(el);
    double z = std::sin(el);
    // The head's turn is Rz(-yaw) Rx(pitch) Ry(roll) in the scene's axes; the heard direction
    // is its inverse applied to the scene's, undone in the other order.
    const double yaw = head.yaw * kRadians;
    const double pitch = head.pitch * kRadians;
    const double roll = head.roll * kRadians;
    {  // Rz(+yaw): undoes the turn to the right
        const double c = std::cos(yaw), s = std::sin(yaw);
        const double nx = c * x - s * y;
        const double ny = s * x + c * y;
        x = nx;
        y = ny;
    }
    {  // Rx(-pitch)
        const double c = std::cos(pitch), s = std::sin(pitch);
        const double ny = c * y + s * z;
        const double nz = -s * y + c * z;
        y = ny;
        z = nz;
    }
    {  // Ry(-roll)
        const double c = std::cos(roll), s = std::sin(roll);
        const double nx = c * x - s * z;
        const double nz = s * x + c * z;
        x = nx;
        z = nz;
    }
    Heading heard;
    heard.elevation = std::asin(std::clamp(z, -1.0, 1.0)) / kRadians;
    heard.azimuth = std::abs(x) < 1e-12 && std::abs(y) < 1e-12 ? 0.0 : std::atan2(x, y) / kRadians;
    return heard;
}
