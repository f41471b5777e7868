#include "geometry/HeadRotation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;

HeadRotation::Matrix Product(const HeadRotation::Matrix& a, const HeadRotation::Matrix& b) {
    HeadRotation::Matrix m{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
        }
    }
    return m;
}

}  // namespace

HeadRotation HeadRotation::Of(const HeadTurn& turn) {
    const double cy = std::cos(turn.yaw * kRadians), sy = std::sin(turn.yaw * kRadians);
    const double cp = std::cos(turn.pitch * kRadians), sp = std::sin(turn.pitch * kRadians);
    const double cr = std::cos(turn.roll * kRadians), sr = std::sin(turn.roll * kRadians);
    // About z by -yaw (a turn to the right takes ahead to the right), about x by pitch (ahead
    // goes up), about y by roll (the right ear goes down), in the head's axes: multiplied on
    // the right in that order.
    const Matrix yaw{{{cy, sy, 0}, {-sy, cy, 0}, {0, 0, 1}}};
    const Matrix pitch{{{1, 0, 0}, {0, cp, -sp}, {0, sp, cp}}};
    const Matrix roll{{{cr, 0, sr}, {0, 1, 0}, {-sr, 0, cr}}};
    return HeadRotation(Product(Product(yaw, pitch), roll));
}

HeadTurn HeadRotation::Turn() const {
    // Ahead is (cos p sin y, cos p cos y, sin p); the right ear's height is -sin r cos p and
    // the top's cos r cos p.
    const double aheadX = m_m[0][1], aheadY = m_m[1][1], aheadZ = m_m[2][1];
    HeadTurn turn;
    turn.pitch = std::asin(std::clamp(aheadZ, -1.0, 1.0)) / kRadians;
    if (std::hypot(aheadX, aheadY) > 1e-9) {
        turn.yaw = std::atan2(aheadX, aheadY) / kRadians;
        turn.roll = std::atan2(-m_m[2][0], m_m[2][2]) / kRadians;
    } else {
        // Straight up or down: the right ear alone tells the turn about the line of sight.
        turn.yaw = std::atan2(-m_m[1][0], m_m[0][0]) / kRadians;
    }
    return turn;
}

HeadRotation HeadRotation::RelativeTo(const HeadRotation& reference) const {
    Matrix transposed{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            transposed[r][c] = reference.m_m[c][r];
        }
    }
    return HeadRotation(Product(transposed, m_m));
}

Heading HeadRotation::Hears(const Heading& direction) const {
    const double az = direction.azimuth * kRadians;
    const double el = direction.elevation * kRadians;
    const double v[3] = {std::sin(az) * std::cos(el), std::cos(az) * std::cos(el), std::sin(el)};
    // In the head's axes: the transpose, each axis's component of the direction.
    double h[3];
    for (int c = 0; c < 3; ++c) {
        h[c] = m_m[0][c] * v[0] + m_m[1][c] * v[1] + m_m[2][c] * v[2];
    }
    Heading heard;
    heard.elevation = std::asin(std::clamp(h[2], -1.0, 1.0)) / kRadians;
    heard.azimuth =
        std::abs(h[0]) < 1e-12 && std::abs(h[1]) < 1e-12 ? 0.0 : std::atan2(h[0], h[1]) / kRadians;
    return heard;
}
