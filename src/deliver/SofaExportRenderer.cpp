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
    const HrtfFilterBank::Prepared prepared = m_pChoice->BankAt(wave.input->Rate());
    if (prepared.bank == nullptr) {
        return prepared.message;
    }
    m_pRender = std::make_unique<SofaTrajectoryRender>(*wave.input, *wave.points, prepared.bank,
                                                       wave.space);
    m_pRender->ShareWork(true);
    m_rate = wave.input->Rate();
    m_frames = static_cast<uint32_t>(std::min<uint64_t>(m_pRender->Frames(), UINT32_MAX));
    m_position = 0;
    return {};
}

bool SofaExportRenderer::Render(float* out, uint32_t maxFrames, uint32_t& rendered) {
    rendered = std::min(maxFrames, m_frames - std::min(m_position, m_frames));
    m_pRender->Render(out, rendered);
    m_position += rendered;
    return true;
}
