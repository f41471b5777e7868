#include "sofa/HrtfFilterBank.h"

#include <soxr.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>

#include "render/ScopedFlushDenormals.h"
#include "sofa/RealFft.h"
#include "sofa/SofaHrtfSet.h"

namespace {

constexpr uint32_t kLowestRate = 1000;
constexpr uint32_t kHighestRate = 768000;
// Responses go through libsoxr this many at a time, as the channels of one stream.
constexpr size_t kResampleChannels = 64;
constexpr double kOnsetFraction = 0.25;  // -12 dB
constexpr double kOpenDeg = 10.0;        // a gap this wide around an axis gets a node
constexpr double kMeanDeg = 1.0;         // measurements this much farther still join its mean
// The mean power of a response, the set scaled to 1 at its own rate, below which it is taken
// for silence (-60 dB).
constexpr double kSilentPower = 1e-6;

using Vector = SphereTriangulation::Vector;

double AngleDeg(const Vector& a, const Vector& b) {
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    return std::acos(std::clamp(dot, -1.0, 1.0)) * 180.0 / std::numbers::pi;
}

// Every response of the set at the new rate, scaled: response (measurement, ear) holds
// frames values from (measurement * 2 + ear) * frames. A response of any length gives at least
// one frame.
bool Resample(const SofaHrtfSet& set, uint32_t rate, double scale, std::vector<double>& out,
              uint32_t& frames, std::string& error) {
    const uint32_t taps = set.Taps();
    const size_t responses = set.Size() * 2;
    const uint32_t setRate = set.SampleRate();
    frames = rate == setRate
                 ? taps
                 : std::max<uint32_t>(
                       1, static_cast<uint32_t>((static_cast<uint64_t>(taps) * rate + setRate / 2) /
                                                setRate));
    out.assign(responses * frames, 0.0);
    if (rate == setRate) {
        for (size_t r = 0; r < responses; ++r) {
            const float* source = set.Response(r / 2, static_cast<int>(r % 2));
            for (uint32_t n = 0; n < taps; ++n) {
                out[r * taps + n] = source[n] * scale;
            }
        }
        return true;
    }
    // The gain of a filter is the sum of its taps: at a rate k times lower, k times fewer taps
    // carry it.
    const double gain = scale * setRate / rate;
    // libsoxr keeps back what its filter has not passed yet, and gives nothing at all for a
    // response shorter than that filter: the response goes in followed by silence long enough
    // to reach past its last frame at the new rate, and the resampler is then drained.
    const size_t length = taps + static_cast<size_t>(2 * setRate / rate) + 2;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    std::vector<double> in;
    std::vector<double> resampled;
    for (size_t first = 0; first < responses; first += kResampleChannels) {
        const size_t channels = std::min<size_t>(kResampleChannels, responses - first);
        in.assign(channels * length, 0.0);
        for (size_t c = 0; c < channels; ++c) {
            const float* source = set.Response((first + c) / 2, static_cast<int>((first + c) % 2));
            for (uint32_t n = 0; n < taps; ++n) {
                in[n * channels + c] = source[n];
            }
        }
        resampled.assign(channels * frames, 0.0);
        soxr_error_t failed = nullptr;
        const soxr_t resampler = soxr_create(setRate, rate, static_cast<unsigned>(channels),
                                             &failed, &io, &quality, nullptr);
        size_t fed = 0;
        size_t made = 0;
        while (failed == nullptr && made < frames) {
            const bool bInput = fed < length;
            size_t used = 0;
            size_t got = 0;
            failed = soxr_process(resampler, bInput ? in.data() + fed * channels : nullptr,
                                  bInput ? length - fed : 0, &used,
                                  resampled.data() + made * channels, frames - made, &got);
            fed += used;
            made += got;
            if (used == 0 && got == 0) {
                if (bInput) {
                    failed = "libsoxr takes none of the response";
                }
                break;  // drained
            }
        }
        if (resampler != nullptr) {
            soxr_delete(resampler);
        }
        if (failed != nullptr) {
            error = failed;
            return false;
        }
        for (size_t c = 0; c < channels; ++c) {
            for (uint32_t n = 0; n < frames; ++n) {
                out[(first + c) * frames + n] = resampled[n * channels + c] * gain;
            }
        }
    }
    return true;
}

// None for a silent response.
std::optional<uint32_t> Onset(const double* response, uint32_t frames) {
    double peak = 0.0;
    for (uint32_t n = 0; n < frames; ++n) {
        peak = std::max(peak, std::abs(response[n]));
    }
    for (uint32_t n = 0; n < frames && peak > 0.0; ++n) {
        if (std::abs(response[n]) >= kOnsetFraction * peak) {
            return n;
        }
    }
    return std::nullopt;
}

}  // namespace

HrtfFilterBank::Prepared HrtfFilterBank::Prepare(const SofaHrtfSet& set, uint32_t rate) {
    // As in the render: the same filters whichever thread prepares them.
    const ScopedFlushDenormals flush;
    const std::string named = "The HRTF file \"" + set.Path() + "\" cannot be used";
    if (rate < kLowestRate || rate > kHighestRate) {
        return {nullptr, named + " for a sound of " + std::to_string(rate) + " Hz."};
    }
    const size_t measurements = set.Size();
    double power = 0.0;
    for (size_t m = 0; m < measurements; ++m) {
        for (int ear = 0; ear < 2; ++ear) {
            const float* response = set.Response(m, ear);
            for (uint32_t n = 0; n < set.Taps(); ++n) {
                power += double{response[n]} * response[n];
            }
        }
    }
    power /= static_cast<double>(measurements * 2);
    const double scale = power > 0.0 ? 1.0 / std::sqrt(power) : 1.0;

    std::vector<double> responses;
    uint32_t frames = 0;
    std::string error;
    if (!Resample(set, rate, scale, responses, frames, error)) {
        return {nullptr, named + " at " + std::to_string(rate) + " Hz: " + error + "."};
    }
    // A set that gives no sound is refused rather than rendered as silence.
    double kept = 0.0;
    for (const double value : responses) {
        kept += value * value;
    }
    if (power == 0.0) {
        return {nullptr, named + ": its responses are silent."};
    }
    if (!(kept / static_cast<double>(measurements * 2) > kSilentPower)) {
        return {nullptr, named + " at " + std::to_string(rate) +
                             " Hz: its responses keep nothing of their sound at that rate."};
    }

    // Onsets, and the frame every aligned filter puts its onset on.
    const size_t count = measurements * 2;
    std::vector<std::optional<uint32_t>> found(count);
    uint32_t earliest = UINT32_MAX;
    uint32_t latest = 0;
    for (size_t r = 0; r < count; ++r) {
        found[r] = Onset(responses.data() + r * frames, frames);
        if (found[r]) {
            earliest = std::min(earliest, *found[r]);
            latest = std::max(latest, *found[r]);
        }
    }
    // A silent response has no onset; the earliest keeps it from moving any blend's delay.
    earliest = std::min(earliest, latest);
    std::vector<uint32_t> onsets(count);
    for (size_t r = 0; r < count; ++r) {
        onsets[r] = found[r].value_or(earliest);
    }
    const uint32_t alignedFrames = frames + latest - earliest;

    // Nodes: the measurements, then a mean at each open axis.
    std::vector<Vector> directions;
    std::vector<std::vector<uint32_t>> members;
    for (size_t m = 0; m < measurements; ++m) {
        directions.push_back(set.At(m).direction);
        members.push_back({static_cast<uint32_t>(m)});
    }
    const std::array<Vector, 6> axes{
        {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}}};
    for (const Vector& axis : axes) {
        double nearest = 360.0;
        for (size_t m = 0; m < measurements; ++m) {
            nearest = std::min(nearest, AngleDeg(axis, set.At(m).direction));
        }
        if (nearest <= kOpenDeg) {
            continue;
        }
        std::vector<uint32_t> mean;
        for (size_t m = 0; m < measurements; ++m) {
            if (AngleDeg(axis, set.At(m).direction) <= nearest + kMeanDeg) {
                mean.push_back(static_cast<uint32_t>(m));
            }
        }
        directions.push_back(axis);
        members.push_back(mean);
    }

    std::shared_ptr<HrtfFilterBank> bank(new HrtfFilterBank());
    bank->m_pTriangulation = std::make_unique<SphereTriangulation>(directions);
    if (!bank->m_pTriangulation->IsValid()) {
        return {nullptr, named + ": its directions do not cover the sphere."};
    }
    bank->m_path = set.Path();
    bank->m_rate = rate;
    bank->m_alignment = latest - earliest;
    bank->m_partitions = (alignedFrames + kBlockFrames - 1) / kBlockFrames;
    const auto nodes = static_cast<uint32_t>(directions.size());
    bank->m_delays.assign(static_cast<size_t>(nodes) * 2, 0.0);
    bank->m_spectra.assign(static_cast<size_t>(nodes) * 2 * bank->m_partitions * 2 * kPaddedBins,
                           0.0f);

    const RealFft fft(kTransformSize, kPaddedBins);
    const double delayScale = static_cast<double>(rate) / set.SampleRate();
    std::vector<double> aligned(static_cast<size_t>(bank->m_partitions) * kBlockFrames);
    std::vector<float> time(kTransformSize);
    for (uint32_t node = 0; node < nodes; ++node) {
        for (int ear = 0; ear < 2; ++ear) {
            std::fill(aligned.begin(), aligned.end(), 0.0);
            double delay = 0.0;
            const double share = 1.0 / static_cast<double>(members[node].size());
            for (uint32_t m : members[node]) {
                const size_t r = static_cast<size_t>(m) * 2 + static_cast<size_t>(ear);
                const uint32_t lead = latest - onsets[r];
                const double* response = responses.data() + r * frames;
                for (uint32_t n = 0; n < frames; ++n) {
                    aligned[lead + n] += response[n] * share;
                }
                const double own = std::round(set.At(m).delay[ear] * delayScale);
                delay += (onsets[r] - earliest + own) * share;
            }
            bank->m_delays[static_cast<size_t>(node) * 2 + static_cast<size_t>(ear)] = delay;
            bank->m_longestDelay =
                std::max(bank->m_longestDelay, static_cast<uint32_t>(std::llround(delay)));
            for (uint32_t p = 0; p < bank->m_partitions; ++p) {
                std::fill(time.begin(), time.end(), 0.0f);
                for (uint32_t n = 0; n < kBlockFrames; ++n) {
                    time[n] = static_cast<float>(aligned[p * kBlockFrames + n] / kTransformSize);
                }
                fft.Forward(time.data(),
                            bank->m_spectra.data() + bank->SpectrumOffset(node, ear, p));
            }
        }
    }
    return {bank, ""};
}

SphereTriangulation::Blend HrtfFilterBank::Locate(double azimuthDeg, double elevationDeg) const {
    const double az = azimuthDeg * std::numbers::pi / 180.0;
    const double el = elevationDeg * std::numbers::pi / 180.0;
    // SOFA's y points left, where Sonomap's azimuth turns right.
    return m_pTriangulation->Locate(
        {std::cos(el) * std::cos(az), -std::cos(el) * std::sin(az), std::sin(el)});
}
