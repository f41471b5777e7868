#include "scene/LateTail.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <numbers>
#include <utility>

#include "scene/TravelKernels.h"

namespace {

constexpr double kSpeedOfSound = 343.0;

bool IsPrime(uint32_t n) {
    if (n < 2) {
        return false;
    }
    for (uint32_t d = 2; d * d <= n; ++d) {
        if (n % d == 0) {
            return false;
        }
    }
    return true;
}

// Eight frames of one line, side by side: every lane goes through the same float operations a
// frame alone would.
using Lanes = float __attribute__((vector_size(32)));

// The fast Walsh-Hadamard transform of 16 lines, eight frames at once, scaled to stay
// orthogonal.
// Unrolled whole, so the lines stay in registers: -O2 kept them in memory, each stage
// waiting on the last one's stores.
[[gnu::always_inline]] inline void Hadamard16(Lanes* v) {
#pragma GCC unroll 4
    for (int half = 1; half < 16; half *= 2) {
#pragma GCC unroll 8
        for (int i = 0; i < 16; i += 2 * half) {
#pragma GCC unroll 8
            for (int j = i; j < i + half; ++j) {
                const Lanes a = v[j];
                const Lanes b = v[j + half];
                v[j] = a + b;
                v[j + half] = a - b;
            }
        }
    }
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        v[i] *= 0.25f;
    }
}

// The first rows of Hadamard16's answer, rows < width (a power of two), the same floats: a
// row with no bit at or above width is the sum of its two halves' rows, so past the stages
// within width only those sums are made.
[[gnu::always_inline]] inline void HadamardRows(Lanes* v, int width) {
#pragma GCC unroll 4
    for (int half = 1; half < 16; half *= 2) {
        const int reach = half < width ? half : width;
#pragma GCC unroll 8
        for (int i = 0; i < 16; i += 2 * half) {
#pragma GCC unroll 8
            for (int j = i; j < i + reach; ++j) {
                const Lanes a = v[j];
                const Lanes b = v[j + half];
                v[j] = a + b;
                if (half < width) {
                    v[j + half] = a - b;
                }
            }
        }
    }
    for (int i = 0; i < width; ++i) {
        v[i] *= 0.25f;
    }
}

// Four rows of eight frames, each times scale, frame by frame into out: first-order AmbiX's
// outputs without taking the lanes apart one by one.
[[gnu::always_inline]] inline void Interleave4(const Lanes* rows, float scale, float* out) {
    const Lanes a = rows[0] * scale, b = rows[1] * scale, c = rows[2] * scale, d = rows[3] * scale;
    // (a0 b0 a1 b1 a4 b4 a5 b5), (a2 b2 a3 b3 a6 b6 a7 b7), and the same of c and d.
    const Lanes ab0 = __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes ab1 = __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
    const Lanes cd0 = __builtin_shufflevector(c, d, 0, 8, 1, 9, 4, 12, 5, 13);
    const Lanes cd1 = __builtin_shufflevector(c, d, 2, 10, 3, 11, 6, 14, 7, 15);
    // Frames 0 and 1, 2 and 3, 4 and 5, 6 and 7.
    const Lanes f01 = __builtin_shufflevector(ab0, cd0, 0, 1, 8, 9, 2, 3, 10, 11);
    const Lanes f23 = __builtin_shufflevector(ab1, cd1, 0, 1, 8, 9, 2, 3, 10, 11);
    const Lanes f45 = __builtin_shufflevector(ab0, cd0, 4, 5, 12, 13, 6, 7, 14, 15);
    const Lanes f67 = __builtin_shufflevector(ab1, cd1, 4, 5, 12, 13, 6, 7, 14, 15);
    std::memcpy(out, &f01, sizeof f01);
    std::memcpy(out + 8, &f23, sizeof f23);
    std::memcpy(out + 16, &f45, sizeof f45);
    std::memcpy(out + 24, &f67, sizeof f67);
}

// to[k] = from[k] * gain, eight at a time: the compiler leaves a loop of unknown length
// scalar at -O2.
[[gnu::always_inline]] inline void Scale(const float* __restrict from, uint32_t n, float gain,
                                         float* __restrict to) {
    uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        Lanes v;
        std::memcpy(&v, from + k, sizeof v);
        v *= gain;
        std::memcpy(to + k, &v, sizeof v);
    }
    for (; k < n; ++k) {
        to[k] = from[k] * gain;
    }
}

// line[k] = taps[k] + in[k] * gain, eight at a time.
[[gnu::always_inline]] inline void Feed(const float* __restrict taps, const float* __restrict in,
                                        uint32_t n, float gain, float* __restrict line) {
    uint32_t k = 0;
    for (; k + 8 <= n; k += 8) {
        Lanes t, x;
        std::memcpy(&t, taps + k, sizeof t);
        std::memcpy(&x, in + k, sizeof x);
        t += x * gain;
        std::memcpy(line + k, &t, sizeof t);
    }
    for (; k < n; ++k) {
        line[k] = taps[k] + in[k] * gain;
    }
}

// The energy of a network's answer to an impulse depends on its rate and RT60 alone, and a
// dataset makes one tail per event in the same few rooms: each is measured once a process.
class MeasuredEnergies {
  public:
    template <typename Measure>
    double Of(uint32_t rate, double rt60, const Measure& measure) {
        uint64_t bits = 0;
        std::memcpy(&bits, &rt60, sizeof bits);
        const std::pair<uint32_t, uint64_t> key{rate, bits};
        {
            const std::lock_guard lock(m_mutex);
            if (const auto kept = m_kept.find(key); kept != m_kept.end()) {
                return kept->second;
            }
        }
        const double energy = measure();
        const std::lock_guard lock(m_mutex);
        if (m_kept.size() >= 256) {
            m_kept.clear();
        }
        m_kept.emplace(key, energy);
        return energy;
    }

  private:
    std::mutex m_mutex;
    std::map<std::pair<uint32_t, uint64_t>, double> m_kept;
};

MeasuredEnergies& Energies() {
    static MeasuredEnergies s_energies;
    return s_energies;
}

}  // namespace

double LateTail::EyringSeconds(const Room& room) {
    const double w = room.width, d = room.depth, h = room.height;
    const std::array<double, 6> areas{d * h, d * h, w * h, w * h, w * d, w * d};
    double surface = 0.0, absorbed = 0.0;
    for (size_t wall = 0; wall < 6; ++wall) {
        surface += areas[wall];
        absorbed += areas[wall] * room.absorption[wall];
    }
    const double mean = std::clamp(absorbed / surface, 1e-6, 1.0 - 1e-9);
    return 0.161 * w * d * h / (-surface * std::log(1.0 - mean));
}

LateTail::LateTail(const Room& room, uint32_t rate, double onsetSeconds)
    : m_rate(std::max<uint32_t>(rate, 1)), m_rt60(EyringSeconds(room)) {
    // Lines between 11 and 53 ms, each a prime number of frames, so their echoes never line up.
    uint32_t total = 0;
    for (int i = 0; i < kLines; ++i) {
        const double seconds = 0.011 * std::pow(53.0 / 11.0, i / double(kLines - 1));
        auto length = static_cast<uint32_t>(seconds * m_rate);
        while (!IsPrime(length) || std::find(m_lengths.begin(), m_lengths.begin() + i, length) !=
                                       m_lengths.begin() + i) {
            ++length;
        }
        m_lengths[static_cast<size_t>(i)] = length;
        m_offset[static_cast<size_t>(i)] = total;
        total += length;
        // 60 dB over the RT60, whatever way round the network a sound goes.
        m_loss[static_cast<size_t>(i)] =
            static_cast<float>(std::pow(10.0, -3.0 * length / (m_rate * m_rt60)));
        m_in[static_cast<size_t>(i)] = (i * 7 % 5) % 2 == 0 ? 0.25f : -0.25f;
    }
    m_buffer.assign(total, 0.0f);
    m_shortest = *std::min_element(m_lengths.begin(), m_lengths.end());
    m_taps.resize(size_t{kLines} * kBlock);
    // The network's first echoes come a shortest line after its input.
    const double lead = onsetSeconds * m_rate - m_lengths[0];
    m_lead = static_cast<uint32_t>(std::max(0.0, lead));

    // The level: the energy of the network's answer to an impulse, made the diffuse field's
    // from the moment the tail begins on.
    const double energy = Energies().Of(m_rate, m_rt60, [this] {
        Reset();
        m_scale = 1.0f;
        double sum = 0.0;
        const auto frames = static_cast<uint64_t>(std::min(m_rt60, 20.0) * m_rate);
        std::vector<float> impulse(kBlock, 0.0f);
        std::vector<float> answer(kBlock);
        impulse[0] = 1.0f;
        for (uint64_t n = 0; n < frames; n += kBlock) {
            const auto block = static_cast<uint32_t>(std::min<uint64_t>(kBlock, frames - n));
            Run(impulse.data(), block, 1, answer.data());
            impulse[0] = 0.0f;
            for (uint32_t k = 0; k < block; ++k) {
                sum += double{answer[k]} * answer[k];
            }
        }
        return sum;
    });
    const double decay = 6.0 * std::numbers::ln10 / m_rt60;  // per second, of the energy
    const double volume = room.width * room.depth * room.height;
    const double wanted =
        4.0 * std::numbers::pi * kSpeedOfSound / volume / decay * std::exp(-decay * onsetSeconds);
    m_scale = energy > 0.0 ? static_cast<float>(std::sqrt(wanted / energy)) : 0.0f;
    Reset();
}

void LateTail::Reset() {
    std::fill(m_buffer.begin(), m_buffer.end(), 0.0f);
    m_at.fill(0);
    m_bStarted = false;
}

void LateTail::Run(const float* input, uint32_t count, int outputs, float* out) {
#if defined(__x86_64__) || defined(__i386__)
    if (TravelKernels::WideLanes()) {
        RunWide(input, count, outputs, out);
        return;
    }
#endif
    RunLines(input, count, outputs, out);
}

#if defined(__x86_64__) || defined(__i386__)
void LateTail::RunWide(const float* input, uint32_t count, int outputs, float* out) {
    RunLines(input, count, outputs, out);
}
#endif

[[gnu::always_inline]] inline void LateTail::RunLines(const float* input, uint32_t count,
                                                      int outputs, float* out) {
    // A line is read a whole line's length after it is written, so as many frames as the
    // shortest line go through the network at once, each as it would alone.
    const uint32_t most = std::min<uint32_t>(kBlock, m_shortest);
    int width = 1;
    while (width < outputs) {
        width *= 2;
    }
    for (uint32_t done = 0; done < count;) {
        const uint32_t block = std::min(most, count - done);
        const uint32_t groups = (block + 7) / 8;
        for (size_t i = 0; i < kLines; ++i) {
            float* taps = m_taps.data() + i * kBlock;
            const float* line = m_buffer.data() + m_offset[i];
            const float loss = m_loss[i];
            uint32_t at = m_at[i];
            for (uint32_t f = 0; f < block;) {
                // Up to the line's end, then on from its start.
                const uint32_t n = std::min(block - f, m_lengths[i] - at);
                Scale(line + at, n, loss, taps + f);
                f += n;
                at = at + n == m_lengths[i] ? 0 : at + n;
            }
            std::fill(taps + block, taps + groups * 8, 0.0f);
        }
        for (uint32_t g = 0; g < groups; ++g) {
            Lanes taps[kLines];
#pragma GCC unroll 16
            for (size_t i = 0; i < kLines; ++i) {
                std::memcpy(&taps[i], m_taps.data() + i * kBlock + g * 8, sizeof(Lanes));
            }
            if (out != nullptr) {
                // Decorrelated outputs: the lines under a second orthogonal mix, each output a
                // row of it.
                Lanes mixed[kLines];
#pragma GCC unroll 16
                for (size_t i = 0; i < kLines; ++i) {
                    mixed[i] = taps[i] * ((i * 5 + 3) % 7 < 3 ? -1.0f : 1.0f);
                }
                HadamardRows(mixed, width);
                const uint32_t frames = std::min<uint32_t>(8, block - g * 8);
                float* frame = out + size_t{done + g * 8} * static_cast<size_t>(outputs);
                if (outputs == 4 && frames == 8) {
                    Interleave4(mixed, m_scale, frame);
                } else {
                    for (uint32_t f = 0; f < frames; ++f) {
                        for (int o = 0; o < outputs; ++o) {
                            frame[f * static_cast<uint32_t>(outputs) + static_cast<uint32_t>(o)] =
                                mixed[o][f] * m_scale;
                        }
                    }
                }
            }
            Hadamard16(taps);
#pragma GCC unroll 16
            for (size_t i = 0; i < kLines; ++i) {
                std::memcpy(m_taps.data() + i * kBlock + g * 8, &taps[i], sizeof(Lanes));
            }
        }
        for (size_t i = 0; i < kLines; ++i) {
            const float* taps = m_taps.data() + i * kBlock;
            const float* in = input + done;
            float* line = m_buffer.data() + m_offset[i];
            const float gain = m_in[i];
            uint32_t at = m_at[i];
            for (uint32_t f = 0; f < block;) {
                const uint32_t n = std::min(block - f, m_lengths[i] - at);
                Feed(taps + f, in + f, n, gain, line + at);
                f += n;
                at = at + n == m_lengths[i] ? 0 : at + n;
            }
            m_at[i] = at;
        }
        done += block;
    }
}

void LateTail::Render(const Reader& read, uint64_t first, uint32_t count, int outputs, float* out) {
    outputs = std::clamp(outputs, 1, kOutputs);
    if (!m_bStarted || first != m_next) {
        // Afresh: silence before, warmed up over the RT60 (or from the first frame).
        Reset();
        const auto warm = static_cast<uint64_t>(std::min(m_rt60, 10.0) * 1.2 * m_rate);
        const uint64_t from = first > warm ? first - warm : 0;
        m_bStarted = true;
        m_next = from;
        while (m_next < first) {
            const auto n = static_cast<uint32_t>(std::min<uint64_t>(4096, first - m_next));
            m_input.resize(n);
            read(static_cast<int64_t>(m_next) - m_lead, n, m_input.data());
            Run(m_input.data(), n, 0, nullptr);
            m_next += n;
        }
    }
    m_input.resize(count);
    read(static_cast<int64_t>(first) - m_lead, count, m_input.data());
    Run(m_input.data(), count, outputs, out);
    m_next = first + count;
}
