#include "trevant/MixerSession.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alext.h>
#include <AL/efx.h>

#include <algorithm>
#include <chrono>
#include <system_error>
#include <utility>

#include "trevant/HrtfCatalog.h"
#include "trevant/MixerBackend.h"

namespace {

constexpr uint32_t kDefaultLeadMs = 100;
constexpr uint32_t kMaxLatencyMs = 1000;
constexpr uint32_t kMaxChannels = 8;

}  // namespace

MixerSession::MixerSession(const MixerSessionConfig& config, const MixerOutputOptions* options,
                           std::mutex& lock)
    : m_config(config), m_lock(lock) {
    if (options != nullptr) {
        m_hrtfMode = options->hrtf;
        m_deviceName = options->device != nullptr ? options->device : "";
        m_hrtfName = options->hrtfName != nullptr ? options->hrtfName : "";
    }
    // Stored preferences may hold anything: a latency past the top is taken as the top.
    m_config.latencyMs = std::min(config.latencyMs, kMaxLatencyMs);
    m_leadMs = m_config.latencyMs == 0 ? kDefaultLeadMs : m_config.latencyMs;
    m_channels.resize(config.channels);
}

MixerSession::~MixerSession() {
    if (m_feeder.joinable()) {
        // Only when a session is still open as the process ends: stop the feeder first.
        {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_feederGeneration;
        }
        m_wake.notify_all();
        m_feeder.join();
    }
    if (m_pContext != nullptr) {
        MakeCurrent();
        for (auto& channel : m_channels) {
            if (channel) {
                channel->Close();
            }
        }
        if (m_lowpassFilter != 0) {
            alDeleteFilters(1, &m_lowpassFilter);
        }
        alcSetThreadContext(nullptr);
        alcDestroyContext(m_pContext);
    }
    if (m_pDevice != nullptr) {
        alcCloseDevice(m_pDevice);
    }
}

int MixerSession::Validate(const MixerSessionConfig* config, const MixerOutputOptions* options) {
    if (config == nullptr || config->size != sizeof(MixerSessionConfig) ||
        (options != nullptr && options->size != sizeof(MixerOutputOptions))) {
        return AMBREL_WAVEMIX_ERR_BAD_PARAM;
    }
    if (config->sampleRate < 1000 || config->sampleRate > 192000 || config->channels == 0 ||
        config->channels > kMaxChannels || config->output > AMBREL_WAVEMIX_OUTPUT_JACK ||
        (options != nullptr && options->hrtf > AMBREL_WAVEMIX_HRTF_OFF)) {
        return AMBREL_WAVEMIX_ERR_BAD_CONFIG;
    }
    if (options != nullptr && options->hrtf == AMBREL_WAVEMIX_HRTF_ON &&
        options->hrtfName != nullptr && options->hrtfName[0] != '\0' &&
        HrtfCatalog::ChooseRate(HrtfCatalog::Current(), options->hrtfName, config->sampleRate) ==
            0) {
        return AMBREL_WAVEMIX_ERR_NO_HRTF;
    }
    return AMBREL_WAVEMIX_OK;
}

int MixerSession::OpenDevice() {
    MixerBackend::NoteUse();
    m_pDevice = alcOpenDevice(m_deviceName.empty() ? nullptr : m_deviceName.c_str());
    if (m_pDevice == nullptr) {
        return AMBREL_WAVEMIX_ERR_NO_DEVICE;
    }
    m_bEfx = alcIsExtensionPresent(m_pDevice, "ALC_EXT_EFX") != ALC_FALSE;
    return AMBREL_WAVEMIX_OK;
}

int MixerSession::SetOptions(uint32_t set, uint32_t clear) {
    m_options = (m_options | set) & ~clear;
    if (m_pContext != nullptr) {
        MakeCurrent();
        ApplyFilter();
    }
    return AMBREL_WAVEMIX_OK;
}

void MixerSession::ApplyFilter() {
    const bool bLowpass = (m_options & AMBREL_WAVEMIX_OPTION_LOWPASS) != 0;
    if (!m_bEfx) {
        return;
    }
    if (bLowpass && m_lowpassFilter == 0) {
        m_lowpassFilter = MixerChannel::MakeLowpassFilter();
    }
    const ALuint filter = bLowpass ? m_lowpassFilter : AL_FILTER_NULL;
    for (auto& channel : m_channels) {
        if (channel) {
            channel->SetFilter(filter);
        }
    }
}

int MixerSession::Activate() {
    const int busy = m_config.output == AMBREL_WAVEMIX_OUTPUT_WAVEOUT
                         ? AMBREL_WAVEMIX_ERR_WAVEOUT_BUSY
                         : AMBREL_WAVEMIX_ERR_DEVICE_BUSY;
    if (m_bActive) {
        return AMBREL_WAVEMIX_OK;
    }
    if (m_pContext == nullptr) {
        std::vector<ALCint> attributes;
        if (const int code = MakeAttributes(attributes)) {
            return code;
        }
        m_pContext = alcCreateContext(m_pDevice, attributes.data());
        if (m_pContext == nullptr) {
            return busy;
        }
        MakeCurrent();
        ApplyFilter();
        m_leadMs = std::max(m_leadMs, LeadCoveringPeriod());
    } else if (alcIsExtensionPresent(m_pDevice, "ALC_SOFT_pause_device") != ALC_FALSE) {
        alcDeviceResumeSOFT(m_pDevice);
    }
    const uint64_t generation = ++m_feederGeneration;
    try {
        m_feeder = std::thread(&MixerSession::FeederLoop, this, generation);
    } catch (const std::system_error&) {
        return AMBREL_WAVEMIX_ERR_THREAD;
    }
    m_bActive = true;
    return AMBREL_WAVEMIX_OK;
}

uint32_t MixerSession::LeadCoveringPeriod() const {
    // OpenAL Soft mixes a whole period at once and stops a source whose queue ends inside it.
    // Between the feeder's refills the queue holds all its buffers but the one playing, so
    // those must hold a period; a millisecond more for the resampler's look-ahead.
    ALCint refresh = 0;
    alcGetIntegerv(m_pDevice, ALC_REFRESH, 1, &refresh);
    if (refresh <= 0) {
        return 0;
    }
    const uint32_t periodUs = 1000000u / static_cast<uint32_t>(refresh) + 1u;
    const uint32_t buffers = MixerChannel::kBufferCount;
    return (periodUs * buffers / (buffers - 1) + 999u) / 1000u + 1u;
}

int MixerSession::MakeAttributes(std::vector<ALCint>& attributes) const {
    uint32_t hrtfRate = 0;
    if (const int code = HrtfCatalog::AppendAttributes(
            m_pDevice, m_hrtfMode, m_hrtfName, m_config.sampleRate, attributes, &hrtfRate)) {
        return code;
    }
    // HRTF sets the rate itself; the two cannot both hold.
    if (hrtfRate == 0 && (m_config.flags & AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER) != 0) {
        attributes.insert(attributes.end(),
                          {ALC_FREQUENCY, static_cast<ALCint>(m_config.sampleRate)});
    }
    if (m_config.latencyMs != 0 && m_config.output != AMBREL_WAVEMIX_OUTPUT_WAVEOUT) {
        // Four device updates per lead.
        const ALCint refresh = static_cast<ALCint>(std::max(4000u / m_config.latencyMs, 4u));
        attributes.insert(attributes.end(), {ALC_REFRESH, refresh});
    }
    attributes.push_back(0);
    return AMBREL_WAVEMIX_OK;
}

int MixerSession::GetHrtfState(MixerHrtfState* state) const {
    if (m_pContext == nullptr) {
        return AMBREL_WAVEMIX_ERR_NOT_ACTIVE;
    }
    HrtfCatalog::ReadState(m_pDevice, state);
    return AMBREL_WAVEMIX_OK;
}

int MixerSession::GetOutputChannels(uint32_t& channels) const {
    if (m_pContext == nullptr) {
        return AMBREL_WAVEMIX_ERR_NOT_ACTIVE;
    }
    if (alcIsExtensionPresent(m_pDevice, "ALC_SOFT_output_mode") == ALC_FALSE) {
        return AMBREL_WAVEMIX_ERR_OUTPUT_UNTOLD;
    }
    // Named at run time: older headers lack the extension.
    ALCint mode = 0;
    alcGetIntegerv(m_pDevice, alcGetEnumValue(m_pDevice, "ALC_OUTPUT_MODE_SOFT"), 1, &mode);
    switch (mode) {
        case ALC_MONO_SOFT:
            channels = 1;
            break;
        case ALC_QUAD_SOFT:
            channels = 4;
            break;
        case ALC_5POINT1_SOFT:
            channels = 6;
            break;
        case ALC_6POINT1_SOFT:
            channels = 7;
            break;
        case ALC_7POINT1_SOFT:
            channels = 8;
            break;
        default:  // plain stereo, UHJ and HRTF
            channels = 2;
            break;
    }
    return AMBREL_WAVEMIX_OK;
}

std::thread MixerSession::Deactivate() {
    if (!m_bActive) {
        return {};
    }
    MakeCurrent();
    for (auto& channel : m_channels) {
        if (channel) {
            channel->Stop();
        }
    }
    if (alcIsExtensionPresent(m_pDevice, "ALC_SOFT_pause_device") != ALC_FALSE) {
        alcDevicePauseSOFT(m_pDevice);
    }
    m_bActive = false;
    ++m_feederGeneration;
    m_wake.notify_all();
    return std::move(m_feeder);
}

int MixerSession::OpenChannel(uint32_t index) {
    if (index >= m_channels.size()) {
        return AMBREL_WAVEMIX_ERR_BAD_CHANNEL;
    }
    if (!m_bActive) {
        return AMBREL_WAVEMIX_ERR_NOT_ACTIVE;
    }
    if (m_channels[index]) {
        return AMBREL_WAVEMIX_OK;
    }
    MakeCurrent();
    auto channel = std::make_unique<MixerChannel>();
    if (const int code = channel->Open(); code != AMBREL_WAVEMIX_OK) {
        return code;
    }
    m_channels[index] = std::move(channel);
    ApplyFilter();
    return AMBREL_WAVEMIX_OK;
}

MixerChannel* MixerSession::Channel(uint32_t index, int* error) {
    if (index >= m_channels.size()) {
        *error = AMBREL_WAVEMIX_ERR_BAD_CHANNEL;
        return nullptr;
    }
    if (!m_bActive) {
        *error = AMBREL_WAVEMIX_ERR_NOT_ACTIVE;
        return nullptr;
    }
    if (!m_channels[index]) {
        *error = AMBREL_WAVEMIX_ERR_CHANNEL_NOT_OPEN;
        return nullptr;
    }
    MakeCurrent();
    *error = AMBREL_WAVEMIX_OK;
    return m_channels[index].get();
}

const MixerWave* MixerSession::FindWave(AmbrelWaveMixWave handle) const {
    const auto found = m_waves.find(handle);
    return found == m_waves.end() ? nullptr : &found->second;
}

void MixerSession::FreeWave(AmbrelWaveMixWave handle) {
    if (m_pContext != nullptr) {
        MakeCurrent();
        for (auto& channel : m_channels) {
            if (channel && channel->IsPlaying() && channel->LastWave() == handle) {
                channel->Stop();
            }
        }
    }
    m_waves.erase(handle);
}

bool MixerSession::SetWaveReady(AmbrelWaveMixWave handle, uint32_t frames, uint32_t* fed) {
    const auto found = m_waves.find(handle);
    if (found == m_waves.end()) {
        return false;
    }
    MixerWave& wave = found->second;
    if (frames != AMBREL_WAVEMIX_READY_UNCHANGED) {
        wave.readyFrames = std::min(frames, wave.frameCount);
    }
    uint32_t taken = 0;
    for (auto& channel : m_channels) {
        if (channel && channel->IsPlaying() && channel->LastWave() == handle) {
            taken = std::max(taken, channel->SetReady(wave.readyFrames));
        }
    }
    wave.readyFrames = std::max(wave.readyFrames, taken);
    *fed = taken;
    m_wake.notify_all();
    return true;
}

std::vector<AmbrelWaveMixWave> MixerSession::WaveHandles() const {
    std::vector<AmbrelWaveMixWave> handles;
    for (const auto& entry : m_waves) {
        handles.push_back(entry.first);
    }
    return handles;
}

void MixerSession::MakeCurrent() const {
    alcSetThreadContext(m_pContext);
}

void MixerSession::FeederLoop(uint64_t generation) {
    const auto period = std::chrono::milliseconds(std::clamp(m_leadMs / 8u, 2u, 25u));
    std::unique_lock<std::mutex> lock(m_lock);
    while (m_feederGeneration == generation) {
        MakeCurrent();
        std::vector<std::pair<uint32_t, MixerPlayParams>> finished;
        for (uint32_t index = 0; index < m_channels.size(); ++index) {
            MixerPlayParams params{};
            if (m_channels[index] && m_channels[index]->Feed(&params)) {
                finished.emplace_back(index, params);
            }
        }
        if (!finished.empty()) {
            // Never call out with the lock held: the target may take its own locks.
            lock.unlock();
            for (const auto& [index, params] : finished) {
                if (params.waveDone != nullptr) {
                    params.waveDone(params.waveDoneUser, index);
                }
            }
            lock.lock();
            continue;
        }
        m_wake.wait_for(lock, period);
    }
    alcSetThreadContext(nullptr);
}
