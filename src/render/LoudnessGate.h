#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// ITU-R BS.1770-4's gating over a render's 100 ms steps: each step's weighted energy (the sum
// over the channels of weight times the K-weighted sum of squares) closes a 400 ms block with
// the three before it; the integrated loudness leaves out the blocks under -70 LUFS, then those
// more than 10 LU under the mean of the rest. Cheap to copy, to read a result mid-way.
class LoudnessGate {
  public:
    // The next step, stepFrames frames long.
    void Take(double stepEnergy, uint32_t stepFrames);
    // LUFS; -infinity until a block is louder than the absolute gate.
    double IntegratedLoudness() const;

  private:
    // The mean power of the blocks at or above threshold; none when there are none.
    std::optional<double> MeanFrom(double threshold) const;

    double m_lastSteps[3] = {};    // the three step energies before the next
    uint64_t m_steps = 0;          // taken
    std::vector<double> m_blocks;  // mean weighted power of each 400 ms block
};
