#include "peaks/MasterOverview.h"

#include <gtest/gtest.h>

#include "PeakReference.h"
#include "TestPeakFactory.h"
#include "support/ScriptedPrompts.h"

namespace {

RefImage ExpectedOverview(const TestSound& sound, uint32_t width, uint32_t step, uint32_t stride) {
    RefImage image(static_cast<int>(width), 200);
    std::vector<int64_t> starts;
    for (uint32_t i = 0; i < width; ++i) {
        starts.push_back(static_cast<int64_t>(i) * step);
    }
    const bool stereo = sound.data.channels == 2;
    const RefLanes lanes = stereo ? RefLanes{50, 150, 46} : RefLanes{100, 0, 96};
    RefDrawRun(image, sound, lanes, 0, static_cast<int>(width) - 1, starts, step, stride);
    return image;
}

// A deterministic wobble that crosses zero and reaches near full scale now and then.
int Wobble(uint32_t frame, int bits) {
    const uint32_t h = frame * 2654435761u;
    const int v = static_cast<int>((h >> 16) % 65536) - 32768;
    return bits == 8 ? 128 + v / 256 : v / ((frame % 7) + 1);
}

std::unique_ptr<MonoBitmap> Build(const TestSound& sound, ScriptedPrompts& prompts) {
    std::unique_ptr<MonoBitmap> image = BuildMasterOverview(sound.data, prompts);
    EXPECT_TRUE(prompts.Boxes().empty());
    return image;
}

}  // namespace

TEST(MasterOverview, ShortSoundGetsOneColumnPerFrame) {
    TestSound sound(300, 1, 16, 44100);
    for (uint32_t f = 0; f < 300; ++f) {
        sound.Set(f, 1, Wobble(f, 16));
    }
    for (uint32_t f = 10; f <= 12; ++f) {
        sound.Set(f, 1, 16383);
    }
    ScriptedPrompts prompts;
    auto image = Build(sound, prompts);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 300);
    EXPECT_EQ(image->Height(), 200);
    EXPECT_EQ(CompareColumns(*image, ExpectedOverview(sound, 300, 1, 1), 0, 299), "");
    // 100 - 96 * 16383 / 32767 = 53: one pixel; equal neighbours
    // need no connectors.
    EXPECT_EQ(BlackRows(*image, 11), std::vector<int>{53});
}

TEST(MasterOverview, MillionFramesStepBy976AndLeaveTheTailOut) {
    TestSound sound(1000000, 1, 16, 11025);
    for (uint32_t f = 0; f < 1000000; f += 3) {
        sound.Set(f, 1, Wobble(f, 16) / 4);
    }
    ScriptedPrompts prompts;
    auto plain = Build(sound, prompts);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->Width(), 1024);
    EXPECT_EQ(CompareColumns(*plain, ExpectedOverview(sound, 1024, 976, 1), 0, 1023), "");

    // 1024 x 976 = 999,424: the frames from there on are not shown.
    sound.Set(999424, 1, 32767);
    sound.Set(999999, 1, -32768);
    auto tail = Build(sound, prompts);
    EXPECT_EQ(CompareColumns(*tail, 0, *plain, 0, 1024), "");

    // The last frame that is shown belongs to column 1023.
    sound.Set(999423, 1, 32767);
    auto last = Build(sound, prompts);
    EXPECT_TRUE(last->IsBlack(1023, 4));
    EXPECT_EQ(CompareColumns(*last, 0, *plain, 0, 1022), "");
}

TEST(MasterOverview, SilentEightBitSoundMarksOnlyTheCentreRow) {
    TestSound sound(5000, 1, 8, 22050);
    ScriptedPrompts prompts;
    auto image = Build(sound, prompts);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Width(), 1024);
    for (int x = 0; x < 1024; ++x) {
        ASSERT_EQ(BlackRows(*image, x), std::vector<int>{100}) << "column " << x;
    }
}

TEST(MasterOverview, FullScaleSixteenBitColumnCoversRows4To195) {
    TestSound sound(2048, 1, 16, 11025);  // step 2, one frame per read
    sound.Set(600, 1, -32768);
    sound.Set(601, 1, 32767);
    ScriptedPrompts prompts;
    auto image = Build(sound, prompts);
    ASSERT_NE(image, nullptr);
    std::vector<int> rows;
    for (int y = 4; y <= 195; ++y) {
        rows.push_back(y);
    }
    EXPECT_EQ(BlackRows(*image, 300), rows);
    EXPECT_EQ(CompareColumns(*image, ExpectedOverview(sound, 1024, 2, 1), 0, 1023), "");
}

TEST(MasterOverview, EightBitFullScaleAndStereoLanes) {
    TestSound sound(1024, 2, 8, 8000);
    for (uint32_t f = 100; f < 110; ++f) {
        sound.Set(f, 1, 255);
        sound.Set(f, 2, 0);
        sound.Set(f + 10, 1, 0);
    }
    for (uint32_t f = 200; f < 300; ++f) {
        sound.Set(f, 1, Wobble(f, 8));
        sound.Set(f, 2, Wobble(f + 17, 8));
    }
    ScriptedPrompts prompts;
    auto image = Build(sound, prompts);
    ASSERT_NE(image, nullptr);
    // Lane 1 centred on 50, lane 2 on 150, both 46 rows to full scale:
    // 255 -> 50 - 127 * 46 / 128 = 5; 0 -> 50 + 46 = 96 and 150 + 46 = 196; silence -> 150.
    EXPECT_EQ(BlackRows(*image, 105), (std::vector<int>{5, 196}));
    EXPECT_EQ(BlackRows(*image, 115), (std::vector<int>{96, 150}));
    EXPECT_EQ(CompareColumns(*image, ExpectedOverview(sound, 1024, 1, 1), 0, 1023), "");
}

TEST(MasterOverview, StrideSkipsFramesAbove4FramesPerColumn) {
    // 8192 frames: 8 per column, read at offsets 0, 4 and 8 when the stride is 4.
    for (const uint32_t rate : {44100u, 48000u, 22050u, 11025u}) {
        TestSound sound(8192, 1, 16, rate);
        sound.Set(8 * 500 + 1, 1, 30000);   // between two reads at 44100 and 48000 Hz
        sound.Set(8 * 700 + 2, 1, -30000);  // read at 22050 Hz too
        ScriptedPrompts prompts;
        auto image = Build(sound, prompts);
        ASSERT_NE(image, nullptr);
        const uint32_t stride = rate >= 44100 ? 4 : rate == 22050 ? 2 : 1;
        EXPECT_EQ(CompareColumns(*image, ExpectedOverview(sound, 1024, 8, stride), 0, 1023), "")
            << rate;
        EXPECT_EQ(image->IsBlack(500, 20), rate == 11025) << rate;
        EXPECT_EQ(image->IsBlack(700, 180), rate <= 22050) << rate;
    }
    // Exactly 4 frames per column is still read in full.
    TestSound four(4096, 1, 16, 44100);
    four.Set(4 * 300 + 1, 1, 30000);
    ScriptedPrompts prompts;
    auto image = Build(four, prompts);
    EXPECT_EQ(CompareColumns(*image, ExpectedOverview(four, 1024, 4, 1), 0, 1023), "");
    EXPECT_TRUE(image->IsBlack(300, 20));
}

TEST(MasterOverview, FailuresShowTheirMessageAndYieldNoImage) {
    TestSound sound(4000, 1, 16, 44100);
    {
        ScriptedPrompts prompts;
        TestPeakFactory factory;
        factory.failImageCall = 0;
        EXPECT_EQ(BuildMasterOverview(sound.data, prompts, factory), nullptr);
        ASSERT_EQ(prompts.Texts(),
                  std::vector<std::string>{
                      "Couldn't allocate memory to create master waveform overview!"});
        EXPECT_EQ(prompts.Boxes()[0].buttons, UserPrompts::Buttons::Ok);
        EXPECT_EQ(factory.surfaceCalls, 0);
    }
    {
        ScriptedPrompts prompts;
        TestPeakFactory factory;
        factory.failSurfaceCall = 0;
        EXPECT_EQ(BuildMasterOverview(sound.data, prompts, factory), nullptr);
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Couldn't create DC!"});
    }
    {
        TestSound empty(0, 1, 16, 44100);
        ScriptedPrompts prompts;
        EXPECT_EQ(BuildMasterOverview(empty.data, prompts), nullptr);
        EXPECT_TRUE(prompts.Boxes().empty());
    }
}

TEST(SampleData, ReadsPastTheEndOrOutsideTheChannelsAsSilence) {
    TestSound eight(3, 2, 8, 8000);
    eight.Set(2, 2, 7);
    EXPECT_EQ(GetSample8(eight.data, 2, 2), 7);
    EXPECT_EQ(GetSample8(eight.data, 3, 1), 128);
    EXPECT_EQ(GetSample8(eight.data, 0, 3), 128);
    EXPECT_EQ(GetSample8(eight.data, 0, 0), 128);

    TestSound sixteen(3, 1, 16, 8000);
    sixteen.Set(1, 1, -2);
    sixteen.Set(2, 1, 0x1234);
    EXPECT_EQ(GetSample16(sixteen.data, 1, 1), -2);
    EXPECT_EQ(GetSample16(sixteen.data, 2, 1), 0x1234);
    EXPECT_EQ(GetSample16(sixteen.data, 3, 1), 0);
    EXPECT_EQ(GetSample16(sixteen.data, 0, 2), 0);
}
