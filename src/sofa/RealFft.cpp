#include "sofa/RealFft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::mutex& PlannerLock() {
    static std::mutex lock;
    return lock;
}

constexpr unsigned kPlanFlags = FFTW_ESTIMATE | FFTW_NO_SIMD | FFTW_UNALIGNED;

}  // namespace

RealFft::RealFft(uint32_t size, uint32_t imaginaryAt)
    : m_size(size), m_imaginaryAt(std::max(imaginaryAt, Bins())) {
    // A plan keeps the distance from the real parts to the imaginary ones.
    std::vector<float> time(size);
    std::vector<float> spectrum(2 * size_t{m_imaginaryAt});
    float* re = spectrum.data();
    float* im = re + m_imaginaryAt;
    fftwf_iodim dim{static_cast<int>(size), 1, 1};
    const std::lock_guard<std::mutex> hold(PlannerLock());
    m_pForward =
        fftwf_plan_guru_split_dft_r2c(1, &dim, 0, nullptr, time.data(), re, im, kPlanFlags);
    m_pInverse =
        fftwf_plan_guru_split_dft_c2r(1, &dim, 0, nullptr, re, im, time.data(), kPlanFlags);
    if (m_pForward == nullptr || m_pInverse == nullptr) {
        DestroyPlans();
        throw std::runtime_error("FFTW could not plan a transform of " + std::to_string(size));
    }
}

RealFft::~RealFft() {
    const std::lock_guard<std::mutex> hold(PlannerLock());
    DestroyPlans();
}

void RealFft::DestroyPlans() {
    if (m_pForward != nullptr) {
        fftwf_destroy_plan(static_cast<fftwf_plan>(m_pForward));
    }
    if (m_pInverse != nullptr) {
        fftwf_destroy_plan(static_cast<fftwf_plan>(m_pInverse));
    }
    m_pForward = nullptr;
    m_pInverse = nullptr;
}

void RealFft::Forward(const float* time, float* spectrum) const {
    // An out-of-place real-to-complex transform leaves its input alone.
    fftwf_execute_split_dft_r2c(static_cast<fftwf_plan>(m_pForward), const_cast<float*>(time),
                                spectrum, spectrum + m_imaginaryAt);
}

void RealFft::Inverse(float* spectrum, float* time) const {
    fftwf_execute_split_dft_c2r(static_cast<fftwf_plan>(m_pInverse), spectrum,
                                spectrum + m_imaginaryAt, time);
}
