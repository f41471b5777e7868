#include "playback/LoudspeakerPlayback.h"

#include "playback/Mixer.h"
#include "render/SpeakerLayout.h"

std::vector<std::string> LoudspeakerPlayback::Choices() {
    return {"0+5+0", "0+7+0"};
}

const SpeakerLayout* LoudspeakerPlayback::LayoutOf(const std::string& name) {
    for (const std::string& choice : Choices()) {
        if (choice == name) {
            return SpeakerLayout::Find(name);
        }
    }
    return nullptr;
}

std::string LoudspeakerPlayback::ChoiceText(const std::string& name) {
    return (name == "0+5+0" ? "5.1 (" : "7.1 (") + name + ")";
}

std::string LoudspeakerPlayback::Unavailable(Mixer& mixer, AmbrelWaveMixSession session,
                                             const SpeakerLayout& layout) {
    if (session == 0) {
        return "No audio output is open.";
    }
    uint32_t channels = 0;
    if (const int code = mixer.GetOutputChannels(session, channels)) {
        if (code == AMBREL_WAVEMIX_ERR_OUTPUT_UNTOLD) {
            return "This OpenAL Soft does not tell how many channels the output plays "
                   "(1.22 and later do).";
        }
        return "The output's channels could not be read.";
    }
    if (channels != layout.ChannelCount()) {
        return "The output plays " + std::to_string(channels) + " channels; " +
               ChoiceText(std::string(layout.Name())) + " needs " +
               std::to_string(layout.ChannelCount()) +
               " (OpenAL Soft's channels setting, alsoft-config).";
    }
    return "";
}

std::vector<int> LoudspeakerPlayback::DeviceOrder(const SpeakerLayout& layout) {
    // BS.2051 orders 0+7+0's sides (M+090, M-090) before its backs (M+135, M-135); OpenAL's
    // 7.1 puts the backs first. 0+5+0 is in OpenAL's 5.1 order already.
    if (layout.ChannelCount() == 8) {
        return {0, 1, 2, 3, 6, 7, 4, 5};
    }
    std::vector<int> order(layout.ChannelCount());
    for (size_t k = 0; k < order.size(); ++k) {
        order[k] = static_cast<int>(k);
    }
    return order;
}
