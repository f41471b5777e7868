#include "trevant/MixerWave.h"

namespace {

constexpr uint16_t kPcmTag = 1;
constexpr uint16_t kFloatTag = 3;

}  // namespace

int MixerWave::FromSource(const MixerWaveSource& source, MixerWave* wave) {
    if (source.format == nullptr || (source.data == nullptr && source.byteCount != 0)) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    const MixerPcmFormat format = *source.format;
    const bool bFloat = format.formatTag == kFloatTag;
    const bool bBits = bFloat ? format.bitsPerSample == 32
                              : format.formatTag == kPcmTag &&
                                    (format.bitsPerSample == 8 || format.bitsPerSample == 16 ||
                                     format.bitsPerSample == 24 || format.bitsPerSample == 32);
    // More than two channels are loudspeaker feeds, mixed floats.
    const bool bChannels =
        format.channels == 1 || format.channels == 2 ||
        (bFloat && (format.channels == 4 || (format.channels >= 6 && format.channels <= 8)));
    if (!bChannels || !bBits || format.sampleRate < 1000 || format.sampleRate > 192000 ||
        format.blockAlign != format.channels * format.bitsPerSample / 8) {
        return AMBREL_WAVEMIX_ERR_BAD_FORMAT;
    }
    wave->data = static_cast<const unsigned char*>(source.data);
    wave->channels = format.channels;
    wave->bitsPerSample = format.bitsPerSample;
    wave->bFloat = bFloat;
    wave->sampleRate = format.sampleRate;
    wave->frameCount = source.byteCount / format.blockAlign;
    wave->readyFrames = wave->frameCount;
    return AMBREL_WAVEMIX_OK;
}

int MixerWave::FromReader(const MixerWaveReader& reader, MixerWave* wave) {
    if (reader.size != sizeof(MixerWaveReader) || reader.read == nullptr) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    if ((reader.channels != 1 && reader.channels != 2) || reader.sampleRate < 1000 ||
        reader.sampleRate > 192000) {
        return AMBREL_WAVEMIX_ERR_BAD_FORMAT;
    }
    *wave = MixerWave{};
    wave->channels = reader.channels;
    wave->bitsPerSample = 32;
    wave->bFloat = true;
    wave->sampleRate = reader.sampleRate;
    wave->frameCount = reader.frameCount;
    wave->readyFrames = reader.frameCount;
    wave->read = reader.read;
    wave->readUser = reader.user;
    return AMBREL_WAVEMIX_OK;
}
