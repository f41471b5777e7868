#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "deliver/MixerBinauralRenderer.h"
#include "trevant/trevant.h"

// The binaural export's mixer over the mixer library's loopback render: HRTF on, the chosen
// data set, and the low-pass when its option bit is given. Each Open starts a new render on a
// fresh loopback device, so a second pass mixes the same samples again. Not shared between
// threads; every export makes its own.
class TrevantBinauralRenderer : public MixerBinauralRenderer {
  public:
    // hrtfName as the library lists it; empty: the first that fits the sound's rate.
    // options: AMBREL_WAVEMIX_OPTION_* bits.
    TrevantBinauralRenderer(std::string hrtfName, uint32_t options);
    ~TrevantBinauralRenderer() override;
    TrevantBinauralRenderer(const TrevantBinauralRenderer&) = delete;
    TrevantBinauralRenderer& operator=(const TrevantBinauralRenderer&) = delete;

    uint32_t OutputRate() const override { return m_state.sampleRate; }
    std::string HrtfName() const override { return m_state.name; }
    std::string ChosenSet() const override { return m_hrtfName; }
    std::string LastError() const override { return FormatError(m_lastError); }

    // "AmbrelWaveMix Error <code>...", a blank line and the library's text.
    static std::string FormatError(int code);

  protected:
    std::string OpenMix(const Stream& stream) override;
    bool SetDirection(int32_t degrees) override;
    bool SetPlace(const PanPoint& place, float gain) override;
    bool MixFrames(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t& rendered,
                   uint32_t& position) override;

  private:
    void Close();

    std::string m_hrtfName;
    uint32_t m_options;
    AmbrelWaveMixRender m_render = 0;
    std::function<void(uint32_t, uint32_t, float*)> m_read;  // asked for as the render mixes
    MixerHrtfState m_state{};
    int m_lastError = AMBREL_WAVEMIX_OK;
};
