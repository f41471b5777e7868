#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "deliver/BinauralRenderer.h"
#include "deliver/SofaTrajectoryRender.h"

class SofaSetChoice;

// The binaural export's renderer when the chosen HRTF is a SOFA file: SofaTrajectoryRender over
// the wave's own input, trajectory and space, at the sound's rate. Open refuses, with the file
// and the reason, a set that cannot serve; nothing else stands in. Shares the choice; one
// export each, on one thread.
class SofaExportRenderer : public BinauralRenderer {
  public:
    explicit SofaExportRenderer(std::shared_ptr<SofaSetChoice> choice);
    ~SofaExportRenderer() override;

    std::string Open(const Wave& wave) override;
    uint32_t OutputRate() const override { return m_rate; }
    uint32_t OutputFrames() const override { return m_frames; }
    std::string HrtfName() const override;
    std::string ChosenSet() const override { return HrtfName(); }
    bool Render(float* out, uint32_t maxFrames, uint32_t& rendered) override;
    std::string LastError() const override { return {}; }

  private:
    std::shared_ptr<SofaSetChoice> m_pChoice;
    std::unique_ptr<SofaTrajectoryRender> m_pRender;
    uint32_t m_rate = 0;
    uint32_t m_frames = 0;
    uint32_t m_position = 0;  // frames rendered
};
