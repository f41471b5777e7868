// A room's bus gives the same floats however its frames are asked for, in whole runs of its
// grid or part way into them, on past the reflections' end, in every form; its first-order
// AmbiX are the first four channels of its third order, each channel's sums the same whichever
// channels are mixed beside it. Its work split with a helper thread gives the same floats as
// one thread. A reflection's direction as a vector gives the harmonics its angles give, the
// head straight or turned.
#include "deliver/RoomBus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "deliver/SofaSetChoice.h"
#include "deliver/SofaTrajectoryRender.h"
#include "platform/HelperThread.h"
#include "render/AmbisonicsEncoder.h"
#include "render/SpeakerLayout.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "sofa/SofaHrtfSet.h"
#include "support/FileBytes.h"
#include "trajectory/PanPointList.h"

namespace {

constexpr uint32_t kRate = 48000;
constexpr uint32_t kFrames = kRate / 2;

struct Bus {
    RoomBus::Form form;
    int order;
    const char* layout;  // Speakers
    const char* name;
};

// A noise moving around and away in a 6 x 4 x 3 m room, order 2, with Doppler, heard through
// a bus of form in pieces of piece frames (all of them when 0); with bShared its work split
// with a helper, with bTail the tail and a jump.
std::vector<float> Heard(const Bus& bus, uint32_t piece, bool bShared = false, bool bTail = false) {
    PanPointList points;
    points.AddPoint(PanPoint(0, Place{-60, 10, 120, 0}));
    points.AddPoint(PanPoint(kFrames / 2, Place{100, -5, 180, 0}));
    if (bTail) {
        points.AddPoint(PanPoint(kFrames / 2, Place{-20, 30, 60, 0}));
    }
    points.AddPoint(PanPoint(kFrames, Place{170, 0, 90, 0}));
    Room room;
    room.reflections = 2;
    room.bTail = bTail;
    SceneSpace space;
    space.acoustics.bDoppler = true;
    space.acoustics.room = room;
    Propagation stage(points, kFrames, {kRate, TrajectoryCursor::Mode::AllAround, space});
    std::vector<float> noise(kFrames);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    for (float& value : noise) {
        value = sample(rng);
    }
    const Propagation::Reader read = [&](uint32_t first, uint32_t count, float* out) {
        for (uint32_t i = 0; i < count; ++i) {
            out[i] = first + i < kFrames ? noise[first + i] : 0.0f;
        }
    };
    const SpeakerLayout* layout = bus.layout != nullptr ? SpeakerLayout::Find(bus.layout) : nullptr;
    RoomBus roomBus(stage, read, 1, bus.form, bus.order, layout, bTail);
    roomBus.ShareWork(bShared);
    const auto channels = static_cast<size_t>(roomBus.Channels());
    // On past every reflection's end, where pieces after it hear only the tail.
    const auto frames = static_cast<uint32_t>(stage.HeardFrames()) + 4096;
    std::vector<float> out(size_t{frames} * channels, 0.0f);
    const uint32_t step = piece == 0 ? frames : piece;
    for (uint32_t at = 0; at < frames; at += step) {
        const uint32_t count = std::min(step, frames - at);
        roomBus.AddTo(at, count, out.data() + size_t{at} * channels);
    }
    return out;
}

size_t Differences(const std::vector<float>& a, const std::vector<float>& b) {
    size_t differ = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        differ += std::memcmp(&a[i], &b[i], sizeof(float)) == 0 ? 0 : 1;
    }
    return differ + (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size());
}

TEST(RoomBus, AnyPiecesGiveTheSameFloatsInEveryForm) {
    const Bus buses[] = {{RoomBus::Form::Ambisonics, 1, nullptr, "AmbiX order 1"},
                         {RoomBus::Form::Ambisonics, 3, nullptr, "AmbiX order 3"},
                         {RoomBus::Form::Speakers, 1, "0+5+0", "0+5+0"},
                         {RoomBus::Form::Stereo, 1, nullptr, "stereo"}};
    for (const Bus& bus : buses) {
        const std::vector<float> whole = Heard(bus, 0);
        double energy = 0.0;
        for (const float value : whole) {
            energy += double{value} * value;
        }
        EXPECT_GT(energy, 1.0) << bus.name << ": the reflections must be heard";
        for (const uint32_t piece : {1u, 100u, 512u, 1000u, 1536u, 4096u}) {
            EXPECT_EQ(Differences(Heard(bus, piece), whole), 0u)
                << bus.name << " in pieces of " << piece;
        }
    }
}

TEST(RoomBus, AHelperThreadGivesTheSameFloatsInEveryForm) {
    HelperThread::Allow(true);
    const Bus buses[] = {{RoomBus::Form::Ambisonics, 1, nullptr, "AmbiX order 1"},
                         {RoomBus::Form::Ambisonics, 3, nullptr, "AmbiX order 3"},
                         {RoomBus::Form::Speakers, 1, "4+5+0", "4+5+0"},
                         {RoomBus::Form::Stereo, 1, nullptr, "stereo"}};
    for (const Bus& bus : buses) {
        for (const bool bTail : {false, true}) {
            const std::vector<float> alone = Heard(bus, 8192, false, bTail);
            // Pieces that part the frames mid-run, and blocks of one run or less.
            for (const uint32_t piece : {8192u, 1000u, 256u, 100u}) {
                EXPECT_EQ(
                    Differences(Heard(bus, piece, true, bTail), Heard(bus, piece, false, bTail)),
                    0u)
                    << bus.name << (bTail ? " with the tail" : "") << " in pieces of " << piece;
            }
            EXPECT_EQ(Differences(Heard(bus, 8192, true, bTail), alone), 0u);
        }
    }
    HelperThread::Allow(std::thread::hardware_concurrency() > 1);
}

// The binaural render in a room (no tail) heard from frame from in calls of piece frames (the
// preview's way when not shared, an export's when shared).
std::vector<float> Binaural(uint32_t from, uint32_t piece, bool bShared) {
    static const std::shared_ptr<SofaSetChoice> sofa =
        SofaSetChoice::Load(SofaHrtfSet::DefaultPath());
    const HrtfFilterBank::Prepared prepared = sofa->BankAt(kRate);
    if (prepared.bank == nullptr) {
        throw std::runtime_error(prepared.message);
    }
    std::vector<uint8_t> samples(size_t{kFrames} * 2);
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> noise(-12000, 12000);
    for (size_t i = 0; i < kFrames; ++i) {
        const auto value = static_cast<uint16_t>(static_cast<int16_t>(noise(rng)));
        samples[2 * i] = static_cast<uint8_t>(value & 0xFF);
        samples[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    const std::unique_ptr<RenderInput> input =
        RenderInput::OfMemory(samples.data(), MakeFormat(1, kRate, 16), kFrames);
    PanPointList points;
    points.AddPoint(PanPoint(0, Place{-60, 10, 120, 0}));
    points.AddPoint(PanPoint(kFrames, Place{170, 0, 90, 0}));
    SceneSpace space;
    space.acoustics.room = Room{};
    space.acoustics.room->reflections = 2;
    space.acoustics.room->bTail = false;  // a tail begun part way is warmed up, not the same
    SofaTrajectoryRender render(*input, points, prepared.bank, space);
    render.ShareWork(bShared);
    render.Seek(from);
    std::vector<float> out(2 * (render.Frames() - from));
    for (size_t at = 0; at < out.size() / 2; at += piece) {
        render.Render(out.data() + 2 * at,
                      static_cast<uint32_t>(std::min<size_t>(piece, out.size() / 2 - at)));
    }
    return out;
}

TEST(RoomBus, TheBinauralRoomGivesTheSameFloatsFromAnyStartInAnyPieces) {
    HelperThread::Allow(true);
    const std::vector<float> whole = Binaural(0, 8192, true);
    double energy = 0.0;
    for (const float value : whole) {
        energy += double{value} * value;
    }
    EXPECT_GT(energy, 1.0);
    struct Case {
        uint32_t from, piece;
        bool bShared;
    };
    for (const Case& c : {Case{0, 100, false}, Case{1, 4096, true}, Case{300, 77, false},
                          Case{kFrames / 2 + 5, 1000, false}, Case{kFrames - 10, 256, true}}) {
        const std::vector<float> part = Binaural(c.from, c.piece, c.bShared);
        const std::vector<float> expected(whole.begin() + 2 * ptrdiff_t{c.from}, whole.end());
        EXPECT_EQ(Differences(part, expected), 0u)
            << "from " << c.from << " in pieces of " << c.piece << (c.bShared ? ", shared" : "");
    }
    HelperThread::Allow(std::thread::hardware_concurrency() > 1);
}

// Each case 20 times over, back to back, within the helper's spin and past it (asleep).
TEST(HelperThread, RunsBothTasksAndThrowsWhatEitherThrew) {
    HelperThread helper;
    using namespace std::chrono_literals;
    struct Case {
        bool bThereThrows, bHereThrows;
        const char* expected;  // what Both throws, or nullptr
    };
    const Case cases[] = {{false, false, nullptr},
                          {true, false, "there"},
                          {false, true, "here"},
                          {true, true, "there"}};
    for (int turn = 0; turn < 60; ++turn) {
        const Case& c = cases[turn % 4];
        std::this_thread::sleep_for(turn < 20 ? 0us : turn < 40 ? 50us : 1000us);
        std::atomic<int> ran{0};
        std::thread::id thereOn;
        const std::function<void()> there = [&] {
            thereOn = std::this_thread::get_id();
            ++ran;
            if (c.bThereThrows) {
                throw std::runtime_error("there");
            }
        };
        const std::function<void()> here = [&] {
            ++ran;
            if (c.bHereThrows) {
                throw std::runtime_error("here");
            }
        };
        std::string thrown;
        try {
            helper.Both(there, here);
        } catch (const std::runtime_error& error) {
            thrown = error.what();
        }
        EXPECT_EQ(ran.load(), 2);
        EXPECT_NE(thereOn, std::this_thread::get_id());
        EXPECT_EQ(thrown, c.expected == nullptr ? "" : c.expected) << "turn " << turn;
    }
    // Let go while it spins, or before it ever had work: each stops.
    for (int n = 0; n < 20; ++n) {
        HelperThread spinning;
        if (n % 2 == 0) {
            spinning.Both([] {}, [] {});
        }
    }
}

TEST(RoomBus, FirstOrderIsTheThirdOrdersFirstFourChannels) {
    const std::vector<float> first = Heard({RoomBus::Form::Ambisonics, 1, nullptr, ""}, 0);
    const std::vector<float> third = Heard({RoomBus::Form::Ambisonics, 3, nullptr, ""}, 0);
    std::vector<float> head;
    for (size_t i = 0; i < third.size() / 16; ++i) {
        head.insert(head.end(), third.begin() + static_cast<ptrdiff_t>(i * 16),
                    third.begin() + static_cast<ptrdiff_t>(i * 16 + 4));
    }
    EXPECT_EQ(Differences(first, head), 0u);
}

TEST(RoomBus, AReflectionsDirectionAsAVectorGivesTheHarmonicsOfItsAngles) {
    PanPointList points;
    points.AddPoint(PanPoint(0, Place{-60, 10, 120, 0}));
    points.AddPoint(PanPoint(kFrames, Place{170, -20, 90, 0}));
    const HeadTurn heads[] = {{}, {30.0, 10.0, -5.0}};
    for (const HeadTurn& head : heads) {
        SceneSpace space;
        space.listener.head = head;
        space.acoustics.bDoppler = true;
        space.acoustics.room = Room{};
        Propagation stage(points, kFrames, {kRate, TrajectoryCursor::Mode::AllAround, space});
        const Propagation::Reader read = [](uint32_t, uint32_t count, float* out) {
            std::fill(out, out + count, 0.0f);
        };
        // Within a prepared block (from the emission grid) and past it (from the cursor).
        stage.PrepareReflections(read, 1, 4096, 4096, 256);
        for (const uint64_t heard : {uint64_t{4096}, uint64_t{6000}, uint64_t{20000}}) {
            for (size_t k = 0; k < stage.Reflections(); k += 7) {
                const Arrival arrival = stage.ReflectionAt(heard, k);
                double unit[3];
                const double gain = stage.ReflectionToward(heard, k, 0, unit);
                float fromAngles[16], fromVector[16];
                AmbisonicsEncoder::Harmonics(3, -arrival.azimuth, arrival.elevation, arrival.gain,
                                             fromAngles);
                AmbisonicsEncoder::HarmonicsOf(3, unit[0], unit[1], unit[2], gain, fromVector);
                for (int c = 0; c < 16; ++c) {
                    ASSERT_NEAR(fromVector[c], fromAngles[c], 1e-6)
                        << "yaw " << head.yaw << ", frame " << heard << ", reflection " << k
                        << ", channel " << c;
                }
            }
        }
    }
}

}  // namespace
