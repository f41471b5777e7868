#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "deliver/SceneVoice.h"
#include "scene/Scene.h"

class PanPointList;
class RenderInput;
class SofaSetChoice;
class SofaTrajectoryRender;

// A sound of a binaural scene: Sonomap's SOFA renderer (SofaTrajectoryRender) as the sound
// reaches the listener, at the sound's rate, the floats the binaural export mixes for it. Owns
// its input; the points are borrowed and outlive the voice; shares the set.
class SofaSceneVoice : public SceneVoice {
  public:
    SofaSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                   std::shared_ptr<SofaSetChoice> set, uint32_t outputRate,
                   const SceneSpace& space = {});
    ~SofaSceneVoice() override;

  protected:
    // The set's refusal at the sound's rate, or "No Pan Events to track!".
    bool Begin(std::string& error) override;
    uint32_t MakeNext(float* out, uint32_t frames) override;

  private:
    std::unique_ptr<RenderInput> m_pInput;
    const PanPointList& m_points;
    std::shared_ptr<SofaSetChoice> m_pSet;
    SceneSpace m_space;
    std::unique_ptr<SofaTrajectoryRender> m_pRender;
};
