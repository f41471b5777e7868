#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "render/FilterState.h"

// Stored samples to and from the filter's 16-bit scale, one at a time. Stored samples are 8-bit
// unsigned with 128 as silence, 16-, 24- or 32-bit signed little-endian, or, at kFloatWidth, the
// kernels' working floats, already in 16-bit scale and read as they are: a float file's samples
// (full scale 1.0) are scaled before they get here. Inline, as every kernel's tail runs through
// these.
class SampleCodec {
  public:
    static float Read(const uint8_t* stored, int sampleWidth) {
        if (sampleWidth == kFloatWidth) {
            float v;
            std::memcpy(&v, stored, sizeof v);
            return v;
        }
        if (sampleWidth == 1) {
            return static_cast<float>((static_cast<int>(stored[0]) - 128) * 256);
        }
        return static_cast<float>(static_cast<int16_t>(stored[0] | (stored[1] << 8)));
    }

    // The filter's input for one stored frame: its one sample, or two mixed as (L + R) / 2.
    template <int Width, int Channels>
    static float ReadFrame(const uint8_t* frame) {
        const float sample = Read(frame, Width);
        if constexpr (Channels == 2) {
            return (sample + Read(frame + Width, Width)) * 0.5f;
        }
        return sample;
    }

    // Stores a 16-bit-scale value at the deep width: integers clipped and truncated as the
    // 16-bit store does, floats scaled back to full scale 1.0.
    static void StoreDeep(float value, int bits, bool bFloat, uint8_t* out) {
        if (bFloat) {
            const float v = std::isnan(value) ? 0.0f : value * (1.0f / 32768.0f);
            std::memcpy(out, &v, sizeof v);
            return;
        }
        const double top = bits == 24 ? 8388607.0 : 2147483647.0;
        const double scaled = static_cast<double>(value) * (bits == 24 ? 256.0 : 65536.0);
        const int32_t v = std::isnan(scaled)  ? 0
                          : scaled > top      ? static_cast<int32_t>(top)
                          : scaled < -top - 1 ? static_cast<int32_t>(-top - 1)
                                              : static_cast<int32_t>(scaled);
        if (bits == 24) {
            out[0] = static_cast<uint8_t>(v);
            out[1] = static_cast<uint8_t>(v >> 8);
            out[2] = static_cast<uint8_t>(v >> 16);
        } else {
            std::memcpy(out, &v, sizeof v);
        }
    }

    // Clips, truncates and stores left then right in the given width (1 or 2 bytes each).
    static void WritePair(float left, float right, int sampleWidth, uint8_t* out) {
        if (sampleWidth == kFloatWidth) {
            const float pair[2] = {left, right};
            std::memcpy(out, pair, sizeof pair);
            return;
        }
        Store(Clip(left), sampleWidth, out);
        Store(Clip(right), sampleWidth, out + sampleWidth);
    }

  private:
    static int Clip(float value) {
        if (value > 32767.0f) {
            return 32767;
        }
        if (value < -32768.0f) {
            return -32768;
        }
        if (std::isnan(value)) {
            return 0;  // a NaN has no sample value; silence is the safe one
        }
        return static_cast<int>(value);
    }

    static void Store(int value, int sampleWidth, uint8_t* out) {
        if (sampleWidth == 1) {
            out[0] = static_cast<uint8_t>((value >> 8) + 128);
        } else {
            const auto bits = static_cast<uint16_t>(value);
            out[0] = static_cast<uint8_t>(bits & 0xFF);
            out[1] = static_cast<uint8_t>(bits >> 8);
        }
    }
};
