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

// The integrated loudness (ITU-R BS.1770-4, gated, in LUFS) and the true peak (dBTP, 4x
// oversampled below 96 kHz) of a render, through libebur128. Frames are fed as they are
// written, interleaved floats of full scale 1.0; the results are read at any time, over
// everything fed so far. Owns its libebur128 state.
class LoudnessMeter {
  public:
    // One weight per channel of the frames to come, at rate frames per second. Throws
    // std::invalid_argument for no channel, more than 64, or a rate outside 16 ... 2822400
    // (libebur128's limits).
    LoudnessMeter(uint32_t rate, const std::vector<LoudnessWeight>& weights);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Throws std::bad_alloc when libebur128 runs out of memory.
    void AddFrames(const float* interleaved, size_t frames);

    // LUFS; -infinity until a 400 ms block is louder than the absolute gate (-70 LUFS).
    double IntegratedLoudness() const;
    // dBTP, the highest over every channel (the LFE too); -infinity for silence.
    double TruePeak() const;

    // BS.1770-4's weights by position: 1.41 at |elevation| < 30 and 60 <= |azimuth| <= 120,
    // the LFE left out, 1 elsewhere.
    static std::vector<LoudnessWeight> WeightsFor(const SpeakerLayout& layout);

  private:
    struct State;  // libebur128's, whose type has no name to declare here

    std::unique_ptr<State> m_pState;
    unsigned m_channels = 0;
};
