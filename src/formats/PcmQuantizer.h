#pragma once

#include <cstddef>
#include <cstdint>

// Turns samples of full scale +-1.0 into 8-, 16-, 24- or 32-bit PCM in the in-memory convention
// (8-bit unsigned with 128 as silence, wider signed little-endian), or into 32-bit floats, which
// are written as they come (nothing rounds, clips or dithers). Each integer value is first rounded
// to the nearest 32-bit step (half away from zero) and then to the target width (half up), as sox
// converts, so a conversion without dither agrees with sox sample for sample. With dither, TPDF
// noise of +-1 LSB of the target width goes in before the second rounding. The noise comes from
// a seeded generator: the same seed and input give the same output. Values beyond full scale
// are clipped and counted.
class PcmQuantizer {
  public:
    static constexpr uint64_t kDefaultSeed = 0x5EED5EED5EED5EEDull;

    // bits: 8, 16, 24 or 32 (anything else is taken as 16); bFloat: 32-bit floats instead.
    PcmQuantizer(int bits, bool bDither, uint64_t seed = kDefaultSeed, bool bFloat = false);

    // Writes count samples of the target width into out (count * GetBits() / 8 bytes).
    void Convert(const double* in, size_t count, uint8_t* out);

    int GetBits() const { return m_bits; }
    bool IsFloat() const { return m_bFloat; }
    uint64_t GetClippedCount() const { return m_clipped; }

    // The nearest 32-bit step of x, half away from zero, clipped to the 32-bit range; bClipped
    // tells whether x lay beyond it.
    static int32_t ToInt32(double x, bool& bClipped);

  private:
    int32_t Quantize(double x);
    // Uniform in [0, 1), from a 64-bit xorshift* generator.
    double NextUniform();

    int m_bits;
    bool m_bFloat;
    bool m_bDither;
    uint64_t m_state;
    uint64_t m_clipped = 0;
};
