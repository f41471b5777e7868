#include "scene/Listener.h"

Heading Listener::Hears(const Heading& direction) const {
    const HeadTurn now = HeadNow();
    if (now.IsStraight()) {
        return direction;
    }
    return HeadRotation::Of(now).Hears(direction);
}
