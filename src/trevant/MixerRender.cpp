#include "trevant/MixerRender.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <vector>

#include "trevant/HrtfCatalog.h"
#include "trevant/MixerBackend.h"
#include "trevant/ScopedThreadContext.h"

namespace {

// Output frames per mix at most, and frames per queued buffer: after each refill three full
// buffers lie ahead, more than one mix reads even from a 192 kHz wave.
constexpr uint32_t kMixFrames = 4096;
constexpr uint32_t kBufferFrames = 16384;

}  // namespace

MixerRender::~MixerRender() {
    if (m_pContext != nullptr) {
        {
            const ScopedThreadContext current(m_pContext);
            m_channel.Close();
            if (m_lowpassFilter != 0) {
                alDeleteFilters(1, &m_lowpassFilter);
            }
        }
        alcDestroyContext(m_pContext);
    }
    if (m_pDevice != nullptr) {
        alcCloseDevice(m_pDevice);
    }
}

int MixerRender::Open(const MixerRenderConfig& config) {
    if (config.sampleRate < 1000 || config.sampleRate > 192000 ||
        config.hrtf > AMBREL_WAVEMIX_HRTF_OFF) {
        return AMBREL_WAVEMIX_ERR_BAD_CONFIG;
    }
    MixerBackend::NoteUse();
    m_pDevice = alcLoopbackOpenDeviceSOFT(nullptr);
    if (m_pDevice == nullptr) {
        return AMBREL_WAVEMIX_ERR_NO_DEVICE;
    }
    std::vector<ALCint> attributes;
    uint32_t hrtfRate = 0;
    const std::string name = config.hrtfName != nullptr ? config.hrtfName : "";
    if (const int code = HrtfCatalog::AppendAttributes(m_pDevice, config.hrtf, name,
                                                       config.sampleRate, attributes, &hrtfRate)) {
        return code;
    }
    // Without HRTF the device runs at the wave's own rate, so nothing is resampled.
    m_deviceRate = hrtfRate != 0 ? hrtfRate : config.sampleRate;
    const auto rate = static_cast<ALCint>(m_deviceRate);
    if (alcIsRenderFormatSupportedSOFT(m_pDevice, rate, ALC_STEREO_SOFT, ALC_FLOAT_SOFT) ==
        ALC_FALSE) {
        return AMBREL_WAVEMIX_ERR_BAD_CONFIG;
    }
    attributes.insert(attributes.end(), {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT,
                                         ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT});
    if (hrtfRate == 0) {
        attributes.insert(attributes.end(), {ALC_FREQUENCY, rate});
    }
    // The limiter would squash loud passages; the caller scales the whole mix instead.
    if (alcIsExtensionPresent(m_pDevice, "ALC_SOFT_output_limiter") != ALC_FALSE) {
        attributes.insert(attributes.end(), {ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE});
    }
    attributes.push_back(0);
    m_pContext = alcCreateContext(m_pDevice, attributes.data());
    if (m_pContext == nullptr) {
        return AMBREL_WAVEMIX_ERR_AUDIO;
    }
    MixerHrtfState state{};
    GetState(&state);
    if (config.hrtf == AMBREL_WAVEMIX_HRTF_ON &&
        (state.enabled == 0 || state.sampleRate != m_deviceRate)) {
        return AMBREL_WAVEMIX_ERR_NO_HRTF;
    }
    const ScopedThreadContext current(m_pContext);
    if (const int code = m_channel.Open()) {
        return code;
    }
    if ((config.options & AMBREL_WAVEMIX_OPTION_LOWPASS) != 0 &&
        alcIsExtensionPresent(m_pDevice, "ALC_EXT_EFX") != ALC_FALSE) {
        m_lowpassFilter = MixerChannel::MakeLowpassFilter();
        m_channel.SetFilter(m_lowpassFilter);
    }
    return AMBREL_WAVEMIX_OK;
}

void MixerRender::GetState(MixerHrtfState* state) const {
    HrtfCatalog::ReadState(m_pDevice, state);
}

int MixerRender::Start(const MixerWave& wave) {
    const ScopedThreadContext current(m_pContext);
    m_wave = wave;
    MixerPlayParams params{};
    params.size = sizeof params;
    int code = m_channel.SetDirection(0);
    if (code == AMBREL_WAVEMIX_OK) {
        code = m_channel.SetVolume(32767);
    }
    if (code == AMBREL_WAVEMIX_OK) {
        code = m_channel.Play(wave, 1, kBufferFrames, params);
    }
    m_bStarted = code == AMBREL_WAVEMIX_OK;
    return code;
}

int MixerRender::SetDirection(int32_t degrees) {
    const ScopedThreadContext current(m_pContext);
    return m_channel.SetDirection(degrees);
}

int MixerRender::SetPlace(const MixerPlace& place) {
    const ScopedThreadContext current(m_pContext);
    return m_channel.SetPlace(place);
}

void MixerRender::Mix(float* out, uint32_t frames) {
    alcRenderSamplesSOFT(m_pDevice, out, static_cast<ALCsizei>(frames));
    MixerPlayParams ignored{};
    m_channel.Feed(&ignored);
}

int MixerRender::Render(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t* rendered,
                        uint32_t* position) {
    if (!m_bStarted) {
        return AMBREL_WAVEMIX_ERR_BAD_WAVE;
    }
    const ScopedThreadContext current(m_pContext);
    const bool bStops = untilFrame <= m_wave.frameCount;
    const bool bSameRate = m_deviceRate == m_wave.sampleRate;
    uint32_t done = 0;
    uint32_t read = m_channel.Position();
    while (done < maxFrames && !(bStops && read >= untilFrame)) {
        uint32_t frames = std::min(maxFrames - done, kMixFrames);
        if (bStops && !bSameRate) {
            // Fewer frames than reach untilFrame from any point within the current wave frame:
            // one output frame reads at most one wave frame further when upsampling, so this
            // never runs past it, and the last steps go one frame at a time.
            const uint64_t before =
                uint64_t{untilFrame - read - 1} * m_deviceRate / m_wave.sampleRate;
            frames = static_cast<uint32_t>(std::clamp<uint64_t>(before, 1, frames));
        } else if (bStops) {
            frames = std::min(frames, untilFrame - read);
        }
        Mix(out + size_t{done} * 2, frames);
        done += frames;
        read = m_channel.Position();
    }
    *rendered = done;
    *position = read;
    return AMBREL_WAVEMIX_OK;
}
