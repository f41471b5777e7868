#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A set of head-related impulse responses read from an AES69 SOFA file of the
// SimpleFreeFieldHRIR convention through libmysofa, as the file holds them: one measurement
// per direction (where a direction was measured at several distances, the one nearest 1 m),
// both ears, at the file's own rate. Directions are unit vectors in SOFA's frame: x ahead,
// y to the left, z up (so SOFA's azimuth is positive to the left; Sonomap's to the right).
// Immutable once loaded.
class SofaHrtfSet {
  public:
    // Why a file cannot serve. Each comes with a message naming the file; there is never a
    // set in its place.
    enum class Refusal {
        None,
        Unreadable,  // missing, not a regular file, too large, cut short, samples that are not
                     // numbers, or delays that are not head-related
        NotSofa,
        NotSimpleFreeFieldHrir,
        NoMeasurements,
        OneEar,
        UnusableRate,  // not 4000 to 384000 Hz, or not one rate for all measurements
        UnknownUnits,  // positions or the rate in units SOFA does not use for them
    };

    struct Loaded {
        std::shared_ptr<const SofaHrtfSet> set;  // null when refused
        Refusal refusal = Refusal::None;
        std::string message;  // empty when loaded
    };

    struct Measurement {
        std::array<double, 3> direction{};  // unit vector, SOFA's frame
        std::array<double, 2> delay{};      // the file's Data.Delay, frames at its rate
    };

    static constexpr uint32_t kLowestRate = 4000;
    static constexpr uint32_t kHighestRate = 384000;
    // Larger files are refused before libmysofa reads them: it holds the whole file.
    static constexpr uint64_t kLargestFile = 512ull << 20;
    // libmysofa has this long to read a file (and a second more for each 16 MiB of it); a file
    // it does not finish is refused.
    static constexpr double kReadSeconds = 5.0;
    // A Data.Delay past this is refused: each voice keeps a delay line of that length.
    static constexpr double kLongestDelaySeconds = 1.0;

    // The set Debian installs with libmysofa: MIT's KEMAR, 710 directions, 44.1 kHz.
    static const char* DefaultPath() { return "/usr/share/libmysofa/default.sofa"; }

    static Loaded Load(const std::string& path);

    const std::string& Path() const { return m_path; }
    uint32_t SampleRate() const { return m_rate; }  // Hz
    uint32_t Taps() const { return m_taps; }        // frames of each response
    size_t Size() const { return m_measurements.size(); }
    const Measurement& At(size_t index) const { return m_measurements[index]; }
    // Taps() samples of one ear's response (0 left, 1 right) at the file's rate.
    const float* Response(size_t index, int ear) const {
        return m_responses.data() + (index * 2 + static_cast<size_t>(ear)) * m_taps;
    }

  private:
    SofaHrtfSet() = default;

    std::string m_path;
    uint32_t m_rate = 0;
    uint32_t m_taps = 0;
    std::vector<Measurement> m_measurements;
    std::vector<float> m_responses;  // measurement, ear, tap
};
