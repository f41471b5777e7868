#pragma once

#include <array>

#include "geometry/HeadTurn.h"

// A direction in degrees: azimuth -180 .. 180 (+90 right), elevation -90 .. 90 (+90 up).
struct Heading {
    double azimuth = 0.0;
    double elevation = 0.0;
};

// A head's orientation as a rotation of the scene's axes (x right, y ahead, z up): its columns
// are where the head's right, ahead and up point. Turns compose, invert and come apart into
// yaw, pitch and roll here, so a tracker's quaternion, a reset to straight ahead and a fixed
// --head all meet in one form. Degrees outside; the matrix is orthonormal.
class HeadRotation {
  public:
    using Matrix = std::array<std::array<double, 3>, 3>;  // [row][column]

    HeadRotation() = default;  // straight ahead
    explicit HeadRotation(const Matrix& matrix) : m_m(matrix) {}

    // Yaw, then pitch, then roll, each about the head's own axis as it stands by then.
    static HeadRotation Of(const HeadTurn& turn);
    // The yaw, pitch and roll that give this rotation, each in -180 .. 180 and pitch in
    // -90 .. 90; looking straight up or down, the turn about the line of sight is all yaw.
    HeadTurn Turn() const;

    // This orientation as seen from a head turned as reference: the reference becomes
    // straight ahead.
    HeadRotation RelativeTo(const HeadRotation& reference) const;
    // The scene's direction as the head hears it: with the head turned 90 degrees right, a
    // sound straight ahead is heard at -90.
    Heading Hears(const Heading& direction) const;

    const Matrix& Values() const { return m_m; }

  private:
    Matrix m_m{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
};
