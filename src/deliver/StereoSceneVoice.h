#pragma once

#include <memory>

#include "deliver/SceneVoice.h"

class PanPointList;
class RenderInput;
class StereoExport;

// A sound of a stereo scene: the stereo export's spatial filter along its trajectory, the very
// floats that export writes in f32 (so places all around fold to the front). Owns its input;
// the points are borrowed and outlive the voice.
class StereoSceneVoice : public SceneVoice {
  public:
    StereoSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                     uint32_t outputRate);
    ~StereoSceneVoice() override;

  protected:
    // "Unsupported sample rate!" or "No Pan Events to track!", as the export says them.
    bool RenderSource(std::vector<float>& out, std::string& error) override;

  private:
    std::unique_ptr<StereoExport> m_pExport;
};
