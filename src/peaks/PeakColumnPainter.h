#pragma once

#include <cstdint>

#include "peaks/PeakSummary.h"
#include "peaks/SampleData.h"
#include "platform/MonoBitmap.h"

// Draws the peak columns of a sound into a one-bit image: one column stands for a run of frames,
// and in each lane a black stroke runs from the run's largest to its smallest sample, joined to
// the previous column by a connector. Mono sounds have one lane, stereo two (channel 1 above).
// The painter borrows the samples and the image; both must outlive it. Rows and columns are
// pixels, runs and positions are frames. Where the samples come with a complete summary, long
// columns take its block extremes instead of reading every frame, with the same result.
class PeakColumnPainter {
  public:
    // framesPerColumn is the real frames-per-column value; it decides the scan stride.
    PeakColumnPainter(const SampleData& data, MonoBitmap& image, double framesPerColumn);

    // Lane centres (rows) and the rows from a centre to full scale, shared by both lanes.
    void SetLanes(int lane1Centre, int lane2Centre, int amplitude);

    // Scans runLength frames from firstFrame and draws column x. With connect set, a connector
    // joins it to the column drawn just before; a run's first column passes false. Frames
    // outside the sound read as silence, so firstFrame may lie before or past it.
    void DrawColumn(int x, int64_t firstFrame, uint32_t runLength, bool connect);

    // Frames between two reads of a column scan: every frame up to 4 frames per column, above
    // that one frame in every sampleRate / 11025 (at least 1).
    static uint32_t Stride(double framesPerColumn, uint32_t sampleRate);
    // The stride above 4 frames per column.
    static uint32_t SparseStride(uint32_t sampleRate);

  private:
    using Peak = SamplePeak;
    struct Lane {
        int centre = 0;
        int prevTop = 0;
        int prevBottom = 0;
    };

    void ScanColumn(int64_t firstFrame, uint32_t runLength, Peak peaks[2]) const;
    // Asks the cache for the frames a summarised column of runLength at firstFrame reads.
    void PrefetchEdges(uint64_t firstFrame, uint32_t runLength) const;
    // Bits is the sample width, or kFloatSamples for 32-bit floats.
    static constexpr int kFloatSamples = -32;
    template <int Bits>
    void ScanDirect(uint64_t firstFrame, uint64_t reads, Peak peaks[2]) const;
    // The frames firstFrame, firstFrame + stride, ... up to lastFrame, all inside the sound.
    template <int Bits>
    void ScanWithSummary(uint64_t firstFrame, uint64_t lastFrame, Peak peaks[2]) const;
    int SampleAt(int64_t frame, int channel) const;
    int RowOf(int value, int centre) const;

    const SampleData& m_data;
    MonoBitmap& m_image;
    uint32_t m_stride;
    const PeakSummary* m_pSummary = nullptr;  // null: columns read all their frames
    int m_laneCount;
    int m_amplitude = 0;
    Lane m_lanes[2];
};
