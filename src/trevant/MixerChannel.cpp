#include "trevant/MixerChannel.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr float kLowpassGainHf = 0.5f;

ALenum AlFormat(const MixerWave& wave) {
    if (wave.PlaysAsFloat()) {
        return wave.channels == 1 ? AL_FORMAT_MONO_FLOAT32 : AL_FORMAT_STEREO_FLOAT32;
    }
    if (wave.channels == 1) {
        return wave.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    }
    return wave.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

// One deep sample at full scale 1.0. A float that is not a number plays as silence and an
// infinity as full scale, so the device never mixes either.
float DeepSample(const unsigned char* at, const MixerWave& wave) {
    if (wave.bFloat) {
        float v;
        std::memcpy(&v, at, sizeof v);
        return std::isnan(v) ? 0.0f : std::isinf(v) ? (v > 0 ? 1.0f : -1.0f) : v;
    }
    if (wave.bitsPerSample == 24) {
        const auto v = static_cast<int32_t>(uint32_t{at[0]} << 8 | uint32_t{at[1]} << 16 |
                                            uint32_t{at[2]} << 24);
        return static_cast<float>(v) * (1.0f / 2147483648.0f);
    }
    int32_t v;
    std::memcpy(&v, at, sizeof v);
    return static_cast<float>(v) * (1.0f / 2147483648.0f);
}

}  // namespace

int MixerChannel::Open() {
    if (IsOpen()) {
        return AMBREL_WAVEMIX_OK;
    }
    alGetError();
    alGenSources(1, &m_source);
    if (alGetError() != AL_NO_ERROR) {
        m_source = 0;
        return AMBREL_WAVEMIX_ERR_NO_RESOURCES;
    }
    alGenBuffers(kBufferCount, m_buffers.data());
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &m_source);
        m_source = 0;
        return AMBREL_WAVEMIX_ERR_NO_RESOURCES;
    }
    m_freeBuffers.assign(m_buffers.begin(), m_buffers.end());
    m_queued.clear();
    alSourcei(m_source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(m_source, AL_POSITION, 0.0f, 0.0f, -1.0f);
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

void MixerChannel::Close() {
    if (!IsOpen()) {
        return;
    }
    alSourceStop(m_source);
    alSourcei(m_source, AL_BUFFER, 0);
    alDeleteSources(1, &m_source);
    alDeleteBuffers(kBufferCount, m_buffers.data());
    m_source = 0;
    m_queued.clear();
    m_freeBuffers.clear();
    m_bPlaying = false;
}

void MixerChannel::SetFilter(ALuint filter) {
    if (IsOpen()) {
        alSourcei(m_source, AL_DIRECT_FILTER, static_cast<ALint>(filter));
    }
}

int MixerChannel::SetDirection(int32_t degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    alGetError();
    alSource3f(m_source, AL_POSITION, static_cast<float>(std::sin(radians)), 0.0f,
               static_cast<float>(-std::cos(radians)));
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

int MixerChannel::SetVolume(uint32_t volume) {
    const float gain = static_cast<float>(std::min<uint32_t>(volume, 32767u)) / 32767.0f;
    alGetError();
    alSourcef(m_source, AL_GAIN, gain);
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

uint32_t MixerChannel::BufferFramesForLead(uint32_t leadMs, uint32_t rate) {
    const uint64_t leadFrames = uint64_t{leadMs} * rate / 1000u;
    return std::max<uint32_t>(static_cast<uint32_t>(leadFrames / kBufferCount), 64u);
}

ALuint MixerChannel::MakeLowpassFilter() {
    ALuint filter = 0;
    alGenFilters(1, &filter);
    alFilteri(filter, AL_FILTER_TYPE, AL_FILTER_LOWPASS);
    alFilterf(filter, AL_LOWPASS_GAIN, 1.0f);
    alFilterf(filter, AL_LOWPASS_GAINHF, kLowpassGainHf);
    return filter;
}

int MixerChannel::Play(const MixerWave& wave, AmbrelWaveMixWave handle, uint32_t bufferFrames,
                       const MixerPlayParams& params) {
    Stop();
    m_wave = wave;
    m_waveHandle = handle;
    m_params = params;
    m_bufferFrames = std::max<uint32_t>(bufferFrames, 64u);
    m_cursor = 0;
    m_consumed = 0;
    m_stoppedAt = 0;
    alGetError();
    QueueFreeBuffers();
    alSourcePlay(m_source);
    if (alGetError() != AL_NO_ERROR) {
        DetachQueue();
        return AMBREL_WAVEMIX_ERR_AUDIO;
    }
    m_bPlaying = true;
    return AMBREL_WAVEMIX_OK;
}

void MixerChannel::Stop() {
    if (!IsOpen()) {
        return;
    }
    if (m_bPlaying) {
        m_stoppedAt = Position();
    }
    alSourceStop(m_source);
    DetachQueue();
    m_bPlaying = false;
}

void MixerChannel::DetachQueue() {
    alSourcei(m_source, AL_BUFFER, 0);
    for (const Queued& queued : m_queued) {
        m_freeBuffers.push_back(queued.buffer);
    }
    m_queued.clear();
}

void MixerChannel::QueueFreeBuffers() {
    const uint32_t bytesPerFrame = m_wave.BytesPerFrame();
    while (!m_freeBuffers.empty() && m_cursor < m_wave.frameCount) {
        const uint32_t frames = std::min(m_bufferFrames, m_wave.frameCount - m_cursor);
        const ALuint buffer = m_freeBuffers.back();
        const unsigned char* from = m_wave.data + size_t{m_cursor} * bytesPerFrame;
        if (m_wave.PlaysAsFloat()) {
            // Converted a buffer at a time: nothing copies the whole sound.
            const size_t samples = size_t{frames} * m_wave.channels;
            const size_t width = m_wave.bitsPerSample / 8u;
            m_floats.resize(samples);
            for (size_t i = 0; i < samples; ++i) {
                m_floats[i] = DeepSample(from + i * width, m_wave);
            }
            alBufferData(buffer, AlFormat(m_wave), m_floats.data(),
                         static_cast<ALsizei>(samples * sizeof(float)),
                         static_cast<ALsizei>(m_wave.sampleRate));
        } else {
            alBufferData(buffer, AlFormat(m_wave), from,
                         static_cast<ALsizei>(frames * bytesPerFrame),
                         static_cast<ALsizei>(m_wave.sampleRate));
        }
        alSourceQueueBuffers(m_source, 1, &buffer);
        m_freeBuffers.pop_back();
        m_queued.push_back({buffer, frames});
        m_cursor += frames;
    }
}

void MixerChannel::UnqueuePlayed() {
    ALuint buffer = 0;
    alSourceUnqueueBuffers(m_source, 1, &buffer);
    m_consumed += m_queued.front().frames;
    m_queued.pop_front();
    m_freeBuffers.push_back(buffer);
}

bool MixerChannel::Feed(MixerPlayParams* params) {
    if (!m_bPlaying) {
        return false;
    }
    ALint processed = 0;
    alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
    for (ALint i = 0; i < processed && !m_queued.empty(); ++i) {
        UnqueuePlayed();
    }
    const size_t kept = m_queued.size();
    QueueFreeBuffers();
    ALint state = AL_STOPPED;
    alGetSourcei(m_source, AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING) {
        return false;
    }
    // The queue ran dry before we refilled it (perhaps after the count above): every buffer
    // queued before this refill has played. A stopped source starts again at its first
    // buffer, so those go first, or they would be heard twice and the position step back.
    for (size_t i = 0; i < kept && !m_queued.empty(); ++i) {
        UnqueuePlayed();
    }
    if (!m_queued.empty()) {
        alSourcePlay(m_source);
        return false;
    }
    m_bPlaying = false;
    m_stoppedAt = m_wave.frameCount;
    *params = m_params;
    return true;
}

uint32_t MixerChannel::Position() {
    if (!m_bPlaying) {
        return m_stoppedAt;
    }
    ALint state = AL_STOPPED;
    alGetSourcei(m_source, AL_SOURCE_STATE, &state);
    uint64_t position = m_consumed;
    if (state == AL_STOPPED) {
        // A stopped source reports offset 0; everything still queued has played.
        for (const Queued& queued : m_queued) {
            position += queued.frames;
        }
    } else {
        ALint offset = 0;
        alGetSourcei(m_source, AL_SAMPLE_OFFSET, &offset);
        position += static_cast<uint32_t>(std::max(offset, 0));
    }
    return static_cast<uint32_t>(std::min<uint64_t>(position, m_wave.frameCount));
}

uint32_t MixerChannel::OutputLatencyUs() {
    if (!m_bPlaying || alIsExtensionPresent("AL_SOFT_source_latency") == AL_FALSE) {
        return 0;
    }
    // The offset and the latency, read together by the mixer.
    ALdouble values[2] = {0.0, 0.0};
    alGetError();
    alGetSourcedvSOFT(m_source, AL_SEC_OFFSET_LATENCY_SOFT, values);
    if (alGetError() != AL_NO_ERROR || !(values[1] > 0.0)) {
        return 0;
    }
    return static_cast<uint32_t>(std::min(values[1] * 1e6, 4294967295.0));
}
