#include "trevant/MixerChannel.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "platform/DistanceLaw.h"

namespace {

constexpr float kLowpassGainHf = 0.5f;
// Room for the distance law's +12 dB on a full volume; OpenAL caps the gain at 1 otherwise.
constexpr float kPlacedMaxGain = 4.0f;

ALenum AlFormat(const MixerWave& wave) {
    if (wave.channels > 2) {
        // Loudspeaker feeds, always floats; named at run time (AL_EXT_MCFORMATS).
        const char* name = wave.channels == 4   ? "AL_FORMAT_QUAD32"
                           : wave.channels == 6 ? "AL_FORMAT_51CHN32"
                           : wave.channels == 7 ? "AL_FORMAT_61CHN32"
                                                : "AL_FORMAT_71CHN32";
        return alGetEnumValue(name);
    }
    if (wave.PlaysAsFloat()) {
        return wave.channels == 1 ? AL_FORMAT_MONO_FLOAT32 : AL_FORMAT_STEREO_FLOAT32;
    }
    if (wave.channels == 1) {
        return wave.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    }
    return wave.bitsPerSample == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
}

ALenum AlMonoFormat(const MixerWave& wave) {
    if (wave.PlaysAsFloat()) {
        return AL_FORMAT_MONO_FLOAT32;
    }
    return wave.bitsPerSample == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
}

void PlaceSource(ALuint source, double azimuthDegrees, const MixerPlace& place) {
    const double az = azimuthDegrees * std::numbers::pi / 180.0;
    const double el = place.elevation * std::numbers::pi / 180.0;
    const double d = place.distanceCm / 100.0;
    alSource3f(source, AL_POSITION, static_cast<float>(d * std::sin(az) * std::cos(el)),
               static_cast<float>(d * std::sin(el)),
               static_cast<float>(-d * std::cos(az) * std::cos(el)));
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
    m_freeSlots.clear();
    for (int slot = 0; slot < kBufferCount; ++slot) {
        m_freeSlots.push_back(slot);
    }
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
    if (m_rightSource != 0) {
        alSourceStop(m_rightSource);
        alSourcei(m_rightSource, AL_BUFFER, 0);
        alDeleteSources(1, &m_rightSource);
        alDeleteBuffers(kBufferCount, m_rightBuffers.data());
        m_rightSource = 0;
    }
    m_source = 0;
    m_queued.clear();
    m_freeSlots.clear();
    m_bPlaying = false;
    m_bSplit = false;
}

int MixerChannel::OpenRightSource() {
    if (m_rightSource != 0) {
        return AMBREL_WAVEMIX_OK;
    }
    alGetError();
    alGenSources(1, &m_rightSource);
    if (alGetError() != AL_NO_ERROR) {
        m_rightSource = 0;
        return AMBREL_WAVEMIX_ERR_NO_RESOURCES;
    }
    alGenBuffers(kBufferCount, m_rightBuffers.data());
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &m_rightSource);
        m_rightSource = 0;
        return AMBREL_WAVEMIX_ERR_NO_RESOURCES;
    }
    alSourcei(m_rightSource, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcei(m_rightSource, AL_DIRECT_FILTER, static_cast<ALint>(m_filter));
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

void MixerChannel::SetFilter(ALuint filter) {
    m_filter = filter;
    if (IsOpen() && !(m_bPlaying && m_wave.bMixed)) {
        alSourcei(m_source, AL_DIRECT_FILTER, static_cast<ALint>(filter));
    }
    if (m_rightSource != 0) {
        alSourcei(m_rightSource, AL_DIRECT_FILTER, static_cast<ALint>(filter));
    }
}

int MixerChannel::SetDirection(int32_t degrees) {
    alGetError();
    if (m_bPlaced) {
        // Back to a source at 1 m whose gain is the volume alone, as before any place.
        m_bPlaced = false;
        alSourcef(m_source, AL_ROLLOFF_FACTOR, 1.0f);
        alSourcef(m_source, AL_MAX_GAIN, 1.0f);
        alSourcef(m_source, AL_GAIN, m_volume);
    }
    const double radians = degrees * std::numbers::pi / 180.0;
    alSource3f(m_source, AL_POSITION, static_cast<float>(std::sin(radians)), 0.0f,
               static_cast<float>(-std::cos(radians)));
    if (alGetError() != AL_NO_ERROR) {
        return AMBREL_WAVEMIX_ERR_AUDIO;
    }
    return MatchSplit();
}

bool MixerChannel::IsValidPlace(const MixerPlace& place) {
    return place.size == sizeof(MixerPlace) && place.azimuth >= -179 && place.azimuth <= 180 &&
           place.elevation >= -90 && place.elevation <= 90 &&
           place.distanceCm >= kNearestDistanceCm && place.distanceCm <= kFarthestDistanceCm &&
           place.width >= 0 && place.width <= 180 && place.gain >= 0.0f &&
           place.gain <= kPlacedMaxGain;
}

int MixerChannel::SetPlace(const MixerPlace& place) {
    m_bPlaced = true;
    m_place = place;
    // A stereo wave that has played whole until now splits first, so the place lands on the
    // sources that play.
    if (const int code = MatchSplit()) {
        return code;
    }
    return ApplyPlacement();
}

int MixerChannel::ApplyPlacement() {
    alGetError();
    // Only the place's gain attenuates: OpenAL's own model is off for a placed source.
    const float gain = m_volume * m_place.gain;
    const ALsizei count = SourceCount();
    for (ALsizei i = 0; i < count; ++i) {
        const ALuint source = i == 0 ? m_source : m_rightSource;
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        alSourcef(source, AL_MAX_GAIN, kPlacedMaxGain);
        alSourcef(source, AL_GAIN, gain);
    }
    if (m_bSplit) {
        const double half = m_place.width / 2.0;
        PlaceSource(m_source, m_place.azimuth - half, m_place);
        PlaceSource(m_rightSource, m_place.azimuth + half, m_place);
    } else {
        PlaceSource(m_source, m_place.azimuth, m_place);
    }
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

int MixerChannel::SetVolume(uint32_t volume) {
    m_volume = static_cast<float>(std::min<uint32_t>(volume, 32767u)) / 32767.0f;
    if (m_bPlaced) {
        return ApplyPlacement();
    }
    alGetError();
    alSourcef(m_source, AL_GAIN, m_volume);
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

int MixerChannel::MatchSplit() {
    const bool bSplit = m_bPlaced && m_wave.channels == 2 && !m_wave.bMixed;
    if (!m_bPlaying || bSplit == m_bSplit) {
        return AMBREL_WAVEMIX_OK;
    }
    if (bSplit) {
        if (const int code = OpenRightSource()) {
            return code;
        }
    }
    const uint32_t from = Position();
    alGetError();
    alSourceStop(m_source);
    if (m_rightSource != 0) {
        alSourceStop(m_rightSource);
    }
    DetachQueue();
    m_bSplit = bSplit;
    m_cursor = from;
    m_consumed = from;
    if (m_bPlaced) {
        if (const int code = ApplyPlacement()) {
            return code;
        }
    }
    QueueFreeBuffers();
    PlaySources();
    return alGetError() == AL_NO_ERROR ? AMBREL_WAVEMIX_OK : AMBREL_WAVEMIX_ERR_AUDIO;
}

void MixerChannel::PlaySources() {
    // Started together, so the two halves of a split wave stay sample for sample in step.
    const std::array<ALuint, 2> sources{m_source, m_rightSource};
    alSourcePlayv(SourceCount(), sources.data());
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
    const bool bSplit = m_bPlaced && wave.channels == 2 && !wave.bMixed;
    if (bSplit) {
        if (const int code = OpenRightSource()) {
            return code;
        }
    }
    m_wave = wave;
    m_waveHandle = handle;
    m_params = params;
    m_bufferFrames = std::max<uint32_t>(bufferFrames, 64u);
    m_cursor = 0;
    m_consumed = 0;
    m_stoppedAt = 0;
    m_bSplit = bSplit;
    if (m_bPlaced) {
        if (const int code = ApplyPlacement()) {
            return code;
        }
    }
    alGetError();
    // A mixed wave is heard as it was rendered: OpenAL Soft would otherwise put a stereo
    // source's channels through HRTF as virtual speakers, and the low-pass would colour it.
    alSourcei(m_source, AL_DIRECT_CHANNELS_SOFT, wave.bMixed ? AL_TRUE : AL_FALSE);
    alSourcei(m_source, AL_DIRECT_FILTER, static_cast<ALint>(wave.bMixed ? 0u : m_filter));
    QueueFreeBuffers();
    if (m_bSplit) {
        PlaySources();
    } else {
        alSourcePlay(m_source);
    }
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
    if (m_rightSource != 0) {
        alSourceStop(m_rightSource);
    }
    DetachQueue();
    m_bPlaying = false;
}

uint32_t MixerChannel::SetReady(uint32_t frames) {
    m_wave.readyFrames = std::max(frames, m_cursor);
    return m_cursor;
}

void MixerChannel::DetachQueue() {
    alSourcei(m_source, AL_BUFFER, 0);
    if (m_rightSource != 0) {
        alSourcei(m_rightSource, AL_BUFFER, 0);
    }
    for (const Queued& queued : m_queued) {
        m_freeSlots.push_back(queued.slot);
    }
    m_queued.clear();
}

void MixerChannel::QueueFreeBuffers() {
    const uint32_t bytesPerFrame = m_wave.BytesPerFrame();
    const uint32_t bytesPerSample = m_wave.bitsPerSample / 8u;
    // Never past what is ready: a growing wave's frames beyond it may still be written.
    const uint32_t ready = std::min(m_wave.readyFrames, m_wave.frameCount);
    while (!m_freeSlots.empty() && m_cursor < ready) {
        const uint32_t frames = std::min(m_bufferFrames, ready - m_cursor);
        const int slot = m_freeSlots.back();
        const auto rate = static_cast<ALsizei>(m_wave.sampleRate);
        uint32_t sampleBytes = bytesPerSample;
        const unsigned char* data = nullptr;
        if (m_wave.read != nullptr) {
            m_floats.resize(size_t{frames} * m_wave.channels);
            m_wave.read(m_wave.readUser, m_cursor, frames, m_floats.data());
            data = reinterpret_cast<const unsigned char*>(m_floats.data());
            sampleBytes = sizeof(float);
        } else if (m_wave.PlaysAsFloat()) {
            data = m_wave.data + size_t{m_cursor} * bytesPerFrame;
            // Converted a buffer at a time: nothing copies the whole sound.
            const size_t samples = size_t{frames} * m_wave.channels;
            m_floats.resize(samples);
            for (size_t i = 0; i < samples; ++i) {
                m_floats[i] = DeepSample(data + i * bytesPerSample, m_wave);
            }
            data = reinterpret_cast<const unsigned char*>(m_floats.data());
            sampleBytes = sizeof(float);
        } else {
            data = m_wave.data + size_t{m_cursor} * bytesPerFrame;
        }
        const uint32_t frameBytes = sampleBytes * m_wave.channels;
        if (m_bSplit) {
            const size_t half = size_t{frames} * sampleBytes;
            m_leftHalf.resize(half);
            m_rightHalf.resize(half);
            for (size_t frame = 0; frame < frames; ++frame) {
                const unsigned char* in = data + frame * frameBytes;
                std::copy_n(in, sampleBytes, &m_leftHalf[frame * sampleBytes]);
                std::copy_n(in + sampleBytes, sampleBytes, &m_rightHalf[frame * sampleBytes]);
            }
            const ALsizei size = static_cast<ALsizei>(half);
            alBufferData(m_buffers[slot], AlMonoFormat(m_wave), m_leftHalf.data(), size, rate);
            alBufferData(m_rightBuffers[slot], AlMonoFormat(m_wave), m_rightHalf.data(), size,
                         rate);
            alSourceQueueBuffers(m_rightSource, 1, &m_rightBuffers[slot]);
        } else {
            alBufferData(m_buffers[slot], AlFormat(m_wave), data,
                         static_cast<ALsizei>(frames * frameBytes), rate);
        }
        alSourceQueueBuffers(m_source, 1, &m_buffers[slot]);
        m_freeSlots.pop_back();
        m_queued.push_back({slot, frames});
        m_cursor += frames;
    }
}

void MixerChannel::UnqueuePlayed() {
    ALuint buffer = 0;
    alSourceUnqueueBuffers(m_source, 1, &buffer);
    if (m_bSplit) {
        alSourceUnqueueBuffers(m_rightSource, 1, &buffer);
    }
    m_consumed += m_queued.front().frames;
    m_freeSlots.push_back(m_queued.front().slot);
    m_queued.pop_front();
}

bool MixerChannel::Feed(MixerPlayParams* params) {
    if (!m_bPlaying) {
        return false;
    }
    ALint processed = 0;
    alGetSourcei(m_source, AL_BUFFERS_PROCESSED, &processed);
    if (m_bSplit) {
        // Both halves are mixed in the same update; take off only what both have played.
        ALint rightProcessed = 0;
        alGetSourcei(m_rightSource, AL_BUFFERS_PROCESSED, &rightProcessed);
        processed = std::min(processed, rightProcessed);
    }
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
        if (m_bSplit) {
            PlaySources();
        } else {
            alSourcePlay(m_source);
        }
        return false;
    }
    if (m_cursor < m_wave.frameCount) {
        return false;  // ran dry before the rest was ready: silence until it is
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
