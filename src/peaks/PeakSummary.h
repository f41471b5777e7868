#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "peaks/SampleData.h"

// The smallest and largest sample of every block of a sound, kept apart for each frame that a
// sparse column scan can start on: with a stride s, a column reads only frames of one residue
// modulo s, so each block holds s extremes per channel. Level 0 blocks are kReadsPerBlock x s
// frames; each level above joins kFanOut blocks of the one below. A column's peak is then a
// handful of whole blocks plus the frames at its two ragged edges, read directly, and comes out
// exactly as a scan of every frame it reads.
//
// Filled while the samples arrive (Add with growing byte counts), it answers only once every
// whole block is in. The sound owns it beside its samples; it keeps no pointer to them.
class PeakSummary {
  public:
    static constexpr uint32_t kReadsPerBlock = 64;
    static constexpr uint32_t kFanOut = 16;

    // An empty summary for sounds of data's shape (frames, channels, width, rate; the samples
    // are not read). Null for a shape it cannot serve (not mono or stereo, not of a width the
    // pictures draw, fewer frames than one block) or when memory runs out.
    static std::unique_ptr<PeakSummary> Create(const SampleData& shape);
    // Create, then Add of all of data's bytes.
    static std::unique_ptr<PeakSummary> Build(const SampleData& data);

    // Takes in the blocks that lie wholly in the first readyBytes of samples, the buffer of a
    // sound of the shape given to Create. Calls pass the same buffer and never fewer bytes.
    void Add(const uint8_t* samples, uint64_t readyBytes);

    // Whether every whole block is in, so that Merge may be asked.
    bool IsComplete() const { return m_done[0] == m_blocks[0]; }
    // Whether it was made for a sound of data's shape.
    bool Fits(const SampleData& data) const;

    // Frames between two reads of the scans it serves: that of columns of more than 4 frames.
    uint32_t Stride() const { return m_stride; }
    uint32_t BlockFrames() const { return m_blockFrames; }
    // Whole level-0 blocks; the frames after them belong to no block.
    uint64_t Blocks() const { return m_blocks[0]; }
    // Bytes the summary holds.
    size_t Bytes() const;

    // Widens peaks (one per channel) by the extremes of the frames of the given residue
    // (0 ... Stride() - 1) in level-0 blocks [first, end).
    void Merge(uint32_t residue, uint64_t first, uint64_t end, SamplePeak peaks[2]) const;

  private:
    PeakSummary(const SampleData& shape, uint32_t stride);
    // Level-0 blocks [from, to) from the samples.
    void SummariseBlocks(const uint8_t* samples, uint64_t from, uint64_t to);
    // Blocks of level (1 and above) that the level below now covers.
    void JoinBlocks(size_t level);
    void MergeLevel(size_t level, uint32_t residue, uint64_t first, uint64_t end,
                    SamplePeak peaks[2]) const;

    uint32_t m_frameCount;
    uint16_t m_channels;
    uint16_t m_bitsPerSample;
    bool m_bFloat;
    uint32_t m_stride;
    uint32_t m_blockFrames;
    uint32_t m_period;  // extremes per block: stride x channels
    // Per level, block b's extreme k = residue x channels + channel-1 as a pair (min, max) at
    // 2 x (b x m_period + k).
    std::vector<std::unique_ptr<int16_t[]>> m_levels;
    std::vector<uint64_t> m_blocks;  // blocks of each level
    std::vector<uint64_t> m_done;    // blocks of each level filled so far
};
