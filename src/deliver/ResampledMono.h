#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ImportResampler;
class RenderInput;

// A sound mixed to one channel, (L + R) / 2, and brought to another rate as it is read: the
// frames asked for are made on from the last, and those a second behind both of the last two
// reads are let go, so readers that move on through the sound in turns (a room's reflections,
// and its tail some way behind them) hold what lies between them whatever its length. A read before
// what is held starts again from the first frame, which gives the same floats. Frames past the end
// read as silence. The input is borrowed; not shared between threads.
class ResampledMono {
  public:
    ResampledMono(RenderInput& input, uint32_t rate);
    ~ResampledMono();
    ResampledMono(const ResampledMono&) = delete;
    ResampledMono& operator=(const ResampledMono&) = delete;

    uint64_t Frames() const { return m_frames; }
    // count frames from first into out; false (out silent) when the resampler failed.
    bool Read(uint64_t first, uint32_t count, float* out);
    const std::string& GetError() const { return m_error; }

  private:
    void Restart();

    RenderInput& m_input;
    uint32_t m_rate;
    uint64_t m_frames;
    uint64_t m_kept;  // frames held behind the reads
    uint64_t m_lastFirst = 0;
    std::unique_ptr<ImportResampler> m_pResampler;
    uint32_t m_nextIn = 0;  // the input frame to resample next
    bool m_bFinished = false;
    uint64_t m_base = 0;  // the output frame m_held starts at
    std::vector<double> m_held;
    std::vector<float> m_in;
    std::vector<double> m_wide;
    std::string m_error;
};
