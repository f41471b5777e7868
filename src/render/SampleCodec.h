#pragma once

#include <cmath>
#include <cstdint>

// Stored samples to and from the filter's 16-bit scale, one at a time. Stored samples are 8-bit
// unsigned with 128 as silence, or 16-bit signed little-endian. Inline, as every kernel's tail
// runs through these.
class SampleCodec {
  public:
    static float Read(const uint8_t* stored, int sampleWidth) {
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

    // Clips, truncates and stores left then right in the given width (1 or 2 bytes each).
    static void WritePair(float left, float right, int sampleWidth, uint8_t* out) {
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
