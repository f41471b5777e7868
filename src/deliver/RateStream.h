#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ImportResampler;

// A stream of frames made at one rate handed out at another, through libsoxr, as they are
// asked for: memory holds about a block, never the sound. At one rate the frames pass as they
// are. The output holds exactly ImportResampler::OutputFrames of the frames made, then silence.
// Not shared between threads.
class RateStream {
  public:
    // Makes up to frames frames (channels floats a frame) at the source rate into out; returns
    // how many it made, 0 once it has none left, or -1 with error set when it failed.
    using Maker = std::function<int64_t(float* out, uint32_t frames, std::string& error)>;

    // frames: how many the maker makes in all, at sourceRate.
    RateStream(int channels, uint32_t sourceRate, uint32_t outputRate, uint64_t frames, Maker make);
    ~RateStream();
    RateStream(const RateStream&) = delete;
    RateStream& operator=(const RateStream&) = delete;

    uint64_t OutputFrames() const { return m_outputFrames; }
    // The next frames output frames into out (overwritten). False with error set when the
    // maker or libsoxr failed.
    bool Pull(float* out, uint64_t frames, std::string& error);

  private:
    // Makes the next block and brings it to the output rate onto m_ready.
    bool Fill(std::string& error);

    int m_channels;
    uint64_t m_outputFrames;
    uint64_t m_handed = 0;  // output frames handed out
    Maker m_make;
    std::unique_ptr<ImportResampler> m_pResampler;  // none at one rate
    bool m_bMade = false;                           // the maker has no more
    std::vector<float> m_block;
    std::vector<double> m_wide, m_resampled;
    std::vector<float> m_ready;  // output samples made, from m_readyAt on not yet handed out
    size_t m_readyAt = 0;
};
