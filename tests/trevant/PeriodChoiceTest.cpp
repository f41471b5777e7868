// The device's period is chosen before OpenAL Soft's first use in the process, and the device
// then runs at it: the latency it reports is that of the chosen period.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "MixerTestSupport.h"
#include "support/OpenAlBackEnd.h"
#include "trevant/trevant.h"

using namespace mixertest;

namespace {

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new OpenAlBackEnd::Environment("null"));

}  // namespace

TEST(PeriodChoice, TakesEffectBeforeTheFirstUseAndSetsTheDevicesLatency) {
    const struct {
        uint32_t frames, periods;
    } outOfRange[] = {{63, 2}, {8193, 2}, {256, 1}, {256, 17}, {0, 2}, {256, 0}};
    for (const auto& [frames, periods] : outOfRange) {
        EXPECT_EQ(AmbrelWaveMixSelectPeriod(frames, periods), AMBREL_WAVEMIX_ERR_BAD_CONFIG)
            << frames << " x " << periods;
    }
    // A configuration the environment names is the user's choice.
    ::setenv("ALSOFT_CONF", "/nonexistent/alsoft.conf", 1);
    EXPECT_EQ(AmbrelWaveMixSelectPeriod(256, 2), AMBREL_WAVEMIX_ERR_OUTPUT_FIXED);
    ::unsetenv("ALSOFT_CONF");
    EXPECT_EQ(AmbrelWaveMixSelectPeriod(512, 3), 0);
    EXPECT_EQ(AmbrelWaveMixSelectPeriod(0, 0), 0);
    EXPECT_EQ(std::getenv("ALSOFT_CONF"), nullptr);
    EXPECT_EQ(AmbrelWaveMixSelectPeriod(256, 4), 0);
    EXPECT_EQ(AmbrelWaveMixGetPeriodInEffect(), 256u);

    constexpr uint32_t kRate = 44100;
    MixerSessionConfig config = MakeConfig(kRate);
    config.latencyMs = 20;
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(session, 0u) << AmbrelWaveMixGetLastError();
    EXPECT_EQ(AmbrelWaveMixSelectPeriod(1024, 3), AMBREL_WAVEMIX_ERR_OUTPUT_FIXED);
    EXPECT_EQ(AmbrelWaveMixGetPeriodInEffect(), 256u);
    ASSERT_EQ(AmbrelWaveMixActivate(session, 1), 0);
    ASSERT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
    const MixerPcmFormat format = MakeFormat(kRate, 1, 16);
    const std::vector<unsigned char> tone = MakeTone(kRate, kRate, 440.0, 16);
    const MixerWaveSource source{&format, tone.data(), static_cast<uint32_t>(tone.size()), 0, 0};
    AmbrelWaveMixWave wave = AmbrelWaveMixOpenWave(session, &source, 0, 8);
    ASSERT_NE(wave, 0u);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(session, 0, 1, wave, 0, &params), 0);
    // The null device reports periods - 1 periods queued: 3 x 256 frames is 17.4 ms, where its
    // own 3 periods of 1024 frames report 46.4 ms.
    uint32_t latencyUs = 0;
    for (int i = 0; i < 200 && latencyUs == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        uint32_t position = 0;
        ASSERT_EQ(AmbrelWaveMixGetOutputPosition(session, 0, &wave, &position, &latencyUs), 0);
    }
    EXPECT_GT(latencyUs, 16000u);
    EXPECT_LT(latencyUs, 19500u);
    EXPECT_TRUE(done.Wait(1, 5000));
    EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);
}
