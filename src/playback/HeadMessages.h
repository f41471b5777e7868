#pragma once

#include <optional>
#include <vector>

#include "geometry/HeadRotation.h"

// The OSC messages a head tracker (or a controller) sends Sonomap, read into an orientation or
// a place. Values arrive as numbers, whatever OSC type carried them; a message with the wrong
// count, or a value that is not finite, says nothing (none).
//
// - /sonomap/head yaw pitch roll: Sonomap's own convention (yaw + right, pitch + nose up, roll
//   + right ear down, degrees, in that order in the head's axes).
// - /ypr yaw pitch roll and /quaternion w x y z: the head's orientation in the AmbiX axes that
//   IEM's SceneRotator and SPARTA's rotator use (x ahead, y left, z up), each angle by the
//   right-hand rule: yaw + to the left, pitch + nose down, roll + right ear down, degrees; the
//   quaternion of any length but 0. The inversion turns each chosen axis the other way, as the
//   editor counts it, after reading.
// - /sonomap/place azimuth elevation distance: a place to perform, degrees and metres.
namespace HeadMessages {

inline constexpr const char* kHead = "/sonomap/head";
inline constexpr const char* kYpr = "/ypr";
inline constexpr const char* kQuaternion = "/quaternion";
inline constexpr const char* kPlace = "/sonomap/place";
// SceneRotator's own addresses, read as /ypr and /quaternion.
inline constexpr const char* kSceneRotatorYpr = "/SceneRotator/ypr";
inline constexpr const char* kSceneRotatorQuaternion = "/SceneRotator/quaternions";

struct Inversion {
    bool bYaw = false;
    bool bPitch = false;
    bool bRoll = false;
};

std::optional<HeadRotation> FromHead(const std::vector<double>& values);
std::optional<HeadRotation> FromYpr(const std::vector<double>& values, const Inversion& inversion);
std::optional<HeadRotation> FromQuaternion(const std::vector<double>& values,
                                           const Inversion& inversion);

// A place as the recorder takes it: azimuth -180 .. 180 (wrapped), elevation -90 .. 90 and
// distance 0.1 .. 100 m (held to those ends), in centimetres.
struct Place {
    double azimuth = 0.0;
    double elevation = 0.0;
    double distanceCm = 100.0;
};
std::optional<Place> ToPlace(const std::vector<double>& values);

}  // namespace HeadMessages
