// The mixer on OpenAL Soft's null back end: the whole session lifecycle, and every misuse of
// a handle answered with a code.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "MixerTestSupport.h"
#include "support/OpenAlBackEnd.h"
#include "trevant/trevant.h"

using namespace mixertest;

namespace {

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new OpenAlBackEnd::Environment("null"));

constexpr uint32_t kRate = 22050;

// An activated session with channel 0 open and one short tone as a wave.
class NullSession : public ::testing::Test {
  protected:
    void SetUp() override {
        const MixerSessionConfig config = MakeConfig(kRate);
        m_session = AmbrelWaveMixInitEx(&config);
        ASSERT_NE(m_session, 0u) << AmbrelWaveMixGetLastError();
        ASSERT_EQ(AmbrelWaveMixActivate(m_session, 1), 0);
        ASSERT_EQ(AmbrelWaveMixOpenChannel(m_session, 0, 1), 0);
        m_wave = OpenWave(m_tone);
        ASSERT_NE(m_wave, 0u);
    }
    void TearDown() override {
        if (m_session != 0) {
            AmbrelWaveMixCloseSession(m_session);
        }
    }

    AmbrelWaveMixWave OpenWave(const std::vector<unsigned char>& samples) {
        const MixerWaveSource source{&m_format, samples.data(),
                                     static_cast<uint32_t>(samples.size()), 0, 0};
        return AmbrelWaveMixOpenWave(m_session, &source, 0, 8);
    }

    MixerPcmFormat m_format = MakeFormat(kRate, 1, 16);
    std::vector<unsigned char> m_tone = MakeTone(kRate, kRate / 10, 440.0, 16);
    AmbrelWaveMixSession m_session = 0;
    AmbrelWaveMixWave m_wave = 0;
};

TEST_F(NullSession, PlaysToTheEndOnceAndCloses) {
    DoneCounter done;
    const MixerPosition ahead{0, 0, 0};
    EXPECT_EQ(AmbrelWaveMixSetPosition(m_session, 0, 8, &ahead), 0);
    EXPECT_EQ(AmbrelWaveMixSetVolume(m_session, 0, 0, 32767), 0);
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, m_wave, 0, &params), 0);
    ASSERT_TRUE(done.Wait(1, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(done.Count(), 1);
    uint32_t position = 0;
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &m_wave, &position, 1), 0);
    EXPECT_EQ(position, kRate / 10);

    // The same wave again starts from its first frame and ends with a second notification.
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, m_wave, 0, &params), 0);
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &m_wave, &position, 1), 0);
    EXPECT_LT(position, kRate / 10);
    ASSERT_TRUE(done.Wait(2, 5000));

    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, m_wave), 0);
    EXPECT_EQ(AmbrelWaveMixCloseSession(m_session), 0);
    m_session = 0;
}

TEST_F(NullSession, EmptyRangeEndsAtOnce) {
    const std::vector<unsigned char> nothing;
    const AmbrelWaveMixWave empty = OpenWave(nothing);
    ASSERT_NE(empty, 0u);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, empty, 0, &params), 0);
    EXPECT_TRUE(done.Wait(1, 2000));
    uint32_t position = 1;
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &empty, &position, 1), 0);
    EXPECT_EQ(position, 0u);
}

TEST_F(NullSession, FreeingAPlayingWaveStopsItWithoutNotice) {
    const auto longTone = MakeTone(kRate, kRate * 2, 440.0, 16);
    const AmbrelWaveMixWave wave = OpenWave(longTone);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, wave, 0, &params), 0);
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, wave), 0);
    EXPECT_FALSE(done.Wait(1, 150));
    uint32_t position = 0;
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &wave, &position, 1),
              AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, wave), AMBREL_WAVEMIX_ERR_BAD_WAVE);
}

TEST_F(NullSession, ClosingWhilePlayingSendsNoNoticeAndRetiresWaves) {
    const auto longTone = MakeTone(kRate, kRate * 2, 440.0, 16);
    const AmbrelWaveMixWave wave = OpenWave(longTone);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, wave, 0, &params), 0);
    const AmbrelWaveMixSession old = m_session;
    ASSERT_EQ(AmbrelWaveMixCloseSession(old), 0);
    m_session = 0;
    EXPECT_EQ(done.Count(), 0);

    // Every call with the closed session answers with a code.
    const MixerPosition ahead{0, 0, 0};
    uint32_t position = 0;
    EXPECT_EQ(AmbrelWaveMixCloseSession(old), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixActivate(old, 1), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixSetOptions(old, 0, 0xFFFFFFFF), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixOpenChannel(old, 0, 1), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixSetPosition(old, 0, 0, &ahead), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixSetVolume(old, 0, 0, 32767), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixPlayEx(old, 0, 1, wave, 0, &params), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(old, 0, &wave, &position, 1),
              AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixStopChannel(old, 0, 0), AMBREL_WAVEMIX_ERR_BAD_SESSION);

    // A wave of the closed session counts as freed, against a new session or none; once.
    const MixerSessionConfig config = MakeConfig(kRate);
    m_session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(m_session, 0u);
    EXPECT_NE(m_session, old);
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, wave), 0);
    EXPECT_EQ(AmbrelWaveMixFreeWave(0, m_wave), 0);
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, wave), AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_EQ(done.Count(), 0);
}

TEST_F(NullSession, StopKeepsThePositionAndSilencesTheChannel) {
    const auto longTone = MakeTone(kRate, kRate * 2, 440.0, 16);
    const AmbrelWaveMixWave wave = OpenWave(longTone);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, wave, 0, &params), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    EXPECT_EQ(AmbrelWaveMixStopChannel(m_session, 0, 0), 0);
    uint32_t stopped = 0;
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &wave, &stopped, 1), 0);
    EXPECT_LT(stopped, kRate * 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    uint32_t later = 0;
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &wave, &later, 1), 0);
    EXPECT_EQ(later, stopped);
    EXPECT_EQ(done.Count(), 0);
    // Asking with another wave than the one last played is refused.
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &m_wave, &later, 1),
              AMBREL_WAVEMIX_ERR_BAD_WAVE);
}

TEST_F(NullSession, DeactivateAndReactivate) {
    const auto longTone = MakeTone(kRate, kRate * 2, 440.0, 16);
    const AmbrelWaveMixWave wave = OpenWave(longTone);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, wave, 0, &params), 0);
    EXPECT_EQ(AmbrelWaveMixActivate(m_session, 0), 0);
    EXPECT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, m_wave, 0, &params),
              AMBREL_WAVEMIX_ERR_NOT_ACTIVE);
    EXPECT_EQ(AmbrelWaveMixActivate(m_session, 1), 0);
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, m_wave, 0, &params), 0);
    EXPECT_TRUE(done.Wait(1, 5000));
}

TEST_F(NullSession, BadChannelsWavesAndRecordsGiveCodes) {
    DoneCounter done;
    MixerPlayParams params = done.Params();
    const MixerPosition ahead{0, 0, 0};
    uint32_t position = 0;
    EXPECT_EQ(AmbrelWaveMixOpenChannel(m_session, 1, 1), AMBREL_WAVEMIX_ERR_BAD_CHANNEL);
    EXPECT_EQ(AmbrelWaveMixSetPosition(m_session, 7, 0, &ahead), AMBREL_WAVEMIX_ERR_BAD_CHANNEL);
    EXPECT_EQ(AmbrelWaveMixSetPosition(m_session, 0, 0, nullptr), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, 0, 0, &params), AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, 999999, 0, &params),
              AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, m_wave, 0, nullptr),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    params.size = 36;
    EXPECT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, m_wave, 0, &params),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &m_wave, nullptr, 1),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    // Nothing has played on the channel yet.
    EXPECT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &m_wave, &position, 1),
              AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, 424242), AMBREL_WAVEMIX_ERR_BAD_WAVE);
    // A session handle is not a wave handle.
    EXPECT_EQ(AmbrelWaveMixFreeWave(m_session, m_session), AMBREL_WAVEMIX_ERR_BAD_WAVE);

    // Formats the mixer cannot play.
    MixerPcmFormat float32 = MakeFormat(kRate, 1, 16);
    float32.formatTag = 3;
    MixerPcmFormat threeChannels = MakeFormat(kRate, 3, 16);
    MixerPcmFormat twelve = MakeFormat(kRate, 1, 12);
    MixerPcmFormat badAlign = MakeFormat(kRate, 1, 16);
    badAlign.blockAlign = 4;
    for (const MixerPcmFormat* format : {&float32, &threeChannels, &twelve, &badAlign}) {
        const MixerWaveSource source{format, m_tone.data(), 100, 0, 0};
        EXPECT_EQ(AmbrelWaveMixOpenWave(m_session, &source, 0, 8), 0u);
        EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_FORMAT);
    }
    const MixerWaveSource noData{&m_format, nullptr, 100, 0, 0};
    EXPECT_EQ(AmbrelWaveMixOpenWave(m_session, &noData, 0, 8), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixOpenWave(m_session, nullptr, 0, 8), 0u);
    EXPECT_EQ(AmbrelWaveMixOpenWave(999, nullptr, 0, 8), 0u);
}

TEST(NullBackend, CallsOutOfOrderOrWithoutSessionGiveCodes) {
    const MixerPosition ahead{0, 0, 0};
    uint32_t position = 0;
    const AmbrelWaveMixWave noWave = 0;
    for (const AmbrelWaveMixSession bogus : {0u, 77777u}) {
        EXPECT_EQ(AmbrelWaveMixActivate(bogus, 1), AMBREL_WAVEMIX_ERR_BAD_SESSION);
        EXPECT_EQ(AmbrelWaveMixOpenChannel(bogus, 0, 1), AMBREL_WAVEMIX_ERR_BAD_SESSION);
        EXPECT_EQ(AmbrelWaveMixSetPosition(bogus, 0, 8, &ahead), AMBREL_WAVEMIX_ERR_BAD_SESSION);
        EXPECT_EQ(AmbrelWaveMixGetPlayPosition(bogus, 0, &noWave, &position, 1),
                  AMBREL_WAVEMIX_ERR_BAD_SESSION);
        EXPECT_EQ(AmbrelWaveMixStopChannel(bogus, 0, 0), AMBREL_WAVEMIX_ERR_BAD_SESSION);
        EXPECT_EQ(AmbrelWaveMixCloseSession(bogus), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    }

    // Before Activate no channel opens and none plays.
    const MixerSessionConfig config = MakeConfig(kRate);
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(session, 0u);
    EXPECT_EQ(AmbrelWaveMixSetOptions(session, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), AMBREL_WAVEMIX_ERR_NOT_ACTIVE);
    EXPECT_EQ(AmbrelWaveMixSetVolume(session, 0, 0, 32767), AMBREL_WAVEMIX_ERR_NOT_ACTIVE);
    EXPECT_EQ(AmbrelWaveMixActivate(session, 1), 0);
    EXPECT_EQ(AmbrelWaveMixSetVolume(session, 0, 0, 32767), AMBREL_WAVEMIX_ERR_CHANNEL_NOT_OPEN);
    EXPECT_EQ(AmbrelWaveMixStopChannel(session, 0, 0), AMBREL_WAVEMIX_ERR_CHANNEL_NOT_OPEN);
    EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);
}

TEST(NullBackend, ConfigsItCannotRunAreRefused) {
    MixerSessionConfig config = MakeConfig(kRate);
    config.size = 36;
    EXPECT_EQ(AmbrelWaveMixInitEx(&config), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixInitEx(nullptr), 0u);
    config = MakeConfig(kRate);
    config.channels = 0;
    EXPECT_EQ(AmbrelWaveMixInitEx(&config), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_CONFIG);
    config = MakeConfig(kRate);
    config.output = 4;
    EXPECT_EQ(AmbrelWaveMixInitEx(&config), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_CONFIG);
    config = MakeConfig(500);
    EXPECT_EQ(AmbrelWaveMixInitEx(&config), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_CONFIG);
}

TEST(NullBackend, EveryPreferenceCombinationOpensAndPlays) {
    for (const uint32_t output : {0u, 1u, 2u}) {
        // A latency past 1000 ms (a hand-edited preference) plays at 1000.
        for (const uint32_t latency : {0u, 20u, 1000u, 0xFFFFFFFFu}) {
            SCOPED_TRACE(testing::Message() << "output " << output << " latency " << latency);
            MixerSessionConfig config = MakeConfig(11025);
            config.output = output;
            config.latencyMs = latency;
            config.flags = output == 1 ? 0 : AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER;
            const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
            ASSERT_NE(session, 0u);
            EXPECT_EQ(AmbrelWaveMixActivate(session, 1), 0);
            EXPECT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
            const auto tone = MakeTone(11025, 200, 440.0, 8);
            const MixerPcmFormat format = MakeFormat(11025, 1, 8);
            const MixerWaveSource source{&format, tone.data(), 200, 0, 0};
            const AmbrelWaveMixWave wave = AmbrelWaveMixOpenWave(session, &source, 0, 8);
            DoneCounter done;
            const MixerPlayParams params = done.Params();
            EXPECT_EQ(AmbrelWaveMixPlayEx(session, 0, 1, wave, 0, &params), 0);
            EXPECT_TRUE(done.Wait(1, 5000));
            EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);
        }
    }
}

}  // namespace

namespace {

// The session below stays open on purpose: the process must still end cleanly, which ctest
// checks through this binary's exit status.
TEST(NullBackend, SessionLeftOpenAtExitDoesNotStopTheProcessEnding) {
    static const auto tone = MakeTone(kRate, kRate, 440.0, 16);
    static const MixerPcmFormat format = MakeFormat(kRate, 1, 16);
    const MixerSessionConfig config = MakeConfig(kRate);
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(session, 0u);
    ASSERT_EQ(AmbrelWaveMixActivate(session, 1), 0);
    ASSERT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
    const MixerWaveSource source{&format, tone.data(), static_cast<uint32_t>(tone.size()), 0, 0};
    const AmbrelWaveMixWave wave = AmbrelWaveMixOpenWave(session, &source, 0, 8);
    MixerPlayParams params{};
    params.size = sizeof params;
    EXPECT_EQ(AmbrelWaveMixPlayEx(session, 0, 1, wave, 0, &params), 0);
}

}  // namespace

TEST_F(NullSession, TheOutputPositionAddsTheDevicesLatencyToThePlayPosition) {
    const auto longTone = MakeTone(kRate, kRate, 440.0, 16);  // one second
    const AmbrelWaveMixWave wave = OpenWave(longTone);
    DoneCounter done;
    const MixerPlayParams params = done.Params();
    uint32_t position = 1;
    uint32_t latencyUs = 1;
    ASSERT_EQ(AmbrelWaveMixPlayEx(m_session, 0, 1, wave, 0, &params), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));

    // The same position as the plain query, read on either side of it.
    uint32_t before = 0;
    uint32_t after = 0;
    ASSERT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &wave, &before, 1), 0);
    ASSERT_EQ(AmbrelWaveMixGetOutputPosition(m_session, 0, &wave, &position, &latencyUs), 0);
    ASSERT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &wave, &after, 1), 0);
    EXPECT_GE(position, before);
    EXPECT_LE(position, after);
    EXPECT_GT(position, 0u);
    // The null device mixes ahead of its clock like a real one, and says by how much: a few
    // device updates, well under the half second a user would notice.
    EXPECT_GT(latencyUs, 0u);
    EXPECT_LT(latencyUs, 500000u);

    // Once stopped nothing is on its way to the ear; the position is the stop point.
    ASSERT_EQ(AmbrelWaveMixStopChannel(m_session, 0, 0), 0);
    ASSERT_EQ(AmbrelWaveMixGetPlayPosition(m_session, 0, &wave, &before, 1), 0);
    ASSERT_EQ(AmbrelWaveMixGetOutputPosition(m_session, 0, &wave, &position, &latencyUs), 0);
    EXPECT_EQ(position, before);
    EXPECT_EQ(latencyUs, 0u);

    // Misuse is answered as the plain query answers it.
    EXPECT_EQ(AmbrelWaveMixGetOutputPosition(m_session, 0, &wave, &position, nullptr),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixGetOutputPosition(m_session, 0, &m_wave, &position, &latencyUs),
              AMBREL_WAVEMIX_ERR_BAD_WAVE);
    EXPECT_EQ(AmbrelWaveMixGetOutputPosition(m_session, 5, &wave, &position, &latencyUs),
              AMBREL_WAVEMIX_ERR_BAD_CHANNEL);
    EXPECT_EQ(AmbrelWaveMixGetOutputPosition(m_session + 100, 0, &wave, &position, &latencyUs),
              AMBREL_WAVEMIX_ERR_BAD_SESSION);
}
