#pragma once

#include <memory>

#include "geometry/HeadRotation.h"
#include "geometry/HeadTurn.h"

// A head that turns while a render runs, as a head tracker turns it: asked for where it points
// at each arrival, on the render's thread, so it must answer at once and take no lock a caller
// of the render may hold.
class MovingHead {
  public:
    virtual ~MovingHead() = default;
    virtual HeadTurn Now() const = 0;
};

// The one listener of a scene.
struct Listener {
    HeadTurn head;
    // When set, where the head points at each arrival, in place of head. Shared with its
    // owner, which outlives no render that asks it.
    std::shared_ptr<const MovingHead> pMoving;

    // Where the head points now.
    HeadTurn HeadNow() const { return pMoving ? pMoving->Now() : head; }
    // A direction of the scene (x right, y ahead, z up) as the head hears it: with the head
    // turned 90 degrees right, a sound straight ahead is heard at -90. Straight ahead, the
    // direction itself, untouched.
    Heading Hears(const Heading& direction) const;

    bool operator==(const Listener&) const = default;
};
