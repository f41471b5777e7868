#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "formats/PcmFormat.h"
#include "render/SampleFormat.h"
#include "render/SpatialFilter.h"
#include "render/TpdfDither.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"

class CSoundFile;
class RoomBus;
class ExportLoudness;
class PanPointList;
class ProgressIndicator;

// The render loop of the stereo export: walks a sound as it reaches the listener (Propagation:
// its arrival along the trajectory), places each sample with its own SpatialFilter and hands the
// stereo frames to a sound file in blocks of kBlockBytes, servicing the progress window once per
// block. A two-channel source is mixed down to one channel, (L + R) / 2, first. It owns its input,
// filter and cursor, so exports on other threads share nothing mutable; the points are borrowed and
// must outlive it. A frontal trajectory heard dry steps its pan and runs 8 and 16 bits through the
// filter's exact integer path; a trajectory all around, or any heard with Doppler or air, is
// rendered as its frontal fold with the arrival's gain, in runs of kPlaceRunFrames. Frames and
// positions are sample frames (heard frames, which with Doppler run on past the sound's); sizes are
// bytes.
class StereoExport {
  public:
    static constexpr uint32_t kBlockBytes = 32768;

    enum class Outcome { Finished, Cancelled, WriteFailed };

    StereoExport(std::unique_ptr<RenderInput> input, const PanPointList& points,
                 const SceneSpace& space = {});
    ~StereoExport();
    // The frames the output holds: the sound's, and with Doppler what is still on its way.
    uint32_t OutputFrames() const;
    uint32_t SourceRate() const { return m_pInput->Rate(); }

    // The output's format: the source's rate, tag and width with two channels. None when
    // the source is not 8 or 16 bits nor a deep format the document keeps, or the stereo data would
    // not fit a 32-bit form and bLargeForm does not allow more (a WAV file, which becomes RF64).
    static std::optional<PcmFormat> OutputFormat(const PcmFormat& source, uint32_t frameCount,
                                                 bool bLargeForm = false);
    // The same with the samples in sampleFormat when one is given.
    static std::optional<PcmFormat> OutputFormatFor(const PcmFormat& source, uint32_t frameCount,
                                                    std::optional<SampleFormat> sampleFormat,
                                                    bool bLargeForm = false);
    // Writes the samples in format instead of the source's: TPDF-dithered where it is coarser
    // than the source, exactly where it is as fine or finer.
    void SetSampleFormat(SampleFormat format);
    // After SetSampleFormat: every output sample times gain (a loudness target's), dithered
    // again where the output is integers.
    void SetLevel(float gain);
    // Bytes of stereo sample data the output receives, as a 32-bit header announces them
    // (at most 0xFFFFFFFF; a larger form holds the real size).
    uint32_t OutputDataBytes() const;

    // Picks the filter's band for the source's rate; false when the rate is in none.
    bool SelectRate();
    // A room's work split with a second thread where one may be had (for one export alone).
    void ShareWork(bool bShare);
    // Starts the walk along the trajectory; false when it has no point.
    bool StartTrajectory();
    // Whether the trajectory leaves the front half-circle: the file then holds its frontal
    // fold with the distance gain.
    bool IsFoldingPlaces() const { return !m_propagation.IsFrontal(); }

    // Renders every frame into output, whose header is written, after SelectRate and
    // StartTrajectory succeeded. Sets the progress range to 0 .. 100 and reads Cancel after
    // each full block only, so a sound shorter than a block is never cancelled. Finished: all
    // samples were handed to output. Nothing is closed. Full blocks are handed to output on
    // a thread of its own while the next blocks render; every write is over when Render
    // returns or throws.
    Outcome Render(CSoundFile& output, ProgressIndicator& progress);
    // Before Render: every block written is also measured by loudness (borrowed).
    void MeasureWith(ExportLoudness* loudness) { m_pLoudness = loudness; }

    // Frames [first, last) of what Render hands to the file, into out ((last - first) stereo
    // frames of the output's width); false when the rate or the trajectory does not allow an
    // export. The filter starts afresh on the block boundary kWarmupFrames or more before first,
    // so a span within the first blocks matches the file bit for bit, and a later one once the
    // filter's memory of the start has died away.
    bool RenderSpan(uint32_t first, uint32_t last, uint8_t* out);
    // RenderSpan in steps: StartSpan, then RenderSpanTo as far as needed, each call going on
    // where the last stopped (whole blocks, so it may go past until). RenderSpanTo returns the
    // frames of the span that out holds so far; out is the same buffer every time.
    bool StartSpan(uint32_t first, uint32_t last);
    uint32_t RenderSpanTo(uint32_t until, uint8_t* out);

    static constexpr uint32_t kWarmupFrames = 16384;

    // The frames the export writes in f32 a block at a time, for a caller that mixes several
    // sounds as they stream: after StartSpan(0, OutputFrames()), the next block of the export's
    // grid into out (stereo interleaved, full scale 1.0, resized); its frames, 0 at the end.
    uint32_t RenderNextFloats(std::vector<float>& out);

  private:
    // Renders frames [i, last) into out, the direction stepped as the trajectory goes.
    void RenderFrames(uint32_t i, uint32_t last, uint8_t* out);
    // A gain moving in a straight line across a run of length frames, from offset frames in.
    struct Ramp {
        double from = 1.0;
        double to = 1.0;
        uint32_t offset = 0;
        uint32_t length = 1;
    };
    // count frames of the working floats (mono, 16-bit scale) with the gain, filtered and stored
    // at the source's width.
    // room: the room's frames to add (2 floats a frame, 16-bit scale), or null.
    void RenderFloats(float* mono, uint32_t count, const Ramp& gain, const float* room,
                      uint8_t* out);

    // A trajectory all around is rendered in runs this long: one direction each, the distance
    // gain moving in a straight line across it.
    static constexpr uint32_t kPlaceRunFrames = 64;

    void ApplyPan(int32_t pan);
    // count rendered samples at the source's width as floats of full scale 1.0 into out.
    void DecodeRendered(const uint8_t* rendered, size_t count, std::vector<float>& out) const;
    // Turns bytes of rendered frames at the source's width into the output format in out;
    // returns the bytes written.
    uint32_t Convert(const uint8_t* rendered, uint32_t bytes, uint8_t* out);

    std::unique_ptr<RenderInput> m_pInput;
    const PanPointList& m_points;
    int m_sampleWidth;  // bytes per sample of one channel: 1, 2, 3 or 4
    bool m_bDeep;       // 24 or 32 bits, or floats: the filter works on floats
    SpatialFilter m_filter;
    Propagation m_propagation;
    Propagation::Reader m_readMono;              // the sound mixed to one channel, at 16-bit scale
    std::optional<int32_t> m_lastPan;            // the direction the filter holds
    std::optional<SampleFormat> m_outputFormat;  // none: the source's own
    bool m_bDitherOutput = false;
    float m_level = 1.0f;
    TpdfDither m_dither;
    std::vector<uint8_t> m_rendered;  // a block at the source's width, before conversion
    std::vector<float> m_floats;
    std::vector<float> m_mono;   // a block's samples, when the filter works on floats
    std::vector<float> m_pairs;  // a run's stereo floats
    uint32_t m_spanFirst = 0;    // the span being rendered, and the next block
    uint32_t m_spanLast = 0;
    uint32_t m_spanNext = 0;
    std::vector<uint8_t> m_scratch;  // a block partly outside the span
    ExportLoudness* m_pLoudness = nullptr;
    std::unique_ptr<RoomBus> m_pRoom;  // in a room: its reflections and tail, panned
    std::vector<float> m_room;         // a block's frames of it
};
