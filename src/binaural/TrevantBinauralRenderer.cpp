#include "binaural/TrevantBinauralRenderer.h"

#include <cstdio>
#include <utility>

TrevantBinauralRenderer::TrevantBinauralRenderer(std::string hrtfName, uint32_t options)
    : m_hrtfName(std::move(hrtfName)), m_options(options) {}

TrevantBinauralRenderer::~TrevantBinauralRenderer() {
    Close();
}

void TrevantBinauralRenderer::Close() {
    if (m_render != 0) {
        AmbrelWaveMixRenderClose(m_render);
        m_render = 0;
    }
}

std::string TrevantBinauralRenderer::FormatError(int code) {
    char text[256];
    AmbrelWaveMixGetErrorText(code, text, 255);
    char message[400];
    std::snprintf(message, sizeof message, "AmbrelWaveMix Error %d...\n\n%s", code, text);
    return message;
}

std::string TrevantBinauralRenderer::OpenMix(const Stream& wave) {
    Close();
    MixerRenderConfig config{};
    config.size = sizeof config;
    config.sampleRate = wave.sampleRate;
    config.hrtf = AMBREL_WAVEMIX_HRTF_ON;
    config.options = m_options;
    config.hrtfName = m_hrtfName.c_str();
    m_render = AmbrelWaveMixRenderOpen(&config);
    if (m_render == 0) {
        return FormatError(AmbrelWaveMixGetLastError());
    }
    m_read = wave.read;
    MixerWaveReader reader{};
    reader.size = sizeof reader;
    reader.channels = wave.channels;
    reader.sampleRate = wave.sampleRate;
    reader.frameCount = wave.frameCount;
    reader.read = [](void* user, uint32_t first, uint32_t frames, float* out) {
        (*static_cast<std::function<void(uint32_t, uint32_t, float*)>*>(user))(first, frames, out);
    };
    reader.user = &m_read;
    m_state = MixerHrtfState{};
    m_state.size = sizeof m_state;
    int code = AmbrelWaveMixRenderGetState(m_render, &m_state);
    if (code == AMBREL_WAVEMIX_OK) {
        code = AmbrelWaveMixRenderStartReader(m_render, &reader);
    }
    if (code != AMBREL_WAVEMIX_OK) {
        Close();
        return FormatError(code);
    }
    return {};
}

bool TrevantBinauralRenderer::SetDirection(int32_t degrees) {
    const MixerPosition position{degrees, 0, 0};
    m_lastError = AmbrelWaveMixRenderSetPosition(m_render, 0, &position);
    return m_lastError == AMBREL_WAVEMIX_OK;
}

bool TrevantBinauralRenderer::SetPlace(const PanPoint& whole, float gain) {
    const MixerPlace place{sizeof(MixerPlace), whole.azimuth, whole.elevation,
                           whole.distanceCm,   whole.width,   gain};
    m_lastError = AmbrelWaveMixRenderSetPlace(m_render, 0, &place);
    return m_lastError == AMBREL_WAVEMIX_OK;
}

bool TrevantBinauralRenderer::MixFrames(float* out, uint32_t maxFrames, uint32_t untilFrame,
                                        uint32_t& rendered, uint32_t& position) {
    m_lastError =
        AmbrelWaveMixRenderFrames(m_render, out, maxFrames, untilFrame, &rendered, &position);
    return m_lastError == AMBREL_WAVEMIX_OK;
}
