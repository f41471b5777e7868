#include "render/SpatialFilter.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "render/Avx2Kernel.h"
#include "render/PlainKernel.h"
#include "render/SampleCodec.h"
#include "render/SseKernel.h"

namespace {

float TableAt(const std::array<float, 128>& table, int index) {
    return index >= 0 && index < 128 ? table[static_cast<size_t>(index)] : 0.0f;
}

// The band's delay, as the kernels know it.
constexpr FilterMode ModeOf(const RateBand& band) {
    if (band.directDelay < 0) {
        return FilterMode::DelayFiltered;
    }
    return band.directDelay == 0 ? FilterMode::NoDelay : FilterMode::DelayDirect;
}

static_assert(
    [] {
        for (const RateBand& band : kRateBands) {
            if (band.writeIndexAfterReset != static_cast<int>(RingDelay(ModeOf(band)))) {
                return false;
            }
        }
        return true;
    }(),
    "a band's write index after reset is its ring delay");

using KernelPath = SpatialFilter::KernelPath;

const FilterKernels* FindKernels(KernelPath path, int sections, FilterMode mode) {
    switch (path) {
        case KernelPath::Avx2:
            return FindAvx2Kernels(sections, mode);
        case KernelPath::Sse2:
            return FindSseKernels(sections, mode);
        case KernelPath::Plain:
            break;
    }
    return FindPlainKernels(sections, mode);
}

}  // namespace

bool SpatialFilter::HasKernelPath(KernelPath path) {
    return FindKernels(path, 4, FilterMode::NoDelay) != nullptr;
}

SpatialFilter::KernelPath SpatialFilter::DefaultKernelPath() {
    static const KernelPath path = [] {
        const char* named = std::getenv("SONOMAP_FILTER_KERNEL");
        const std::string_view name = named != nullptr ? named : "";
        if (name == "plain") {
            return KernelPath::Plain;
        }
        if (name == "sse2" && HasKernelPath(KernelPath::Sse2)) {
            return KernelPath::Sse2;
        }
        for (const KernelPath widest : {KernelPath::Avx2, KernelPath::Sse2}) {
            if (HasKernelPath(widest)) {
                return widest;
            }
        }
        return KernelPath::Plain;
    }();
    return path;
}

SpatialFilter::SpatialFilter() : m_path(DefaultKernelPath()) {
    PickKernels();
}

bool SpatialFilter::UseKernelPath(KernelPath path) {
    if (!HasKernelPath(path)) {
        return false;
    }
    m_path = path;
    PickKernels();
    return true;
}

// Until a SelectRate, the shape of band 6 on zero coefficients.
void SpatialFilter::PickKernels() {
    const RateBand& band = kRateBands[m_band >= 1 ? m_band - 1 : 5];
    m_pKernels = FindKernels(m_path, band.sections, ModeOf(band));
}

const SpatialFilter::BandInfo& SpatialFilter::Band(int band) {
    return kRateBands[band >= 1 && band <= 8 ? band - 1 : 0];
}

float SpatialFilter::DirectGainLeft(int index) {
    return TableAt(kGainTables.directLeft, index);
}
float SpatialFilter::DirectGainRight(int index) {
    return TableAt(kGainTables.directRight, index);
}
float SpatialFilter::FilteredGainLeft(int index) {
    return TableAt(kGainTables.filteredLeft, index);
}
float SpatialFilter::FilteredGainRight(int index) {
    return TableAt(kGainTables.filteredRight, index);
}

int SpatialFilter::SelectRate(int32_t rate) {
    std::memset(m_state.s1, 0, sizeof m_state.s1);
    std::memset(m_state.s2, 0, sizeof m_state.s2);
    std::memset(m_state.ring, 0, sizeof m_state.ring);
    m_state.read = 0;
    m_state.write = 0;

    int band = 0;
    for (int b = 1; b <= 8; ++b) {
        if (rate >= kRateBands[b - 1].lowRate && rate <= kRateBands[b - 1].highRate) {
            band = b;
            break;
        }
    }
    if (band == 0) {
        return kUnsupportedRate;
    }
    const RateBand& info = kRateBands[band - 1];
    m_band = band;
    m_state.write = static_cast<unsigned>(info.writeIndexAfterReset);
    m_state.k[0] = info.kLeft;
    m_state.k[1] = info.kRight;
    std::memset(m_state.a1, 0, sizeof m_state.a1);
    std::memset(m_state.a2, 0, sizeof m_state.a2);
    for (int n = 0; n < info.sections; ++n) {
        m_state.a1[n][0] = info.left[n][0];
        m_state.a2[n][0] = info.left[n][1];
        m_state.a1[n][1] = info.right[n][0];
        m_state.a2[n][1] = info.right[n][1];
    }
    PickKernels();
    return band;
}

int SpatialFilter::PanToDirectionIndex(int32_t pan) {
    return static_cast<int>(((static_cast<int64_t>(pan) + 90) * 7) / 10);
}

void SpatialFilter::SetDirection(int index) {
    if (index < 0) {
        index = 0;
    } else if (index > 126) {
        index = 126;
    }
    const auto i = static_cast<size_t>(index);
    m_state.directGain[0] = kGainTables.directLeft[i];
    m_state.directGain[1] = kGainTables.directRight[i];
    m_state.filteredGain[0] = kGainTables.filteredLeft[i];
    m_state.filteredGain[1] = kGainTables.filteredRight[i];
}

float SpatialFilter::ReadSample(const uint8_t* stored, int sampleWidth) {
    return SampleCodec::Read(stored, sampleWidth);
}

void SpatialFilter::WriteSamplePair(float left, float right, int sampleWidth, uint8_t* out) {
    SampleCodec::WritePair(left, right, sampleWidth, out);
}
