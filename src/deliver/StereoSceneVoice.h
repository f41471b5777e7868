#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "deliver/SceneVoice.h"
#include "scene/Scene.h"

class PanPointList;
class RenderInput;
class StereoExport;

// A sound of a stereo scene: the stereo export's spatial filter as the sound reaches the
// listener, the very floats that export writes in f32 (so places all around fold to the
// front), a block of the export at a time. Owns its input; the points are borrowed and outlive
// the voice.
class StereoSceneVoice : public SceneVoice {
  public:
    StereoSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                     uint32_t outputRate, const SceneSpace& space = {});
    ~StereoSceneVoice() override;

  protected:
    // "Unsupported sample rate!" or "No Pan Events to track!", as the export says them.
    bool Begin(std::string& error) override;
    uint32_t MakeNext(float* out, uint32_t frames) override;

  private:
    StereoSceneVoice(std::unique_ptr<StereoExport> render, uint32_t outputRate);

    std::unique_ptr<StereoExport> m_pExport;
    std::vector<float> m_block;  // the export's last block, from m_blockAt on not handed out
    size_t m_blockAt = 0;
};
