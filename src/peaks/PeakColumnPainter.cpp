#include "peaks/PeakColumnPainter.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "16-bit samples are read in place as little-endian values");

PeakColumnPainter::PeakColumnPainter(const SampleData& data, MonoBitmap& image,
                                     double framesPerColumn)
    : m_data(data),
      m_image(image),
      m_stride(Stride(framesPerColumn, data.sampleRate)),
      m_laneCount(data.channels == 2 ? 2 : 1) {
    const PeakSummary* summary = data.summary;
    if (summary != nullptr && summary->IsComplete() && summary->Fits(data) &&
        summary->Stride() == m_stride && data.samples != nullptr) {
        m_pSummary = summary;
    }
}

uint32_t PeakColumnPainter::Stride(double framesPerColumn, uint32_t sampleRate) {
    if (!(framesPerColumn > 4.0)) {
        return 1;
    }
    return SparseStride(sampleRate);
}

uint32_t PeakColumnPainter::SparseStride(uint32_t sampleRate) {
    return std::max<uint32_t>(sampleRate / 11025, 1);
}

void PeakColumnPainter::SetLanes(int lane1Centre, int lane2Centre, int amplitude) {
    m_lanes[0].centre = lane1Centre;
    m_lanes[1].centre = lane2Centre;
    m_amplitude = amplitude;
}

int PeakColumnPainter::SampleAt(int64_t frame, int channel) const {
    if (frame < 0) {
        return m_data.bitsPerSample == 8 ? 128 : 0;
    }
    const uint64_t f = static_cast<uint64_t>(frame);
    if (m_data.bitsPerSample > 16 || m_data.bFloat) {
        return GetSampleDeep(m_data, f, channel);
    }
    return m_data.bitsPerSample == 8 ? GetSample8(m_data, f, channel)
                                     : GetSample16(m_data, f, channel);
}

template <int Bits>
void PeakColumnPainter::ScanDirect(uint64_t firstFrame, uint64_t reads, Peak peaks[2]) const {
    constexpr size_t kSampleBytes = Bits == kFloatSamples ? 4 : Bits / 8;
    const size_t frameBytes = kSampleBytes * m_data.channels;
    const size_t stepBytes = frameBytes * m_stride;
    const uint8_t* p = m_data.samples + firstFrame * frameBytes;
    auto load = [](const uint8_t* at) -> int {
        if constexpr (Bits == 8) {
            return *at;
        } else if constexpr (Bits == kFloatSamples || Bits > 16) {
            return DeepPictureValue(at, Bits, Bits == kFloatSamples);
        } else {
            int16_t v;
            std::memcpy(&v, at, sizeof v);
            return v;
        }
    };
    // Once min <= max holds, "below min, else above max" is the same as a plain min and max.
    if (m_laneCount == 2) {
        // Two sets of running peaks, merged at the end, keep the loop from waiting on itself.
        int min0 = peaks[0].min, max0 = peaks[0].max, min1 = peaks[1].min, max1 = peaks[1].max;
        int min2 = min0, max2 = max0, min3 = min1, max3 = max1;
        uint64_t j = 0;
        for (; j + 1 < reads; j += 2) {
            const uint8_t* a = p + stepBytes;
            const uint8_t* b = a + stepBytes;
            p = b;
            const int a0 = load(a);
            const int a1 = load(a + kSampleBytes);
            const int b0 = load(b);
            const int b1 = load(b + kSampleBytes);
            min0 = std::min(min0, a0);
            max0 = std::max(max0, a0);
            min1 = std::min(min1, a1);
            max1 = std::max(max1, a1);
            min2 = std::min(min2, b0);
            max2 = std::max(max2, b0);
            min3 = std::min(min3, b1);
            max3 = std::max(max3, b1);
        }
        if (j < reads) {
            p += stepBytes;
            min0 = std::min(min0, load(p));
            max0 = std::max(max0, load(p));
            min1 = std::min(min1, load(p + kSampleBytes));
            max1 = std::max(max1, load(p + kSampleBytes));
        }
        peaks[0] = {std::min(min0, min2), std::max(max0, max2)};
        peaks[1] = {std::min(min1, min3), std::max(max1, max3)};
    } else {
        int min0 = peaks[0].min, max0 = peaks[0].max;
        for (uint64_t j = 0; j < reads; ++j) {
            p += stepBytes;
            const int v0 = load(p);
            min0 = std::min(min0, v0);
            max0 = std::max(max0, v0);
        }
        peaks[0] = {min0, max0};
    }
}

template <int Bits>
void PeakColumnPainter::ScanWithSummary(uint64_t firstFrame, uint64_t lastFrame,
                                        Peak peaks[2]) const {
    // peaks hold the first frame. The blocks wholly inside [first, last] come from the
    // summary; the frames before and after them are read.
    const uint64_t blockFrames = m_pSummary->BlockFrames();
    const uint64_t firstBlock = (firstFrame + blockFrames - 1) / blockFrames;
    const uint64_t endBlock = std::min((lastFrame + 1) / blockFrames, m_pSummary->Blocks());
    if (firstBlock >= endBlock) {
        ScanDirect<Bits>(firstFrame, (lastFrame - firstFrame) / m_stride, peaks);
        return;
    }
    const uint64_t headEnd = firstBlock * blockFrames;
    if (headEnd > firstFrame) {
        ScanDirect<Bits>(firstFrame, (headEnd - 1 - firstFrame) / m_stride, peaks);
    }
    const auto residue = static_cast<uint32_t>(firstFrame % m_stride);
    m_pSummary->Merge(residue, firstBlock, endBlock, peaks);
    // Blocks start on multiples of the stride, so the residue's first frame after them is:
    const uint64_t tail = endBlock * blockFrames + residue;
    if (tail <= lastFrame) {
        for (int lane = 0; lane < m_laneCount; ++lane) {
            const int v = SampleAt(static_cast<int64_t>(tail), lane + 1);
            peaks[lane] = {std::min(peaks[lane].min, v), std::max(peaks[lane].max, v)};
        }
        ScanDirect<Bits>(tail, (lastFrame - tail) / m_stride, peaks);
    }
}

void PeakColumnPainter::PrefetchEdges(uint64_t firstFrame, uint32_t runLength) const {
    // The ragged edges are the only samples a long column reads, each in its own page, far
    // from the last: asking for them a few columns early hides the misses behind the work.
    const uint64_t blockFrames = m_pSummary->BlockFrames();
    const uint64_t frameBytes = m_data.channels * (m_data.bitsPerSample / 8u);
    const uint64_t edgeBytes = blockFrames * frameBytes;
    const uint64_t size = m_data.dataBytes;
    for (const uint64_t frame : {firstFrame, firstFrame + runLength - blockFrames}) {
        const uint64_t from = frame * frameBytes;
        for (uint64_t at = from; at < from + edgeBytes && at < size; at += 64) {
            __builtin_prefetch(m_data.samples + at);
        }
    }
}

void PeakColumnPainter::ScanColumn(int64_t firstFrame, uint32_t runLength, Peak peaks[2]) const {
    for (int lane = 0; lane < m_laneCount; ++lane) {
        const int v = SampleAt(firstFrame, lane + 1);
        peaks[lane] = {v, v};
    }
    if (runLength <= 1) {
        return;
    }
    // One read per counter value 1, 1 + s, 1 + 2s, ... below the run length, at frames
    // first + s, first + 2s, ...; the last may lie in the next column's run.
    const uint64_t reads = (runLength - 2) / m_stride + 1;
    const int64_t lastFrame = firstFrame + static_cast<int64_t>(reads * m_stride);
    const uint64_t frames = m_data.frameCount;
    if (firstFrame >= 0 && static_cast<uint64_t>(firstFrame) < frames &&
        m_data.samples != nullptr) {
        const auto first = static_cast<uint64_t>(firstFrame);
        auto last = static_cast<uint64_t>(lastFrame);
        if (last >= frames) {
            // The reads past the end are silence; the frames before it are read as usual.
            last = first + (frames - 1 - first) / m_stride * m_stride;
            const int silence = m_data.bitsPerSample == 8 ? 128 : 0;
            for (int lane = 0; lane < m_laneCount; ++lane) {
                peaks[lane] = {std::min(peaks[lane].min, silence),
                               std::max(peaks[lane].max, silence)};
            }
        }
        const bool bSummary = m_pSummary != nullptr && last - first >= m_pSummary->BlockFrames();
        if (bSummary) {
            PrefetchEdges(first + 2 * uint64_t{runLength}, runLength);
        }
        const uint64_t scanReads = (last - first) / m_stride;
        if (m_data.bFloat) {
            bSummary ? ScanWithSummary<kFloatSamples>(first, last, peaks)
                     : ScanDirect<kFloatSamples>(first, scanReads, peaks);
        } else if (m_data.bitsPerSample == 8) {
            bSummary ? ScanWithSummary<8>(first, last, peaks)
                     : ScanDirect<8>(first, scanReads, peaks);
        } else if (m_data.bitsPerSample == 24) {
            bSummary ? ScanWithSummary<24>(first, last, peaks)
                     : ScanDirect<24>(first, scanReads, peaks);
        } else if (m_data.bitsPerSample == 32) {
            bSummary ? ScanWithSummary<32>(first, last, peaks)
                     : ScanDirect<32>(first, scanReads, peaks);
        } else {
            bSummary ? ScanWithSummary<16>(first, last, peaks)
                     : ScanDirect<16>(first, scanReads, peaks);
        }
        return;
    }
    int64_t frame = firstFrame;
    for (uint64_t j = 0; j < reads; ++j) {
        frame += m_stride;
        for (int lane = 0; lane < m_laneCount; ++lane) {
            const int v = SampleAt(frame, lane + 1);
            if (v < peaks[lane].min) {
                peaks[lane].min = v;
            } else if (v > peaks[lane].max) {
                peaks[lane].max = v;
            }
        }
    }
}

int PeakColumnPainter::RowOf(int value, int centre) const {
    // Integer division truncates toward zero, as the rows must.
    if (m_data.bitsPerSample == 8) {
        return centre - ((value - 128) * m_amplitude) / 128;
    }
    return centre - (m_amplitude * value) / 32767;
}

void PeakColumnPainter::DrawColumn(int x, int64_t firstFrame, uint32_t runLength, bool connect) {
    Peak peaks[2];
    ScanColumn(firstFrame, runLength, peaks);
    for (int index = 0; index < m_laneCount; ++index) {
        Lane& lane = m_lanes[index];
        const int top = RowOf(peaks[index].max, lane.centre);
        int bottom = RowOf(peaks[index].min, lane.centre);
        if (bottom == top) {
            bottom = top - 1;  // a flat column still marks one pixel
        }
        m_image.DrawLine(x, top, x, bottom);
        if (connect) {
            if (bottom > lane.prevTop) {
                m_image.DrawLine(x - 1, lane.prevTop, x, bottom);
            } else if (top < lane.prevBottom) {
                m_image.DrawLine(x - 1, lane.prevBottom, x, top);
            }
        }
        lane.prevTop = top;
        lane.prevBottom = bottom;
    }
}
