#include "sofa/FractionalDelay.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Four frames a step, each lane an ordinary float operation (the same samples on every
// machine).
typedef float Lanes __attribute__((vector_size(16)));

inline Lanes Load(const float* p) {
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline Lanes Splat(float value) {
    return Lanes{value, value, value, value};
}

// The four-point Lagrange interpolation at a fraction f (0 to 1) of the way from the tap at
// the whole delay to the one a frame earlier.
inline Lanes Lagrange(Lanes f, Lanes later, Lanes at, Lanes earlier, Lanes earliest) {
    const Lanes one = Splat(1.0f);
    const Lanes a = f + one;
    const Lanes c = f - one;
    const Lanes d = f - Splat(2.0f);
    const Lanes cd = c * d;
    const Lanes af = a * f;
    const Lanes sixth = Splat(1.0f / 6.0f);
    const Lanes half = Splat(0.5f);
    return (a * cd * half) * at - (f * cd * sixth) * later - (af * d * half) * earlier +
           (af * c * sixth) * earliest;
}

}  // namespace

FractionalDelay::FractionalDelay(uint32_t longestDelay, uint32_t blockFrames)
    : m_history(longestDelay + kLeadFrames + 2),
      m_blockFrames(blockFrames),
      m_buffer(m_history + blockFrames, 0.0f) {}

void FractionalDelay::Reset() {
    std::fill(m_buffer.begin(), m_buffer.end(), 0.0f);
}

void FractionalDelay::Process(const float* in, double from, double to, float* out) {
    float* buffer = m_buffer.data();
    std::memcpy(buffer + m_history, in, m_blockFrames * sizeof(float));
    if (from == to && from == std::floor(from)) {
        const float* source = buffer + m_history - static_cast<uint32_t>(from) - kLeadFrames;
        for (uint32_t n = 0; n < m_blockFrames; ++n) {
            out[n] += source[n];
        }
    } else {
        const double step = (to - from) / m_blockFrames;
        const Lanes steps = {0.0f, static_cast<float>(step), static_cast<float>(2 * step),
                             static_cast<float>(3 * step)};
        // Four frames at once while the whole part of their delay is the same. Delays are at
        // least kLeadFrames, so truncation is the whole part.
        for (uint32_t n = 0; n < m_blockFrames; n += 4) {
            const double first = from + step * (n + 1) + kLeadFrames;
            const auto whole = static_cast<uint32_t>(first);
            if (n + 4 <= m_blockFrames && static_cast<uint32_t>(first + 3 * step) == whole) {
                const Lanes f = Splat(static_cast<float>(first - whole)) + steps;
                // The taps one frame later than whole, at whole, and one and two earlier.
                const float* tap = buffer + m_history + n - whole;
                Lanes sum = Load(out + n);
                sum += Lagrange(f, Load(tap + 1), Load(tap), Load(tap - 1), Load(tap - 2));
                std::memcpy(out + n, &sum, sizeof sum);
                continue;
            }
            for (uint32_t k = n; k < std::min(n + 4, m_blockFrames); ++k) {
                const double delay = from + step * (k + 1) + kLeadFrames;
                const auto at = static_cast<uint32_t>(delay);
                const float* tap = buffer + m_history + k - at;
                const Lanes sum = Lagrange(Splat(static_cast<float>(delay - at)), Splat(tap[1]),
                                           Splat(tap[0]), Splat(tap[-1]), Splat(tap[-2]));
                out[k] += sum[0];
            }
        }
    }
    std::memmove(buffer, buffer + m_blockFrames, m_history * sizeof(float));
}
