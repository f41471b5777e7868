#include "deliver/SofaSceneVoice.h"

#include "deliver/SofaSetChoice.h"
#include "deliver/SofaTrajectoryRender.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "trajectory/PanPointList.h"

namespace {

// The frames the renderer makes for a sound heard in space.
uint64_t HeardFrames(const RenderInput& input, const PanPointList& points,
                     const SceneSpace& space) {
    return Propagation(points, input.Frames(),
                       {input.Rate(), TrajectoryCursor::Mode::AllAround, space})
        .HeardFrames();
}

}  // namespace

SofaSceneVoice::SofaSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                               std::shared_ptr<SofaSetChoice> set, uint32_t outputRate,
                               const SceneSpace& space)
    : SceneVoice(input->Rate(), HeardFrames(*input, points, space), outputRate),
      m_pInput(std::move(input)),
      m_points(points),
      m_pSet(std::move(set)),
      m_space(space) {}

SofaSceneVoice::~SofaSceneVoice() = default;

bool SofaSceneVoice::Begin(std::string& error) {
    if (m_points.IsEmpty()) {
        error = "No Pan Events to track!";
        return false;
    }
    const HrtfFilterBank::Prepared prepared = m_pSet->BankAt(m_pInput->Rate());
    if (prepared.bank == nullptr) {
        error = prepared.message;
        return false;
    }
    m_pRender = std::make_unique<SofaTrajectoryRender>(*m_pInput, m_points, prepared.bank, m_space);
    return true;
}

uint32_t SofaSceneVoice::MakeNext(float* out, uint32_t frames) {
    m_pRender->Render(out, frames);
    return frames;
}
