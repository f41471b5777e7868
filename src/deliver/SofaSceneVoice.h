#pragma once

#include <memory>

#include "deliver/SceneVoice.h"

class PanPointList;
class RenderInput;
class SofaSetChoice;

// A sound of a binaural scene: Sonomap's SOFA renderer (SofaTrajectoryRender) along its
// trajectory at the sound's rate, the floats the binaural export mixes for it. Owns its input;
// the points are borrowed and outlive the voice; shares the set.
class SofaSceneVoice : public SceneVoice {
  public:
    SofaSceneVoice(std::unique_ptr<RenderInput> input, const PanPointList& points,
                   std::shared_ptr<SofaSetChoice> set, uint32_t outputRate);
    ~SofaSceneVoice() override;

  protected:
    // The set's refusal at the sound's rate, or "No Pan Events to track!".
    bool RenderSource(std::vector<float>& out, std::string& error) override;

  private:
    std::unique_ptr<RenderInput> m_pInput;
    const PanPointList& m_points;
    std::shared_ptr<SofaSetChoice> m_pSet;
};
