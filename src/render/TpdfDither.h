#pragma once

#include <cstddef>
#include <cstdint>

#include "render/SampleFormat.h"

// Float samples (full scale +-1.0) to 16- or 24-bit ones with triangular (TPDF) dither: the sum of
// two uniform values of one step each, so the rounding error carries no trace of the signal. The
// noise comes from a fixed seed, so a render gives the same file every time. At 16 bits four
// xorshift generators run side by side (SSE2 lanes, or the same steps one by one where there is
// none), each 32-bit draw giving both uniforms of one sample at 16-bit resolution, and the sum
// rounds to the nearest step (ties to even); a call takes draws in groups of four. A long call
// runs stretches of the sequence side by side (and, where the processor has AVX2, two in a
// register), giving the same samples as one generator would.
class TpdfDither {
  public:
    // The largest peak that stays clear of the clip with the dither on top: the dither adds
    // less than one step.
    static constexpr float kPeakLimit = 32766.0f / 32768.0f;

    explicit TpdfDither(uint32_t seed = 0x2545F491u);

    // out[i] = round(in[i] x gain x 32768 + dither), held within -32768 ... 32767; NaN gives 0.
    void Quantize(const float* in, size_t count, float gain, int16_t* out);
    // Lets the 16-bit path use AVX2 where the processor has it (the default), or keeps it to
    // SSE2, for comparing the two.
    void UseWideLanes(bool bWide);
    // The same limit for a target format: one step below full scale for integers, 1 for floats.
    static float PeakLimit(SampleFormat format);

    // count samples of the format into out, little-endian (2, 3 or 4 bytes each): integers
    // dithered as Quantize does at their width (only rounded when bDither is false, for values
    // that already lie on the width's steps), floats times gain with no dither.
    void QuantizeTo(const float* in, size_t count, float gain, SampleFormat format, uint8_t* out,
                    bool bDither = true);
    // The largest magnitude among count samples; 0 for none.
    static float Peak(const float* in, size_t count);

  private:
    // Uniform in [0, 1), xorshift32.
    float NextUniform();
    // Quantize into little-endian 16-bit samples at any byte address.
    void Quantize16(const float* in, size_t count, float gain, uint8_t* out);
    void Quantize24(const float* in, size_t count, float gain, uint8_t* out, bool bDither);
    // Rounds to the nearest step of bits (16 or 24) with no noise.
    static void Round(const float* in, size_t count, float gain, int bits, uint8_t* out);

    uint32_t m_state;
    uint32_t m_lanes[4];
    bool m_bWideLanes = true;
};
