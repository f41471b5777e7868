// A room's late tail gives the same floats whatever pieces it is asked for: frame by frame, in
// pieces that cross its lines' lengths, or all at once, for every output, eight frames to a
// register or four; and begins afresh, warmed up, when asked out of order.
#include "scene/LateTail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "scene/TravelKernels.h"

namespace {

// Frames of noise at rate through the tail of room, in pieces of piece frames from first.
std::vector<float> Tail(const Room& room, uint32_t rate, uint32_t frames, uint32_t piece,
                        int outputs, uint64_t first = 0) {
    std::vector<float> noise(frames + first);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    for (float& value : noise) {
        value = sample(rng);
    }
    const LateTail::Reader read = [&](int64_t from, uint32_t count, float* out) {
        for (uint32_t i = 0; i < count; ++i) {
            const int64_t at = from + i;
            out[i] = at >= 0 && at < static_cast<int64_t>(noise.size())
                         ? noise[static_cast<size_t>(at)]
                         : 0.0f;
        }
    };
    LateTail tail(room, rate, 0.02);
    std::vector<float> out(size_t{frames} * static_cast<size_t>(outputs));
    for (uint32_t at = 0; at < frames; at += piece) {
        const uint32_t count = std::min(piece, frames - at);
        tail.Render(read, first + at, count, outputs,
                    out.data() + size_t{at} * static_cast<size_t>(outputs));
    }
    return out;
}

size_t Differences(const std::vector<float>& a, const std::vector<float>& b) {
    size_t differ = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        differ += std::memcmp(&a[i], &b[i], sizeof(float)) == 0 ? 0 : 1;
    }
    return differ;
}

}  // namespace

TEST(LateTail, AnyPiecesGiveTheFloatsFrameByFrameGives) {
    struct Case {
        uint32_t rate;  // 8 kHz: lines shorter than a block
        int outputs;
        Room room;
    };
    const Room small{.width = 4.0,
                     .depth = 3.0,
                     .height = 2.5,
                     .listenerX = 2.0,
                     .listenerY = 1.5,
                     .absorption = {0.4, 0.4, 0.4, 0.4, 0.4, 0.4}};
    const Case cases[] = {{48000, 4, Room{}}, {8000, 2, Room{}}, {24000, 16, small}};
    for (const Case& c : cases) {
        const uint32_t frames = c.rate / 2;
        const std::vector<float> single = Tail(c.room, c.rate, frames, 1, c.outputs);
        double energy = 0.0;
        for (const float value : single) {
            energy += double{value} * value;
        }
        EXPECT_GT(energy, 0.0) << c.rate;
        for (const uint32_t piece : {7u, 89u, 256u, 1000u, frames}) {
            EXPECT_EQ(Differences(Tail(c.room, c.rate, frames, piece, c.outputs), single), 0u)
                << c.rate << " Hz, " << c.outputs << " outputs, pieces of " << piece;
        }
        TravelKernels::UseWideLanes(false);
        EXPECT_EQ(Differences(Tail(c.room, c.rate, frames, 1000, c.outputs), single), 0u)
            << c.rate << " Hz, " << c.outputs << " outputs, four frames to a register";
        TravelKernels::UseWideLanes(true);
        // Asked from a later frame first, it warms up over the RT60 before: the same floats
        // as a tail that ran on from the start.
        const uint64_t later = c.rate * 2;
        const std::vector<float> ran = Tail(c.room, c.rate, frames + later, 4096, c.outputs);
        const std::vector<float> jumped = Tail(c.room, c.rate, frames, 4096, c.outputs, later);
        double largest = 0.0;
        for (size_t i = 0; i < jumped.size(); ++i) {
            largest =
                std::max(largest, std::abs(double{jumped[i]} - ran[size_t{later} * c.outputs + i]));
        }
        EXPECT_LT(largest, 1.0e-3) << c.rate << " Hz, after a jump";
    }
}

// A renderer that takes fewer outputs hears the same signals as the first of sixteen.
TEST(LateTail, FewerOutputsAreTheFirstOfSixteen) {
    const uint32_t rate = 24000;
    const uint32_t frames = rate / 4;
    const std::vector<float> all = Tail(Room{}, rate, frames, 1000, 16);
    for (const int outputs : {1, 2, 3, 4, 5, 8, 9, 15}) {
        const std::vector<float> few = Tail(Room{}, rate, frames, 1000, outputs);
        std::vector<float> first;
        for (uint32_t f = 0; f < frames; ++f) {
            first.insert(first.end(), all.begin() + f * 16, all.begin() + f * 16 + outputs);
        }
        EXPECT_EQ(Differences(few, first), 0u) << outputs << " outputs";
    }
}

// An impulse's tail carries the diffuse field's energy from its onset on, 4 pi c / V over the
// energy's decay rate, for each room in turn: rooms at one rate, measured in any order, each
// keep their own level.
TEST(LateTail, AnImpulseCarriesTheDiffuseFieldsEnergy) {
    const uint32_t rate = 24000;
    const double onset = 0.03;
    Room small{.width = 4.0, .depth = 3.0, .height = 2.5, .listenerX = 2.0, .listenerY = 1.5};
    small.absorption.fill(0.4);
    Room large{.width = 10.0, .depth = 8.0, .height = 4.0, .listenerX = 5.0, .listenerY = 4.0};
    large.absorption.fill(0.1);
    for (const Room& room : {Room{}, large, small, Room{}, large}) {
        LateTail tail(room, rate, onset);
        const LateTail::Reader impulse = [&](int64_t from, uint32_t count, float* out) {
            for (uint32_t i = 0; i < count; ++i) {
                out[i] = from + i == 0 ? 1.0f : 0.0f;
            }
        };
        const auto frames = static_cast<uint32_t>((onset + 3.0 * tail.Rt60()) * rate);
        std::vector<float> out(size_t{frames} * 4);
        tail.Render(impulse, 0, frames, 4, out.data());
        double energy = 0.0;
        for (uint32_t f = 0; f < frames; ++f) {
            energy += double{out[f * 4]} * out[f * 4];
        }
        const double decay = 6.0 * std::log(10.0) / tail.Rt60();
        const double volume = room.width * room.depth * room.height;
        const double wanted =
            4.0 * std::acos(-1.0) * 343.0 / volume / decay * std::exp(-decay * onset);
        EXPECT_NEAR(energy / wanted, 1.0, 0.02) << room.width << " m wide";
    }
}
