#include "deliver/StereoSceneVoice.h"

#include "deliver/StereoExport.h"
#include "scene/RenderInput.h"

StereoSceneVoice::StereoSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                                   uint32_t outputRate)
    : SceneVoice(input->Rate(), input->Frames(), outputRate),
      m_pExport(std::make_unique<StereoExport>(std::move(input), points)) {}

StereoSceneVoice::~StereoSceneVoice() = default;

bool StereoSceneVoice::RenderSource(std::vector<float>& out, std::string& error) {
    if (!m_pExport->SelectRate()) {
        error = "Unsupported sample rate!";
        return false;
    }
    if (!m_pExport->StartTrajectory()) {
        error = "No Pan Events to track!";
        return false;
    }
    m_pExport->RenderAllFloats(out);
    return true;
}
