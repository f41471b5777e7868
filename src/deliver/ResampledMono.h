#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ImportResampler;
class RenderInput;

// A sound mixed to one channel, (L + R) / 2, and brought to another rate as it is read: the
// frames asked for are made on from the last, and those a second behind all of the last three
// reads are let go, so readers that move on through the sound in turns (a room's reflections,
// its tail some way behind them, and the direct sound) hold what lies between them whatever its
// length. A read before
// what is held starts again from the first frame, which gives the same floats. Frames past the end
// read as silence. The input is borrowed; not shared between threads.
class ResampledMono {
  public:
    // fedFrames: the sound's frames are followed by silence up to this many, resampled as the
    // sound is, so that the filter's last ringing is kept as a resampler fed them would keep it.
    ResampledMono(RenderInput& input, uint32_t rate, uint64_t fedFrames = 0);
    ~ResampledMono();
    ResampledMono(const ResampledMono&) = delete;
    ResampledMono& operator=(const ResampledMono&) = delete;

    // The sound's own frames at the rate.
    uint64_t Frames() const { return m_soundFrames; }
    // count frames from first into out; false (out silent) when the resampler failed.
    bool Read(uint64_t first, uint32_t count, float* out);
    const std::string& GetError() const { return m_error; }

  private:
    void Restart();

    RenderInput& m_input;
    uint32_t m_rate;
    uint32_t m_fed;  // input frames fed, silence past the sound's
    uint64_t m_soundFrames;
    uint64_t m_frames;                       // what the fed frames give
    uint64_t m_kept;                         // frames held behind the reads
    std::array<uint64_t, 2> m_lastFirsts{};  // the two reads before
    std::unique_ptr<ImportResampler> m_pResampler;
    uint32_t m_nextIn = 0;  // the input frame to resample next
    bool m_bFinished = false;
    uint64_t m_base = 0;  // the output frame m_held starts at
    std::vector<double> m_held;
    std::vector<float> m_in;
    std::vector<double> m_wide;
    std::string m_error;
};
