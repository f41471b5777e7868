#include "SofaTestSets.h"

#include <gtest/gtest.h>
#include <mysofa.h>
#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>

#include "platform/DistanceLaw.h"
#include "sofa/SofaBinauralStream.h"
#include "sofa/SofaHrtfSet.h"
#include "support/TempDir.h"

namespace {

const std::string& WrittenSets() {
    static TempDir folder;
    static const bool bWritten = [] {
        const std::string command =
            "/usr/bin/python3 '" SOFA_TEST_SCRIPT "' '" + folder.Path().string() + "'";
        return std::system(command.c_str()) == 0;
    }();
    EXPECT_TRUE(bWritten) << "make_sofa.py failed";
    static const std::string path = folder.Path().string();
    return path;
}

class VectorSource : public SofaBinauralStream::Source {
  public:
    VectorSource(const std::vector<float>& input, uint16_t channels, const PlaceOfFrame& place)
        : m_input(input), m_channels(channels), m_place(place) {}
    void ReadFrames(uint64_t first, uint32_t frames, float* out) override {
        for (size_t i = 0; i < size_t{frames} * m_channels; ++i) {
            const size_t at = first * m_channels + i;
            out[i] = at < m_input.size() ? m_input[at] : 0.0f;
        }
    }
    // The place as the stage hears it in free field: its direction, the distance law's gain.
    SofaHeading HeadingAt(uint64_t frame) override {
        const SoundPlace place = m_place(frame);
        const double cm =
            std::clamp(place.distanceCm, double{kNearestDistanceCm}, double{kFarthestDistanceCm});
        return {place.azimuth, place.elevation, place.width,
                DistanceGain(static_cast<uint32_t>(std::lround(cm)))};
    }

  private:
    const std::vector<float>& m_input;
    uint16_t m_channels;
    const PlaceOfFrame& m_place;
};

// x through h, from frame `from` on (0 before).
std::vector<double> Convolve(const std::vector<float>& x, const std::vector<float>& h,
                             size_t from) {
    std::vector<double> y(x.size(), 0.0);
    for (size_t n = from; n < x.size(); ++n) {
        double sum = 0.0;
        for (size_t k = 0; k < h.size() && k <= n; ++k) {
            sum += double{h[k]} * x[n - k];
        }
        y[n] = sum;
    }
    return y;
}

}  // namespace

// libmysofa 1.3 leaks the attributes of a netCDF-4 file that is not SOFA as it refuses it (a
// few hundred bytes); the sanitizer build's leak check leaves that library's leaks to it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libmysofa.so\n";
}

std::string SofaSetPath(const std::string& name) {
    return name == "default" ? SofaHrtfSet::DefaultPath() : WrittenSets() + "/" + name + ".sofa";
}

std::shared_ptr<const HrtfFilterBank> PreparedBank(const std::string& name, uint32_t rate) {
    static std::map<std::pair<std::string, uint32_t>, std::shared_ptr<const HrtfFilterBank>> banks;
    auto& bank = banks[{name, rate}];
    if (bank == nullptr) {
        const SofaHrtfSet::Loaded loaded = SofaHrtfSet::Load(SofaSetPath(name));
        EXPECT_NE(loaded.set, nullptr) << loaded.message;
        if (loaded.set == nullptr) {
            return nullptr;
        }
        HrtfFilterBank::Prepared prepared = HrtfFilterBank::Prepare(*loaded.set, rate);
        EXPECT_NE(prepared.bank, nullptr) << prepared.message;
        bank = prepared.bank;
    }
    return bank;
}

Ears RenderSofa(std::shared_ptr<const HrtfFilterBank> bank, uint16_t channels,
                const std::vector<float>& input, const PlaceOfFrame& place,
                const std::vector<uint32_t>& calls, uint64_t from) {
    VectorSource source(input, channels, place);
    SofaBinauralStream stream(std::move(bank), channels, source);
    if (from != 0) {
        stream.Seek(from);
    }
    const size_t frames = input.size() / channels;
    Ears ears;
    std::vector<float> out;
    for (size_t done = from, call = 0; done < frames; ++call) {
        const auto count =
            static_cast<uint32_t>(std::min<size_t>(calls[call % calls.size()], frames - done));
        out.resize(2 * size_t{count});
        stream.Render(out.data(), count);
        for (uint32_t n = 0; n < count; ++n) {
            ears.left.push_back(out[2 * n]);
            ears.right.push_back(out[2 * n + 1]);
        }
        done += count;
    }
    return ears;
}

Ears MeasuredPair(const std::string& path, double sofaAzimuth, double sofaElevation,
                  uint32_t rate) {
    // Loaded once a file: a set takes a tenth of a second to read.
    static std::map<std::string, std::unique_ptr<MYSOFA_HRTF, void (*)(MYSOFA_HRTF*)>> files;
    auto found = files.find(path);
    if (found == files.end()) {
        int error = 0;
        MYSOFA_HRTF* pLoaded = mysofa_load(path.c_str(), &error);
        EXPECT_NE(pLoaded, nullptr) << error;
        if (pLoaded != nullptr) {
            mysofa_tospherical(pLoaded);
        }
        found = files
                    .emplace(path, std::unique_ptr<MYSOFA_HRTF, void (*)(MYSOFA_HRTF*)>(
                                       pLoaded, mysofa_free))
                    .first;
    }
    const MYSOFA_HRTF* pHrtf = found->second.get();
    Ears pair;
    if (pHrtf == nullptr) {
        return pair;
    }
    const auto setRate = static_cast<uint32_t>(pHrtf->DataSamplingRate.values[0]);
    for (unsigned m = 0; m < pHrtf->M; ++m) {
        const float* p = pHrtf->SourcePosition.values + 3 * m;
        const double turn = std::remainder(p[0] - sofaAzimuth, 360.0);
        if (std::abs(turn) > 1e-3 || std::abs(p[1] - sofaElevation) > 1e-3) {
            continue;
        }
        for (int ear = 0; ear < 2; ++ear) {
            const float* response = pHrtf->DataIR.values + (size_t{m} * 2 + ear) * pHrtf->N;
            std::vector<float> out(response, response + pHrtf->N);
            if (rate != setRate) {
                const size_t length = static_cast<size_t>(
                    std::llround(static_cast<double>(pHrtf->N) * rate / setRate));
                std::vector<float> resampled(length);
                const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
                const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
                size_t used = 0;
                size_t made = 0;
                EXPECT_EQ(soxr_oneshot(setRate, rate, 1, out.data(), out.size(), &used,
                                       resampled.data(), length, &made, &io, &quality, nullptr),
                          nullptr);
                for (float& sample : resampled) {
                    sample *= static_cast<float>(setRate) / static_cast<float>(rate);
                }
                out = resampled;
            }
            (ear == 0 ? pair.left : pair.right) = out;
        }
        break;
    }
    EXPECT_FALSE(pair.left.empty())
        << path << " has no measurement at " << sofaAzimuth << ", " << sofaElevation;
    return pair;
}

double MatchErrorDb(const Ears& out, const std::vector<float>& input, const Ears& pair, size_t from,
                    size_t to, size_t* pLag) {
    constexpr size_t kLongestLag = 300;
    const size_t first = from > kLongestLag ? from - kLongestLag : 0;
    const std::vector<double> left = Convolve(input, pair.left, first);
    const std::vector<double> right = Convolve(input, pair.right, first);
    double heard = 0.0;
    for (size_t n = from; n < to; ++n) {
        heard += double{out.left[n]} * out.left[n] + double{out.right[n]} * out.right[n];
    }
    double reference = 0.0;
    double least = std::numeric_limits<double>::infinity();
    for (size_t lag = 0; lag <= kLongestLag && lag <= from; ++lag) {
        double cross = 0.0;
        reference = 0.0;
        for (size_t n = from; n < to; ++n) {
            cross += out.left[n] * left[n - lag] + out.right[n] * right[n - lag];
            reference += left[n - lag] * left[n - lag] + right[n - lag] * right[n - lag];
        }
        // With the best gain, cross / reference, what is left of the output:
        const double remains = heard - cross * cross / reference;
        if (remains < least) {
            least = remains;
            if (pLag != nullptr) {
                *pLag = lag;
            }
        }
    }
    return 10.0 * std::log10(std::max(least, 1e-30) / heard);
}

std::vector<float> PinkNoise(size_t samples, uint32_t seed) {
    std::vector<float> out = WhiteNoise(samples, seed);
    // Paul Kellet's economy filter: within 0.5 dB of -3 dB an octave above a few hertz.
    double b0 = 0, b1 = 0, b2 = 0;
    for (float& sample : out) {
        const double white = sample;
        b0 = 0.99765 * b0 + white * 0.0990460;
        b1 = 0.96300 * b1 + white * 0.2965164;
        b2 = 0.57000 * b2 + white * 1.0526913;
        sample = static_cast<float>((b0 + b1 + b2 + white * 0.1848) * 0.25);
    }
    return out;
}

std::vector<float> WhiteNoise(size_t samples, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    std::vector<float> out(samples);
    for (float& sample : out) {
        sample = noise(rng);
    }
    return out;
}
