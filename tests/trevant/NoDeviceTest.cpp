// A machine with no audio output at all: opening a session fails with a code and a text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "trevant/trevant.h"

namespace {

class NoDeviceEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        // A back end list naming nothing OpenAL Soft has: no device can open.
        ::setenv("ALSOFT_DRIVERS", "sonomap-no-such-driver", 1);
        ::unsetenv("ALSOFT_CONF");
    }
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new NoDeviceEnvironment);

TEST(NoDevice, InitExFailsWithACodeAndText) {
    MixerSessionConfig config{};
    config.size = sizeof config;
    config.sampleRate = 44100;
    config.channels = 1;
    EXPECT_EQ(AmbrelWaveMixInitEx(&config), 0u);
    const int code = AmbrelWaveMixGetLastError();
    EXPECT_EQ(code, AMBREL_WAVEMIX_ERR_NO_DEVICE);
    char text[256];
    ASSERT_EQ(AmbrelWaveMixGetErrorText(code, text, 255), 0);
    EXPECT_NE(std::string(text).find("device"), std::string::npos);
    // Nothing was left half-open: a second try fails the same way.
    EXPECT_EQ(AmbrelWaveMixInitEx(&config), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_NO_DEVICE);
}

}  // namespace
