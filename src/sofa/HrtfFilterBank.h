#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sofa/SphereTriangulation.h"

class SofaHrtfSet;

// A SOFA set made ready to render at one sample rate. Each response is resampled to the rate
// with libsoxr (its gain kept; a response of one tap still gives a frame), and split into a delay
// and a delay-aligned filter: the delay is the frames before the response's onset (the first sample
// within 12 dB of its peak), relative to the earliest onset of the set, plus the file's own
// Data.Delay to the nearest frame; the filter is the whole response moved so that every onset falls
// on one frame. Nothing of a response is cut. Filters are cut into partitions of kBlockFrames and
// kept as spectra for overlap-save.
//
// The whole set is scaled by one factor so that its responses carry unit power on average
// (a diffuse-field level), which makes sets of different makers equally loud; every ratio
// within the set stays as the file has it.
//
// Directions the set leaves far open (no measurement within 10 degrees of straight ahead,
// behind, left, right, up or down) get a node of their own there: the mean of the nearest
// measurements. Interpolation then never reaches across the open part of the sphere.
//
// A set whose responses are silent, or keep nothing of their sound at the rate, is refused: a
// render never passes silence off as the set's sound.
//
// Immutable once prepared; renderers on any thread share it. Frames are at Rate().
class HrtfFilterBank {
  public:
    static constexpr uint32_t kBlockFrames = 256;  // a partition, the render grid
    static constexpr uint32_t kTransformSize = 2 * kBlockFrames;
    static constexpr uint32_t kBins = kBlockFrames + 1;
    static constexpr uint32_t kPaddedBins = 264;  // kBins rounded up to eight-float lanes

    struct Prepared {
        std::shared_ptr<const HrtfFilterBank> bank;  // null on failure
        std::string message;                         // why, naming the file; else empty
    };

    // rate: the sound's frames per second, 1000 to 768000.
    static Prepared Prepare(const SofaHrtfSet& set, uint32_t rate);

    uint32_t Rate() const { return m_rate; }
    const std::string& SetPath() const { return m_path; }
    uint32_t Partitions() const { return m_partitions; }
    uint32_t NodeCount() const { return static_cast<uint32_t>(m_delays.size() / 2); }
    // Frames by which an aligned filter lags its response: the spread of the set's onsets.
    uint32_t AlignmentFrames() const { return m_alignment; }

    // Partition p of a node's filter for ear 0 (left) or 1: kPaddedBins real parts then
    // kPaddedBins imaginary parts, scaled by 1 / kTransformSize for the inverse transform.
    const float* Spectrum(uint32_t node, int ear, uint32_t partition) const {
        return m_spectra.data() + SpectrumOffset(node, ear, partition);
    }
    // Frames before a node's aligned filter, whole for a measurement, a mean for a node of
    // several.
    double Delay(uint32_t node, int ear) const {
        return m_delays[static_cast<size_t>(node) * 2 + static_cast<size_t>(ear)];
    }
    // The longest any blend rounds to.
    uint32_t LongestDelay() const { return m_longestDelay; }

    // The nodes and weights of a direction in Sonomap's degrees (azimuth +90 right, 180
    // behind; elevation +90 up).
    SphereTriangulation::Blend Locate(double azimuthDeg, double elevationDeg) const;

  private:
    HrtfFilterBank() = default;
    size_t SpectrumOffset(uint32_t node, int ear, uint32_t partition) const {
        return ((static_cast<size_t>(node) * 2 + static_cast<size_t>(ear)) * m_partitions +
                partition) *
               2 * kPaddedBins;
    }

    std::string m_path;
    uint32_t m_rate = 0;
    uint32_t m_partitions = 0;
    uint32_t m_alignment = 0;
    uint32_t m_longestDelay = 0;
    std::vector<float> m_spectra;  // node, ear, partition, then re and im
    std::vector<double> m_delays;  // node, ear
    std::unique_ptr<SphereTriangulation> m_pTriangulation;
};
