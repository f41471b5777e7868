// The gating of the integrated loudness on step energies made by hand: the blocks the steps
// close, the absolute gate at -70 LUFS and the relative one 10 LU under the mean.
#include "render/LoudnessGate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr uint32_t kStepFrames = 4800;

// The mean power a steady sound of that loudness has.
double PowerAt(double lufs) {
    return std::pow(10.0, (lufs + 0.691) / 10.0);
}

// n steps of a steady mean power, after before.
std::vector<double> Steps(std::vector<double> before, size_t n, double power) {
    before.insert(before.end(), n, power);
    return before;
}

}  // namespace

TEST(LoudnessGate, BlocksAndBothGatesOnStepsMadeByHand) {
    const double kSilent = -std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        std::vector<double> powers;  // each step's mean power
        double lufs;
    } cases[] = {
        {"three steps close no block", Steps({}, 3, 0.01), kSilent},
        {"four steps close one block", Steps({}, 4, 0.01), -20.691},
        {"a steady sound is its own loudness", Steps({}, 10, PowerAt(-60.0)), -60.0},
        {"silence", Steps({}, 10, 0.0), kSilent},
        {"every block under the absolute gate", Steps({}, 10, PowerAt(-70.5)), kSilent},
        // Blocks: five at 0.01, three overlapping the fall, five silent and left out; the
        // mean of the eight counted is 0.008125, and none is 10 LU under it.
        {"a silent tail stays out", Steps(Steps({}, 8, 0.01), 8, 0.0), -21.59276630349088},
        // The five quiet blocks (1e-5, -50.7 LUFS) pass the absolute gate; the mean of all
        // thirteen puts the relative gate at 5.0e-4, which leaves them out.
        {"a tail 30 LU down stays out", Steps(Steps({}, 8, 0.01), 8, 1e-5), -21.591764201078472},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoudnessGate gate;
        for (const double power : c.powers) {
            gate.Take(power * kStepFrames, kStepFrames);
        }
        if (std::isinf(c.lufs)) {
            EXPECT_EQ(gate.IntegratedLoudness(), c.lufs);
        } else {
            EXPECT_NEAR(gate.IntegratedLoudness(), c.lufs, 1e-9);
        }
    }
}

// A copy reads the loudness so far and goes on alone, as a meter read mid-way does.
TEST(LoudnessGate, ACopyGoesOnWithoutTheOriginal) {
    LoudnessGate gate;
    for (int step = 0; step < 4; ++step) {
        gate.Take(0.01 * kStepFrames, kStepFrames);
    }
    LoudnessGate copy = gate;
    // Silence after: the blocks over the fall (0.0075, 0.005, 0.0025) count, the silent ones
    // do not.
    for (int step = 0; step < 40; ++step) {
        copy.Take(0.0, kStepFrames);
    }
    EXPECT_NEAR(gate.IntegratedLoudness(), -20.691, 1e-9);
    EXPECT_NEAR(copy.IntegratedLoudness(), -22.732199826559246, 1e-9);
}
