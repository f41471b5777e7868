#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/PcmFormat.h"

class CTesselDoc;
class SampleBuffer;

// The one reader of a sound's samples for rendering: every export, the filter's preview and
// the mixer's feed take their samples here, whatever the stored depth (8, 16, 24, 32-bit
// integers or 32-bit floats), mono or stereo. The samples come from a document's memory,
// shared so they stay whole while this input lives, or from a sound file read as asked
// (the command line's renders of long files).
//
// Values are floats of full scale `unit` (1.0 unless asked otherwise; the filter works at
// 32768): exact for every integer depth, and for floats held as SampleDecoder says (not a
// number: silence; infinities: full scale; past 32768 full scales: held there). A frame is
// channels × bytes per sample of the stored form, never a header's block align. Frames past
// the end read as silence. Each input is for one thread; make another for another thread.
class RenderInput {
  public:
    // Where stored frames come from: bytes in memory, or a part of a file.
    class Source;

    // The document's samples, shared with it.
    static std::unique_ptr<RenderInput> OfDocument(const CTesselDoc& document);
    // frameCount frames of format in memory; samples must outlive the input.
    static std::unique_ptr<RenderInput> OfMemory(const uint8_t* samples, const PcmFormat& format,
                                                 uint32_t frameCount);

    ~RenderInput();
    RenderInput(const RenderInput&) = delete;
    RenderInput& operator=(const RenderInput&) = delete;

    const PcmFormat& Format() const { return m_format; }
    uint32_t Frames() const { return m_frameCount; }
    int Channels() const { return m_channels; }
    uint32_t Rate() const { return m_format.sampleRate; }
    // Bytes of one stored frame.
    uint32_t FrameBytes() const { return m_frameBytes; }
    // Integers of 8 or 16 bits: the stored form the filter's exact path reads as it is.
    bool IsShallow() const { return !m_bFloat && m_bits <= 16; }

    // count frames from first: count × Channels() floats, interleaved, left first.
    void Read(uint32_t first, uint32_t count, float* out, float unit = 1.0f);
    // count frames from first, one float each: the sound's own, or (L + R) / 2. bWholeSteps:
    // for two channels of 8 or 16 bits, the mix in whole 16-bit steps toward zero, as a 16-bit
    // mix of them holds it.
    void ReadMono(uint32_t first, uint32_t count, float* out, float unit = 1.0f,
                  bool bWholeSteps = false);
    // The stored bytes of count frames from first (count × FrameBytes(), frames past the end as
    // silence), for a renderer that takes them as they are: the filter's 8- and 16-bit path, a
    // copy in the sound's own format. Valid until the next call.
    const uint8_t* ReadStored(uint32_t first, uint32_t count);

    // The loudest the sound's channels reach together, full scale 1.0: |s| of one channel,
    // |L| + |R| of two. Reads the whole sound.
    float PeakSum();

    // Whether every read so far found its bytes (a file read can fail); a failed read gave
    // silence.
    bool IsOk() const { return m_bOk; }

  private:
    RenderInput(std::unique_ptr<Source> source, const PcmFormat& format, uint32_t frameCount);

    // The stored bytes of [first, first + count), all inside the sound.
    const uint8_t* Stored(uint32_t first, uint32_t count);

    std::unique_ptr<Source> m_pSource;
    PcmFormat m_format;
    uint32_t m_frameCount;
    int m_channels;
    int m_bits;
    bool m_bFloat;
    uint32_t m_frameBytes;
    bool m_bOk = true;
    std::vector<uint8_t> m_stored;  // a read from a file, or frames padded with silence
};
