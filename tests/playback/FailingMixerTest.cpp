// The failure injection the application tests rely on, in front of the real library on the
// null back end.
#include "support/FailingMixer.h"

#include <gtest/gtest.h>

#include "playback/TrevantMixer.h"

TEST(FailingMixer, InjectedFailuresComeBackAsTheirCodes) {
    FailingMixer mixer(TrevantMixer::Shared());
    mixer.FailNext("InitEx", 4);
    MixerSessionConfig config{};
    config.size = sizeof config;
    config.sampleRate = 22050;
    config.channels = 1;
    EXPECT_EQ(mixer.InitEx(config), 0u);
    EXPECT_EQ(mixer.GetLastError(), 4);
    const AmbrelWaveMixSession session = mixer.InitEx(config);
    ASSERT_NE(session, 0u);
    mixer.FailNext("Activate", 1);
    EXPECT_EQ(mixer.Activate(session, 1), 1);
    EXPECT_EQ(mixer.Activate(session, 1), 0);
    mixer.FailNext("OpenChannel", 21);
    EXPECT_EQ(mixer.OpenChannel(session, 0, 1), 21);
    // A cleared queue passes every call on.
    mixer.FailNext("OpenChannel", 21);
    mixer.Clear();
    EXPECT_EQ(mixer.OpenChannel(session, 0, 1), 0);
    EXPECT_EQ(mixer.CloseSession(session), 0);
}
