// The head tracker's receiver with a real OSC peer: liblo-tools' oscsend sends each message of
// one table over UDP to the HeadTracker, and the head (or the place) it leaves is what the
// message means in Sonomap's convention. Beside the table: Reset Head, a tracker that falls
// silent, and a port another program holds.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "playback/HeadTracker.h"
#include "support/FreeUdpPort.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

bool HaveOscsend() {
    return std::system("command -v oscsend >/dev/null 2>&1") == 0;
}

// Sends one message with oscsend; true when it was sent.
bool Send(int port, const std::string& message) {
    const std::string command =
        "oscsend 127.0.0.1 " + std::to_string(port) + " " + message + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The quaternion (w x y z, AmbiX axes) of yaw about z, then pitch about y, then roll about x.
std::string Quaternion(double yaw, double pitch, double roll, double scale = 1.0) {
    const double cy = std::cos(yaw * kPi / 360), sy = std::sin(yaw * kPi / 360);
    const double cp = std::cos(pitch * kPi / 360), sp = std::sin(pitch * kPi / 360);
    const double cr = std::cos(roll * kPi / 360), sr = std::sin(roll * kPi / 360);
    char text[200];
    std::snprintf(text, sizeof text, "%.9f %.9f %.9f %.9f", scale * (cy * cp * cr + sy * sp * sr),
                  scale * (cy * cp * sr - sy * sp * cr), scale * (cy * sp * cr + sy * cp * sr),
                  scale * (sy * cp * cr - cy * sp * sr));
    return text;
}

enum class Heard { Head, Place, Nothing };

struct Row {
    std::string message;  // path, types and values as oscsend takes them
    Heard heard;
    double a = 0.0, b = 0.0, c = 0.0;  // yaw, pitch, roll; or azimuth, elevation, cm
    HeadTrackingPreferences prefs = {};
};

HeadTrackingPreferences With(bool HeadTrackingPreferences::*field, bool value) {
    HeadTrackingPreferences prefs;
    prefs.*field = value;
    return prefs;
}

// Waits until the tracker has dealt with one more message than before (3 s at most).
bool WaitForMessage(const HeadTracker& tracker, uint64_t version, uint64_t ignored,
                    HeadTracker& taker, HeadTracker::PlaceMessage& place, bool& bPlace) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
        if ((bPlace = taker.TakePlace(place)) || tracker.Head()->Read().version != version ||
            tracker.IgnoredCount() != ignored) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class HeadTrackerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!HaveOscsend()) {
            GTEST_SKIP() << "oscsend (liblo-tools) is not installed: no OSC peer to test with";
        }
        port = FreeUdpPort();
        ASSERT_NE(port, 0);
    }
    std::string Start(HeadTrackingPreferences prefs) {
        prefs.bEnabled = true;
        prefs.port = port;
        return tracker.Start(prefs);
    }
    // Sends message and waits for the tracker to take it.
    bool Deliver(const std::string& message, HeadTracker::PlaceMessage& place, bool& bPlace) {
        const uint64_t version = tracker.Head()->Read().version;
        const uint64_t ignored = tracker.IgnoredCount();
        return Send(port, message) &&
               WaitForMessage(tracker, version, ignored, tracker, place, bPlace);
    }
    HeadTracker tracker;
    int port = 0;
};

}  // namespace

TEST_F(HeadTrackerTest, EachMessageTurnsTheHeadAsItsConventionSaysOrSaysNothing) {
    const std::vector<Row> rows = {
        {"/sonomap/head fff 90 0 0", Heard::Head, 90, 0, 0},
        {"/sonomap/head fff 30 -20 10", Heard::Head, 30, -20, 10},
        {"/sonomap/head iii 45 0 0", Heard::Head, 45, 0, 0},
        {"/sonomap/head ddd 0 0 -15", Heard::Head, 0, 0, -15},
        {"/sonomap/head fff 400 0 0", Heard::Head, 40, 0, 0},
        {"/sonomap/head fff 90 0 0", Heard::Head, 90, 0, 0,
         With(&HeadTrackingPreferences::bInvertYaw, true)},
        {"/sonomap/head ff 1 2", Heard::Nothing},
        {"/sonomap/head sff up 1 2", Heard::Nothing},
        {"/sonomap/head fff nan 0 0", Heard::Nothing},
        {"/sonomap/head fff 10 0 0", Heard::Nothing, 0, 0, 0,
         With(&HeadTrackingPreferences::bHead, false)},
        {"/ypr fff 90 0 0", Heard::Head, -90, 0, 0},
        {"/ypr fff -90 0 0", Heard::Head, 90, 0, 0},
        {"/ypr fff 0 20 0", Heard::Head, 0, -20, 0},
        {"/ypr fff 0 0 30", Heard::Head, 0, 0, 30},
        {"/ypr fff 40 20 10", Heard::Head, -40, -20, 10},
        {"/ypr fff 90 0 0", Heard::Head, 90, 0, 0,
         With(&HeadTrackingPreferences::bInvertYaw, true)},
        {"/ypr fff 0 20 0", Heard::Head, 0, 20, 0,
         With(&HeadTrackingPreferences::bInvertPitch, true)},
        {"/ypr fff 0 0 30", Heard::Head, 0, 0, -30,
         With(&HeadTrackingPreferences::bInvertRoll, true)},
        {"/ypr fff 90 0 0", Heard::Nothing, 0, 0, 0, With(&HeadTrackingPreferences::bYpr, false)},
        {"/SceneRotator/ypr fff 90 0 0", Heard::Head, -90, 0, 0},
        {"/quaternion ffff " + Quaternion(90, 0, 0), Heard::Head, -90, 0, 0},
        {"/quaternion ffff " + Quaternion(40, 20, 10), Heard::Head, -40, -20, 10},
        {"/quaternion ffff " + Quaternion(40, 20, 10, 2.5), Heard::Head, -40, -20, 10},
        {"/quaternion ffff " + Quaternion(90, 0, 0), Heard::Head, 90, 0, 0,
         With(&HeadTrackingPreferences::bInvertYaw, true)},
        {"/quaternion ffff 0 0 0 0", Heard::Nothing},
        {"/quaternion fff 1 0 0", Heard::Nothing},
        {"/quaternion ffff " + Quaternion(90, 0, 0), Heard::Nothing, 0, 0, 0,
         With(&HeadTrackingPreferences::bQuaternion, false)},
        {"/SceneRotator/quaternions ffff " + Quaternion(-30, 0, 0), Heard::Head, 30, 0, 0},
        {"/sonomap/place fff 30 10 2", Heard::Place, 30, 10, 200},
        {"/sonomap/place fff 200 100 500", Heard::Place, -160, 90, 10000},
        {"/sonomap/place fff 30 10 2", Heard::Nothing, 0, 0, 0,
         With(&HeadTrackingPreferences::bPlace, false)},
        {"/something/else f 1", Heard::Nothing},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        ASSERT_EQ(Start(row.prefs), "");
        HeadTracker::PlaceMessage place;
        bool bPlace = false;
        const uint64_t version = tracker.Head()->Read().version;
        const uint64_t ignored = tracker.IgnoredCount();
        ASSERT_TRUE(Deliver(row.message, place, bPlace)) << "the message never arrived";
        const TrackedHead::Sample head = tracker.Head()->Read();
        switch (row.heard) {
            case Heard::Head:
                EXPECT_EQ(head.version, version + 1);
                EXPECT_NEAR(head.turn.yaw, row.a, 1e-3);
                EXPECT_NEAR(head.turn.pitch, row.b, 1e-3);
                EXPECT_NEAR(head.turn.roll, row.c, 1e-3);
                break;
            case Heard::Place:
                ASSERT_TRUE(bPlace);
                EXPECT_NEAR(place.place.azimuth, row.a, 1e-4);
                EXPECT_NEAR(place.place.elevation, row.b, 1e-4);
                EXPECT_NEAR(place.place.distanceCm, row.c, 1e-3);
                break;
            case Heard::Nothing:
                EXPECT_FALSE(bPlace);
                EXPECT_EQ(head.version, version);
                EXPECT_EQ(tracker.IgnoredCount(), ignored + 1);
                break;
        }
    }
}

TEST_F(HeadTrackerTest, ResetMakesThePresentStraightAheadAndSilenceHoldsTheHead) {
    ASSERT_EQ(Start({}), "");
    HeadTracker::PlaceMessage place;
    bool bPlace = false;
    ASSERT_TRUE(Deliver("/sonomap/head fff 30 0 0", place, bPlace));
    tracker.ResetHead();
    EXPECT_NEAR(tracker.Head()->Now().yaw, 0.0, 1e-9);
    ASSERT_TRUE(Deliver("/sonomap/head fff 50 10 0", place, bPlace));
    // Relative to the head kept: 20 more to the right, and the nod in the head's own axes.
    const HeadTurn turned = tracker.Head()->Now();
    EXPECT_NEAR(turned.yaw, 20.0, 1e-6);
    EXPECT_NEAR(turned.pitch, 10.0, 1e-6);
    // Nothing comes for half a second: the head stays where the last message left it.
    const TrackedHead::Sample before = tracker.Head()->Read();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const TrackedHead::Sample after = tracker.Head()->Read();
    EXPECT_EQ(after.version, before.version);
    EXPECT_EQ(after.turn, before.turn);
}

TEST_F(HeadTrackerTest, APortAnotherProgramHoldsIsRefusedWithItsNumber) {
    HeadTracker first;
    HeadTrackingPreferences prefs;
    prefs.bEnabled = true;
    prefs.port = port;
    ASSERT_EQ(first.Start(prefs), "");
    const std::string refusal = tracker.Start(prefs);
    EXPECT_NE(refusal.find("UDP port " + std::to_string(port)), std::string::npos) << refusal;
    EXPECT_FALSE(tracker.IsRunning());
    // Once the port is free again it is taken.
    first.Stop();
    EXPECT_EQ(tracker.Start(prefs), "");
    EXPECT_TRUE(tracker.IsRunning());
}
