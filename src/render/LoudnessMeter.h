#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class SpeakerLayout;

// How much a channel counts in ITU-R BS.1770-4's loudness sum.
enum class LoudnessWeight {
    LeftOut,   // an LFE
    Unit,      // 1.0
    Surround,  // 1.41 (+1.5 dB): the sides, beside and behind the listener at ear height
};

// The integrated loudness (ITU-R BS.1770-4, gated, in LUFS) and the true peak (dBTP) of a
// render. Frames are fed as they are written, interleaved floats of full scale 1.0; the results
// are read at any time, over everything fed so far. The K-weighting runs in doubles on
// segments of each channel buffered in fixed places, whatever the size of the pieces fed:
// eight stretches of a segment side by side, four to a register, each from a 100 ms warm-up;
// 400 ms blocks overlap by 75 %, gated at -70 LUFS and then 10 LU under their mean. Buffers
// up to 64 MB (a few seconds of every channel). The true peak is the larger of the sample peak
// and BS.1770-4's 4x polyphase interpolation at every rate; a chunk of 256 frames whose peak
// cannot lift it (by the interpolator's largest tap sum) is not interpolated. With AVX2 and FMA
// the interpolation rounds each product into its sum at once, so its peak may differ from
// another processor's in the seventh digit. Owns its state; one thread at a time.
class LoudnessMeter {
  public:
    // What a meter measures: two meters fed the same frames, one of each half, give what one
    // meter of both gives, on two threads.
    enum class Measures { Both, LoudnessOnly, TruePeakOnly };

    // One weight per channel of the frames to come, at rate frames per second. Throws
    // std::invalid_argument for no channel, more than 64, or a rate outside 16 ... 2822400.
    LoudnessMeter(uint32_t rate, const std::vector<LoudnessWeight>& weights,
                  Measures measures = Measures::Both);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Throws std::bad_alloc when memory runs out (a block's power is kept per 100 ms).
    void AddFrames(const float* interleaved, size_t frames);

    // LUFS; -infinity until a 400 ms block is louder than the absolute gate (-70 LUFS), and
    // from a meter of the true peak only.
    double IntegratedLoudness() const;
    // dBTP, the highest over every channel (the LFE too); -infinity for silence, and from a
    // meter of the loudness only.
    double TruePeak() const;

    // BS.1770-4's weights by position: 1.41 at |elevation| < 30 and 60 <= |azimuth| <= 120,
    // the LFE left out, 1 elsewhere.
    static std::vector<LoudnessWeight> WeightsFor(const SpeakerLayout& layout);

    // Tests only: false makes every meter made afterwards take the paths of a processor
    // without AVX2 and FMA.
    static void AllowWide(bool bAllowed);

  private:
    struct State;

    std::unique_ptr<State> m_pState;
    unsigned m_channels = 0;
};
