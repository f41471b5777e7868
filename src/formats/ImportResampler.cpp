#include "formats/ImportResampler.h"

#include <soxr.h>

#include <algorithm>

namespace {

constexpr size_t kBlockFrames = 8192;

}  // namespace

ImportResampler::ImportResampler(uint32_t inRate, uint32_t outRate, int channels)
    : m_inRate(inRate), m_outRate(outRate), m_channels(channels) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    soxr_error_t error = nullptr;
    m_pSoxr = soxr_create(inRate, outRate, static_cast<unsigned>(channels), &error, &io, &quality,
                          nullptr);
    if (m_pSoxr == nullptr || error != nullptr) {
        m_error = error != nullptr ? error : "libsoxr could not be set up";
    }
    m_block.resize(kBlockFrames * static_cast<size_t>(channels));
}

ImportResampler::~ImportResampler() {
    if (m_pSoxr != nullptr) {
        soxr_delete(m_pSoxr);
    }
}

uint64_t ImportResampler::OutputFrames(uint64_t inFrames, uint32_t inRate, uint32_t outRate) {
    return MapPosition(inFrames, inRate, outRate);
}

uint64_t ImportResampler::MapPosition(uint64_t position, uint32_t inRate, uint32_t outRate) {
    if (inRate == 0) {
        return position;
    }
    // In 128 bits: a position near 2^32 times a rate near 2^32 overflows 64.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(position) * outRate;
    return static_cast<uint64_t>((scaled + inRate / 2) / inRate);
}

void ImportResampler::Append(const double* frames, size_t count, std::vector<double>& out) {
    const uint64_t due = OutputFrames(m_inFrames, m_inRate, m_outRate);
    const uint64_t room = due > m_outFrames ? due - m_outFrames : 0;
    const size_t take = static_cast<size_t>(std::min<uint64_t>(count, room));
    const auto channels = static_cast<size_t>(m_channels);
    out.insert(out.end(), frames, frames + take * channels);
    m_outFrames += take;
}

bool ImportResampler::Process(const double* in, size_t frames, std::vector<double>& out) {
    if (!IsOk()) {
        return false;
    }
    m_inFrames += frames;
    size_t used = 0;
    while (used < frames) {
        size_t inDone = 0;
        size_t outDone = 0;
        const soxr_error_t error =
            soxr_process(m_pSoxr, in + used * static_cast<size_t>(m_channels), frames - used,
                         &inDone, m_block.data(), kBlockFrames, &outDone);
        if (error != nullptr) {
            m_error = error;
            return false;
        }
        Append(m_block.data(), outDone, out);
        used += inDone;
        if (inDone == 0 && outDone == 0) {
            break;
        }
    }
    return true;
}

bool ImportResampler::Finish(std::vector<double>& out) {
    if (!IsOk()) {
        return false;
    }
    while (true) {
        size_t outDone = 0;
        const soxr_error_t error =
            soxr_process(m_pSoxr, nullptr, 0, nullptr, m_block.data(), kBlockFrames, &outDone);
        if (error != nullptr) {
            m_error = error;
            return false;
        }
        if (outDone == 0) {
            break;
        }
        Append(m_block.data(), outDone, out);
    }
    const uint64_t due = OutputFrames(m_inFrames, m_inRate, m_outRate);
    if (m_outFrames < due) {
        out.insert(out.end(), (due - m_outFrames) * static_cast<size_t>(m_channels), 0.0);
        m_outFrames = due;
    }
    return true;
}
