// A machine with no audio output at all: opening a session fails with a code and a text.
#include <gtest/gtest.h>

#include <string>

#include "support/OpenAlBackEnd.h"
#include "trevant/trevant.h"

namespace {

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new OpenAlBackEnd::Environment(OpenAlBackEnd::kNoDevice));

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
