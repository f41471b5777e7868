#include "scene/LateTail.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

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

// The fast Walsh-Hadamard transform of 16 values, scaled to stay orthogonal.
void Hadamard16(float* v) {
#if defined(__SSE__)
    // The same butterflies in four registers: a - b as a + (-1 * b), which is the same number.
    __m128 r[4];
    for (int k = 0; k < 4; ++k) {
        r[k] = _mm_loadu_ps(v + 4 * k);
    }
    const __m128 odd = _mm_setr_ps(1.0f, -1.0f, 1.0f, -1.0f);
    const __m128 upper = _mm_setr_ps(1.0f, 1.0f, -1.0f, -1.0f);
    for (__m128& x : r) {
        x = _mm_add_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(2, 2, 0, 0)),
                       _mm_mul_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 1, 1)), odd));
        x = _mm_add_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(1, 0, 1, 0)),
                       _mm_mul_ps(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 2, 3, 2)), upper));
    }
    for (int half = 1; half <= 2; half *= 2) {
        for (int i = 0; i < 4; i += 2 * half) {
            for (int j = i; j < i + half; ++j) {
                const __m128 a = r[j];
                const __m128 b = r[j + half];
                r[j] = _mm_add_ps(a, b);
                r[j + half] = _mm_sub_ps(a, b);
            }
        }
    }
    const __m128 quarter = _mm_set1_ps(0.25f);
    for (int k = 0; k < 4; ++k) {
        _mm_storeu_ps(v + 4 * k, _mm_mul_ps(r[k], quarter));
    }
#else
    for (int half = 1; half < 16; half *= 2) {
        for (int i = 0; i < 16; i += 2 * half) {
            for (int j = i; j < i + half; ++j) {
                const float a = v[j];
                const float b = v[j + half];
                v[j] = a + b;
                v[j + half] = a - b;
            }
        }
    }
    for (int i = 0; i < 16; ++i) {
        v[i] *= 0.25f;
    }
#endif
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
    // The network's first echoes come a shortest line after its input.
    const double lead = onsetSeconds * m_rate - m_lengths[0];
    m_lead = static_cast<uint32_t>(std::max(0.0, lead));

    // The level: the energy of the network's answer to an impulse, made the diffuse field's
    // from the moment the tail begins on.
    Reset();
    m_scale = 1.0f;
    float outputs[kOutputs];
    double energy = 0.0;
    const auto frames = static_cast<uint64_t>(std::min(m_rt60, 20.0) * m_rate);
    for (uint64_t n = 0; n < frames; ++n) {
        Step(n == 0 ? 1.0f : 0.0f, outputs);
        energy += double{outputs[0]} * outputs[0];
    }
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

void LateTail::Step(float in, float* outputs) {
    float taps[kLines];
    for (size_t i = 0; i < kLines; ++i) {
        taps[i] = m_buffer[m_offset[i] + m_at[i]] * m_loss[i];
    }
    // Decorrelated outputs: the lines under a second orthogonal mix, each output a row of it.
    float mixed[kLines];
    std::copy(std::begin(taps), std::end(taps), mixed);
    for (size_t i = 0; i < kLines; ++i) {
        mixed[i] *= (i * 5 + 3) % 7 < 3 ? -1.0f : 1.0f;
    }
    Hadamard16(mixed);
    for (int o = 0; o < kOutputs; ++o) {
        outputs[o] = mixed[o] * m_scale;
    }
    Hadamard16(taps);
    for (size_t i = 0; i < kLines; ++i) {
        m_buffer[m_offset[i] + m_at[i]] = taps[i] + in * m_in[i];
        if (++m_at[i] == m_lengths[i]) {
            m_at[i] = 0;
        }
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
        float sink[kOutputs];
        while (m_next < first) {
            const auto n = static_cast<uint32_t>(std::min<uint64_t>(4096, first - m_next));
            m_input.resize(n);
            read(static_cast<int64_t>(m_next) - m_lead, n, m_input.data());
            for (uint32_t k = 0; k < n; ++k) {
                Step(m_input[k], sink);
            }
            m_next += n;
        }
    }
    m_input.resize(count);
    read(static_cast<int64_t>(first) - m_lead, count, m_input.data());
    float all[kOutputs];
    for (uint32_t k = 0; k < count; ++k) {
        Step(m_input[k], all);
        std::copy_n(all, outputs, out + size_t{k} * static_cast<size_t>(outputs));
    }
    m_next = first + count;
}
