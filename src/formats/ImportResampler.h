#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct soxr;

// Changes the sample rate of a stream of interleaved doubles with libsoxr at its very high
// quality setting. Feed blocks in order, then Finish once; each call appends the frames that
// became ready to out. The output holds exactly OutputFrames(input frames) frames in all.
class ImportResampler {
  public:
    ImportResampler(uint32_t inRate, uint32_t outRate, int channels);
    ~ImportResampler();
    ImportResampler(const ImportResampler&) = delete;
    ImportResampler& operator=(const ImportResampler&) = delete;

    // False when libsoxr could not be set up; GetError says why.
    bool IsOk() const { return m_pSoxr != nullptr && m_error.empty(); }
    const std::string& GetError() const { return m_error; }

    // Appends the resampled frames of frames input frames to out; false on a libsoxr error.
    bool Process(const double* in, size_t frames, std::vector<double>& out);
    // Flushes what libsoxr still holds; the output is then cut or padded with silence to
    // OutputFrames of all the input.
    bool Finish(std::vector<double>& out);

    // The length at the new rate of inFrames frames, rounded to the nearest frame.
    static uint64_t OutputFrames(uint64_t inFrames, uint32_t inRate, uint32_t outRate);
    // Where a frame position lands at the new rate, rounded to the nearest frame.
    static uint64_t MapPosition(uint64_t position, uint32_t inRate, uint32_t outRate);

  private:
    // Appends up to the frames still due, from the frames libsoxr gave.
    void Append(const double* frames, size_t count, std::vector<double>& out);

    soxr* m_pSoxr = nullptr;
    uint32_t m_inRate;
    uint32_t m_outRate;
    int m_channels;
    uint64_t m_inFrames = 0;
    uint64_t m_outFrames = 0;
    std::vector<double> m_block;
    std::string m_error;
};
