#include "deliver/SofaExportRenderer.h"

#include <algorithm>

#include "deliver/SofaSetChoice.h"

SofaExportRenderer::SofaExportRenderer(std::shared_ptr<SofaSetChoice> choice)
    : m_pChoice(std::move(choice)) {}

SofaExportRenderer::~SofaExportRenderer() = default;

std::string SofaExportRenderer::HrtfName() const {
    return m_pChoice->Path();
}

std::string SofaExportRenderer::Open(const Wave& wave) {
    m_pRender.reset();
    if (wave.input == nullptr || wave.points == nullptr) {
        return "The binaural renderer was given no sound to render.";
    }
    const HrtfFilterBank::Prepared prepared = m_pChoice->BankAt(wave.sampleRate);
    if (prepared.bank == nullptr) {
        return prepared.message;
    }
    m_pRender = std::make_unique<SofaTrajectoryRender>(*wave.input, *wave.points, prepared.bank);
    m_rate = wave.sampleRate;
    m_frames = wave.frameCount;
    m_position = 0;
    return {};
}

bool SofaExportRenderer::Render(float* out, uint32_t maxFrames, uint32_t untilFrame,
                                uint32_t& rendered, uint32_t& position) {
    uint32_t frames = maxFrames;
    if (untilFrame < m_frames) {
        frames = untilFrame > m_position ? std::min(frames, untilFrame - m_position) : 0;
    }
    m_pRender->Render(out, frames);
    m_position += frames;
    rendered = frames;
    position = m_position;
    return true;
}
