// The listener's head as a rotation: where a turned head hears a direction of the scene (one
// table of turns and directions, each worked out by hand from the three turns in their order),
// and the turn coming back out of the rotation it makes, also relative to a reset.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/HeadRotation.h"
#include "scene/Listener.h"

namespace {

struct Case {
    const char* name;
    HeadTurn head;
    Heading direction;
    Heading heard;
};

const Case kCases[] = {
    {"straight: untouched", {0, 0, 0}, {37, -12}, {37, -12}},
    {"turned right, a sound ahead is on the left", {90, 0, 0}, {0, 0}, {-90, 0}},
    {"turned left, on the right", {-90, 0, 0}, {0, 0}, {90, 0}},
    {"turned toward the sound", {30, 0, 0}, {30, 0}, {0, 0}},
    {"turned round, ahead is behind", {180, 0, 0}, {10, 0}, {-170, 0}},
    {"nose up, ahead is below", {0, 20, 0}, {0, 0}, {0, -20}},
    {"nose up, overhead comes forward", {0, 30, 0}, {0, 90}, {0, 60}},
    {"right ear down, the right is above", {0, 0, 30}, {90, 0}, {90, 30}},
    {"right ear down, the left is below", {0, 0, 30}, {-90, 0}, {-90, -30}},
    {"the turns add in the head's axes", {90, 30, 20}, {90, 0}, {11.170, -28.024}},
    {"pitch after yaw: the ears' line is kept", {90, 45, 0}, {0, 0}, {-90, 0}},
    {"a turn past the side", {120, 0, 0}, {0, 0}, {-120, 0}},
};

}  // namespace

TEST(HeadRotationTest, ATurnedHeadHearsEachDirectionWhereItsTurnsPutIt) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const Listener listener{c.head, nullptr};
        const Heading heard = listener.Hears(c.direction);
        EXPECT_NEAR(heard.elevation, c.heard.elevation, 1e-3);
        EXPECT_NEAR(std::remainder(heard.azimuth - c.heard.azimuth, 360.0), 0.0, 1e-3);
        // The rotation comes apart into the same turn, and straight ahead turns into it.
        const HeadTurn back = HeadRotation::Of(c.head).Turn();
        const HeadRotation again = HeadRotation::Of(back);
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 3; ++k) {
                EXPECT_NEAR(again.Values()[r][k], HeadRotation::Of(c.head).Values()[r][k], 1e-12);
            }
        }
        // Seen from a head already turned so, the same turn is straight ahead.
        const HeadTurn none = HeadRotation::Of(c.head).RelativeTo(HeadRotation::Of(c.head)).Turn();
        EXPECT_NEAR(none.yaw, 0.0, 1e-9);
        EXPECT_NEAR(none.pitch, 0.0, 1e-9);
        EXPECT_NEAR(none.roll, 0.0, 1e-9);
    }
}

TEST(HeadRotationTest, LookingStraightUpTheTurnAboutTheLineOfSightIsAllYaw) {
    const HeadTurn turn = HeadRotation::Of({30, 90, 20}).Turn();
    EXPECT_NEAR(turn.pitch, 90.0, 1e-6);
    EXPECT_NEAR(turn.roll, 0.0, 1e-9);
    const HeadRotation again = HeadRotation::Of(turn);
    const HeadRotation first = HeadRotation::Of({30, 90, 20});
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(again.Values()[r][k], first.Values()[r][k], 1e-9);
        }
    }
    EXPECT_EQ((HeadTurn{270, -360, 540}.Wrapped()), (HeadTurn{-90, 0, 180}));
}
