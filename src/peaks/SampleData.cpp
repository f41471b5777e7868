#include "peaks/SampleData.h"
#include "platform/ByteOrder.h"

#include <cstring>

namespace {

bool InRange(const SampleData& data, uint64_t frame, int channel) {
    return data.samples != nullptr && frame < data.frameCount && channel >= 1 &&
           channel <= data.channels;
}

}  // namespace

int GetSample8(const SampleData& data, uint64_t frame, int channel) {
    if (!InRange(data, frame, channel)) {
        return 128;
    }
    return data.samples[frame * data.channels + static_cast<uint64_t>(channel - 1)];
}

int GetSample16(const SampleData& data, uint64_t frame, int channel) {
    if (!InRange(data, frame, channel)) {
        return 0;
    }
    const uint8_t* p =
        data.samples + 2 * (frame * data.channels + static_cast<uint64_t>(channel - 1));
    return ByteOrder::LoadS16(p, false);
}

int GetSampleDeep(const SampleData& data, uint64_t frame, int channel) {
    if (!InRange(data, frame, channel)) {
        return 0;
    }
    const uint32_t width = data.bitsPerSample / 8u;
    return DeepPictureValue(
        data.samples + width * (frame * data.channels + static_cast<uint64_t>(channel - 1)),
        data.bitsPerSample, data.bFloat);
}
