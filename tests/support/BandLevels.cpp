#include "support/BandLevels.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace {

constexpr size_t kBlock = 4096;

// In-place radix-2 FFT; the size is a power of two.
void Fft(std::vector<std::complex<double>>& x) {
    const size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(x[i], x[j]);
        }
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * std::numbers::pi / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0, 0.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = x[i + k];
                const std::complex<double> v = x[i + k + len / 2] * w;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Power per FFT bin, Hann-windowed, summed over whole blocks of [begin, end).
void AddPower(const std::vector<float>& v, size_t begin, size_t end, std::vector<double>& power) {
    std::vector<std::complex<double>> block(kBlock);
    for (size_t start = begin; start + kBlock <= end; start += kBlock / 2) {
        for (size_t i = 0; i < kBlock; ++i) {
            const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kBlock);
            block[i] = v[start + i] * hann;
        }
        Fft(block);
        for (size_t bin = 0; bin < kBlock / 2; ++bin) {
            power[bin] += std::norm(block[bin]);
        }
    }
}

}  // namespace

BandLevels BandLevels::Measure(const std::vector<float>& left, const std::vector<float>& right,
                               size_t begin, size_t end, uint32_t rate, int bandsPerOctave) {
    std::vector<double> power(kBlock / 2, 0.0);
    AddPower(left, begin, end, power);
    AddPower(right, begin, end, power);
    BandLevels levels;
    const double binHz = static_cast<double>(rate) / kBlock;
    const double halfBand = std::pow(2.0, 0.5 / bandsPerOctave);
    const double step = std::pow(2.0, 1.0 / bandsPerOctave);
    for (double centre = 125.0; centre < rate / 2.0; centre *= step) {
        double sum = 1e-30;
        for (size_t bin = 1; bin < power.size(); ++bin) {
            const double hz = bin * binHz;
            if (hz >= centre / halfBand && hz < centre * halfBand) {
                sum += power[bin];
            }
        }
        levels.centresHz.push_back(centre);
        levels.db.push_back(10.0 * std::log10(sum));
    }
    return levels;
}

std::vector<double> BandLevels::Minus(const BandLevels& other) const {
    std::vector<double> difference;
    for (size_t i = 0; i < db.size() && i < other.db.size(); ++i) {
        difference.push_back(db[i] - other.db[i]);
    }
    return difference;
}
