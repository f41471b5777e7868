// The output choice picks OpenAL Soft's back end only before OpenAL Soft is first used in the
// process; afterwards a new choice waits for the next start.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "trevant/trevant.h"

namespace {

std::string Drivers() {
    const char* value = std::getenv("ALSOFT_DRIVERS");
    return value == nullptr ? "(unset)" : value;
}

}  // namespace

TEST(BackendChoice, TakesEffectBeforeTheFirstUseOfOpenAlSoftOnly) {
    ::unsetenv("ALSOFT_DRIVERS");
    ::unsetenv("ALSOFT_CONF");
    EXPECT_EQ(AmbrelWaveMixGetOutputInEffect(), AMBREL_WAVEMIX_OUTPUT_AUTO);
    EXPECT_EQ(AmbrelWaveMixSelectOutput(4), AMBREL_WAVEMIX_ERR_BAD_CONFIG);

    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_ALSA), 0);
    EXPECT_EQ(Drivers(), "alsa,");
    EXPECT_EQ(AmbrelWaveMixGetOutputInEffect(), AMBREL_WAVEMIX_OUTPUT_ALSA);
    // Still before the first use: the choice may change, back to OpenAL Soft's own too.
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_PULSE), 0);
    EXPECT_EQ(Drivers(), "pulse,");
    // JACK alone: with no server the device fails to open rather than play elsewhere.
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_JACK), 0);
    EXPECT_EQ(Drivers(), "jack");
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_AUTO), 0);
    EXPECT_EQ(Drivers(), "(unset)");

    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_ALSA), 0);
    AmbrelWaveMixEnumerateDevices();  // OpenAL Soft picks its back end now
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_PULSE),
              AMBREL_WAVEMIX_ERR_OUTPUT_FIXED);
    EXPECT_EQ(Drivers(), "alsa,");
    EXPECT_EQ(AmbrelWaveMixGetOutputInEffect(), AMBREL_WAVEMIX_OUTPUT_ALSA);
    EXPECT_EQ(AmbrelWaveMixSelectOutput(AMBREL_WAVEMIX_OUTPUT_ALSA), 0);

    char text[256];
    AmbrelWaveMixGetErrorText(AMBREL_WAVEMIX_ERR_OUTPUT_FIXED, text, 255);
    EXPECT_NE(std::string(text).find("next start"), std::string::npos);
}
