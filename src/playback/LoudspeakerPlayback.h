#pragma once

#include <string>
#include <vector>

#include "trevant/trevant.h"

class Mixer;
class SpeakerLayout;

// Playback to the device's own loudspeakers through the loudspeaker export's panner: the
// layouts a multichannel output can take (5.1 as 0+5+0, 7.1 as 0+7+0), whether the open
// output plays that many channels, and where each of the layout's channels goes among
// OpenAL's. Stateless.
class LoudspeakerPlayback {
  public:
    // The names a preference holds, in the order offered: "0+5+0", "0+7+0".
    static std::vector<std::string> Choices();
    // The layout of a choice; nullptr for "" (off) or a name that is none of Choices().
    static const SpeakerLayout* LayoutOf(const std::string& name);
    // "5.1 (0+5+0)", "7.1 (0+7+0)".
    static std::string ChoiceText(const std::string& name);

    // Why playback cannot go to layout's loudspeakers on session now; "" when it can: the
    // output plays exactly the layout's channels.
    static std::string Unavailable(Mixer& mixer, AmbrelWaveMixSession session,
                                   const SpeakerLayout& layout);

    // For each of OpenAL's channels of the layout's count (front left, front right, centre,
    // LFE, then 5.1's surrounds or 7.1's back and side pairs), the layout's channel it plays.
    static std::vector<int> DeviceOrder(const SpeakerLayout& layout);
};
