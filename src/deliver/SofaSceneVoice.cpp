#include "deliver/SofaSceneVoice.h"

#include <algorithm>

#include "deliver/SofaSetChoice.h"
#include "deliver/SofaTrajectoryRender.h"
#include "scene/RenderInput.h"
#include "trajectory/PanPointList.h"

namespace {

// The binaural export's block, so the renderer is driven as that export drives it.
constexpr uint32_t kBlockFrames = 8192;

}  // namespace

SofaSceneVoice::SofaSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                               std::shared_ptr<SofaSetChoice> set, uint32_t outputRate)
    : SceneVoice(input->Rate(), input->Frames(), outputRate),
      m_pInput(std::move(input)),
      m_points(points),
      m_pSet(std::move(set)) {}

SofaSceneVoice::~SofaSceneVoice() = default;

bool SofaSceneVoice::RenderSource(std::vector<float>& out, std::string& error) {
    if (m_points.IsEmpty()) {
        error = "No Pan Events to track!";
        return false;
    }
    const HrtfFilterBank::Prepared prepared = m_pSet->BankAt(m_pInput->Rate());
    if (prepared.bank == nullptr) {
        error = prepared.message;
        return false;
    }
    SofaTrajectoryRender render(*m_pInput, m_points, prepared.bank);
    const uint32_t frames = m_pInput->Frames();
    out.resize(size_t{frames} * kChannels);
    for (uint32_t at = 0; at < frames; at += kBlockFrames) {
        render.Render(out.data() + size_t{at} * kChannels, std::min(kBlockFrames, frames - at));
    }
    return true;
}
