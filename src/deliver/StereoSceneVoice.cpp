#include "deliver/StereoSceneVoice.h"

#include <algorithm>

#include "deliver/StereoExport.h"
#include "scene/RenderInput.h"

StereoSceneVoice::StereoSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                                   uint32_t outputRate, const SceneSpace& space)
    : StereoSceneVoice(std::make_unique<StereoExport>(std::move(input), points, space),
                       outputRate) {}

StereoSceneVoice::StereoSceneVoice(std::unique_ptr<StereoExport> render, uint32_t outputRate)
    : SceneVoice(render->SourceRate(), render->OutputFrames(), outputRate),
      m_pExport(std::move(render)) {}

StereoSceneVoice::~StereoSceneVoice() = default;

bool StereoSceneVoice::Begin(std::string& error) {
    if (!m_pExport->SelectRate()) {
        error = "Unsupported sample rate!";
        return false;
    }
    if (!m_pExport->StartTrajectory()) {
        error = "No Pan Events to track!";
        return false;
    }
    m_pExport->StartSpan(0, m_pExport->OutputFrames());
    return true;
}

uint32_t StereoSceneVoice::MakeNext(float* out, uint32_t frames) {
    if (m_blockAt == m_block.size()) {
        m_pExport->RenderNextFloats(m_block);
        m_blockAt = 0;
    }
    const size_t take = std::min(size_t{frames} * kChannels, m_block.size() - m_blockAt);
    std::copy_n(m_block.data() + m_blockAt, take, out);
    m_blockAt += take;
    return static_cast<uint32_t>(take / kChannels);
}
