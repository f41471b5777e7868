// A session's device and HRTF choice on OpenAL Soft's null back end (set up by
// NullBackendTest.cpp for this binary): what the session's device really does, the device
// list, and the back end that the environment has already chosen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MixerTestSupport.h"
#include "trevant/trevant.h"

using namespace mixertest;

namespace {

// An activated session for options, or 0 with *code set.
AmbrelWaveMixSession Open(const MixerOutputOptions& options, int* code, uint32_t flags = 0) {
    MixerSessionConfig config = MakeConfig(22050);
    config.flags = flags;
    const AmbrelWaveMixSession session = AmbrelWaveMixInitOutput(&config, &options);
    *code = session == 0 ? AmbrelWaveMixGetLastError() : AmbrelWaveMixActivate(session, 1);
    return session;
}

MixerHrtfState StateOf(AmbrelWaveMixSession session) {
    MixerHrtfState state{};
    state.size = sizeof state;
    EXPECT_EQ(AmbrelWaveMixGetHrtfState(session, &state), 0);
    return state;
}

std::vector<std::string> Devices() {
    std::vector<std::string> names;
    const uint32_t count = AmbrelWaveMixEnumerateDevices();
    for (uint32_t i = 0; i < count; ++i) {
        char name[1024];
        EXPECT_EQ(AmbrelWaveMixGetDeviceName(i, name, 1023), 0);
        names.emplace_back(name);
    }
    return names;
}

}  // namespace

TEST(NullOutput, HrtfOnIsSeenOnTheDeviceAtTheHrtfsRateAndOffIsPlainPanning) {
    int code = 0;
    MixerOutputOptions on{sizeof(MixerOutputOptions), AMBREL_WAVEMIX_HRTF_ON, nullptr, nullptr};
    MixerSessionConfig config = MakeConfig(22050);
    const AmbrelWaveMixSession idle = AmbrelWaveMixInitOutput(&config, &on);
    ASSERT_NE(idle, 0u);
    MixerHrtfState state{};
    state.size = sizeof state;
    EXPECT_EQ(AmbrelWaveMixGetHrtfState(idle, &state), AMBREL_WAVEMIX_ERR_NOT_ACTIVE);
    AmbrelWaveMixCloseSession(idle);

    // The primary-buffer flag would run the device at 22050 Hz; HRTF needs its own rate.
    for (const uint32_t flags : {0u, AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER}) {
        const AmbrelWaveMixSession session = Open(on, &code, flags);
        ASSERT_NE(session, 0u);
        ASSERT_EQ(code, 0);
        state = StateOf(session);
        EXPECT_EQ(state.enabled, 1u);
        EXPECT_EQ(state.sampleRate, 44100u);
        EXPECT_STRNE(state.name, "");
        AmbrelWaveMixCloseSession(session);
    }

    char at48[256] = {};
    for (uint32_t i = 0, rate = 0; i < AmbrelWaveMixEnumerateHrtfs() && rate != 48000; ++i) {
        ASSERT_EQ(AmbrelWaveMixGetHrtfName(i, at48, 255, &rate), 0);
    }
    on.hrtfName = at48;
    AmbrelWaveMixSession session = Open(on, &code);
    ASSERT_NE(session, 0u);
    state = StateOf(session);
    EXPECT_EQ(state.sampleRate, 48000u);
    EXPECT_STREQ(state.name, at48);
    AmbrelWaveMixCloseSession(session);

    const MixerOutputOptions off{sizeof(MixerOutputOptions), AMBREL_WAVEMIX_HRTF_OFF, nullptr,
                                 nullptr};
    session = Open(off, &code, AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER);
    ASSERT_NE(session, 0u);
    state = StateOf(session);
    EXPECT_EQ(state.enabled, 0u);
    EXPECT_EQ(state.sampleRate, 22050u);
    EXPECT_STREQ(state.name, "");
    AmbrelWaveMixCloseSession(session);
}

TEST(NullOutput, ADeviceOrAnHrtfThatIsNotThereIsACode) {
    const std::vector<std::string> devices = Devices();
    ASSERT_FALSE(devices.empty());
    int code = 0;
    MixerOutputOptions options{sizeof(MixerOutputOptions), AMBREL_WAVEMIX_HRTF_AUTO,
                               devices[0].c_str(), nullptr};
    const AmbrelWaveMixSession named = Open(options, &code);
    EXPECT_NE(named, 0u);
    EXPECT_EQ(code, 0);
    AmbrelWaveMixCloseSession(named);

    options.device = "Sonomap Test No Such Device";
    EXPECT_EQ(Open(options, &code), 0u);
    EXPECT_EQ(code, AMBREL_WAVEMIX_ERR_NO_DEVICE);

    options = {sizeof(MixerOutputOptions), AMBREL_WAVEMIX_HRTF_ON, nullptr, "no such HRTF"};
    EXPECT_EQ(Open(options, &code), 0u);
    EXPECT_EQ(code, AMBREL_WAVEMIX_ERR_NO_HRTF);
    options = {sizeof(MixerOutputOptions), 3, nullptr, nullptr};
    EXPECT_EQ(Open(options, &code), 0u);
    EXPECT_EQ(code, AMBREL_WAVEMIX_ERR_BAD_CONFIG);
    options.size = 4;
    EXPECT_EQ(Open(options, &code), 0u);
    EXPECT_EQ(code, AMBREL_WAVEMIX_ERR_BAD_PARAM);

    char name[4];
    EXPECT_EQ(AmbrelWaveMixGetDeviceName(0, name, 3), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixGetDeviceName(static_cast<uint32_t>(devices.size()), name, 3),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
}

TEST(NullOutput, TheEnvironmentHasChosenTheBackEndSoAnotherChoiceWaitsForTheNextStart) {
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_ALSA),
              AMBREL_WAVEMIX_ERR_OUTPUT_FIXED);
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_AUTO), 0);
    EXPECT_EQ(AmbrelWaveMixGetOutputInEffect(), AMBREL_WAVEMIX_OUTPUT_AUTO);
}
