#pragma once

#include <cstddef>
#include <cstdint>

// AmbiX encoding: real spherical harmonics in ACN channel order with SN3D normalisation, orders
// 1 to 3 (4, 9 or 16 channels). Directions here are AmbiX's own: azimuth in degrees positive to
// the left, elevation in degrees positive up. Samples are floats of full scale 1.0.
class AmbisonicsEncoder {
  public:
    static constexpr int kMaxOrder = 3;
    static constexpr int kMaxChannels = (kMaxOrder + 1) * (kMaxOrder + 1);

    static constexpr int ChannelCount(int order) { return (order + 1) * (order + 1); }

    // The (order + 1)^2 harmonics of a direction, times gain, into out.
    static void Harmonics(int order, double azimuth, double elevation, double gain, float* out);
    // The same for a direction given as a unit vector: x ahead, y left, z up.
    static void HarmonicsOf(int order, double x, double y, double z, double gain, float* out);

    // Encodes frames frames of sources (1 or 2) interleaved sources into interleaved frames of
    // channels channels: an AmbiX order's 4, 9 or 16, or a loudspeaker layout's 2, 6, 8, 10,
    // 11, 12, 14 or 24 (std::invalid_argument for any other count). Each source's channel gains
    // move in a straight line from from to to across the run (from at the first frame; to would be
    // the frame after the last), so consecutive runs joined gain to gain carry no step. from and to
    // hold sources x channels gains, source by source. out is overwritten.
    static void EncodeRun(const float* in, int sources, uint32_t frames, const float* from,
                          const float* to, int channels, float* out);
};
