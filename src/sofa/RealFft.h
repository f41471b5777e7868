#pragma once

#include <cstdint>

// Real transforms of one size through FFTW3 in single precision, the spectrum split: Bins()
// real parts at the start of its array, Bins() imaginary parts from ImaginaryAt() on. Neither
// direction scales: Inverse(Forward(x)) is Size() times x.
//
// FFTW rather than a transform of our own: it is fast, long proven and GPL-2+, which fits
// Sonomap's GPL-3.0-or-later. Its plans are made with FFTW_ESTIMATE and FFTW_NO_SIMD, so the
// choice of algorithm never depends on timing or on the processor's vector units: a render
// gives the same samples on every machine, as every renderer here must. Planning goes through
// one lock (FFTW's planner is not thread-safe); transforming is safe from any thread. The
// arrays may be anywhere in memory; plans never keep them.
class RealFft {
  public:
    // size: a power of two, at least 2; imaginaryAt: at least size / 2 + 1 (0: that). Throws
    // std::runtime_error when FFTW cannot plan it.
    explicit RealFft(uint32_t size, uint32_t imaginaryAt = 0);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    uint32_t Size() const { return m_size; }
    uint32_t Bins() const { return m_size / 2 + 1; }
    uint32_t ImaginaryAt() const { return m_imaginaryAt; }

    // Size() samples into a spectrum; time is left as it was.
    void Forward(const float* time, float* spectrum) const;
    // A spectrum (overwritten) into Size() samples.
    void Inverse(float* spectrum, float* time) const;

  private:
    void DestroyPlans();  // with the planner lock held

    uint32_t m_size;
    uint32_t m_imaginaryAt;
    void* m_pForward = nullptr;  // fftwf_plan
    void* m_pInverse = nullptr;
};
