#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "deliver/ResampledSources.h"
#include "formats/PcmFormat.h"
#include "render/SampleFormat.h"
#include "render/TpdfDither.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"

class BlockWriter;
class RoomBus;
class ExportLoudness;
class CSoundFile;
class ImportResampler;
class PanPointList;
class PointSourcePanner;
class ResampledMono;
class ProgressIndicator;
class SpeakerLayout;

// The render loop of the Ambisonics export: encodes a sound into AmbiX (ACN, SN3D) of order 1
// to 3 as it reaches the listener (Propagation: the direction, the gain and the signal of its
// arrival along its trajectory in 3-D) and hands the frames to a sound file in blocks of
// kBlockFrames, servicing the progress window once per block.
// A two-channel source is two sources, the left at the azimuth less half the width, the right
// at the azimuth plus half, as the preview places them. The place is taken at the edges of
// runs of kRunFrames output frames and the harmonic gains move in a straight line between.
// At another output rate the source goes through libsoxr first, the place following the
// output frame's time.
//
// Integer output is dithered, floats are not. No output passes full scale: when the loudest the
// encoding could give (the source's peak times the largest gain the stage can give it) would,
// the whole file is scaled down by that much. The samples and
// the points are borrowed and must outlive the object. Frames are frames of the sound at its
// rate unless called output frames.
//
// With a loudspeaker layout in the options it writes that layout's feeds instead of AmbiX: one
// channel per loudspeaker in the layout's order, each source's gains from BS.2127's
// point-source panner times the arrival's gain, the LFE silent. The same runs, scaling and
// output follow.
//
// In a room the reflections and the late tail join the direct sound (RoomBus), heard at the
// output's rate (from the sound brought there, when the rates differ). Their bound would scale a
// file down far more than it needs, so a render in a room keeps its floats in an unnamed file
// beside the output and scales by the peak it found.
class AmbisonicsExport {
  public:
    static constexpr uint32_t kBlockFrames = 8192;
    static constexpr uint32_t kRunFrames = 256;

    enum class Outcome { Finished, Cancelled, WriteFailed, ResampleFailed };

    struct Options {
        int order = 1;                            // 1 .. 3
        SampleFormat format = SampleFormat::S16;  // of the output
        uint32_t rate = 0;                        // output frames per second; 0: the source's
        const SpeakerLayout* pLayout = nullptr;   // loudspeaker feeds in place of AmbiX
        float level = 1.0f;  // times every output sample after any scaling down (a loudness
                             // target's)
    };

    AmbisonicsExport(std::unique_ptr<RenderInput> input, const PanPointList& points,
                     const Options& options, const SceneSpace& space = {});
    ~AmbisonicsExport();
    AmbisonicsExport(const AmbisonicsExport&) = delete;
    AmbisonicsExport& operator=(const AmbisonicsExport&) = delete;

    // False when the trajectory has no point.
    bool StartTrajectory() const;
    // A room's work split with a second thread where one may be had (for one export alone).
    void ShareWork(bool bShare);
    int Channels() const { return m_channels; }
    uint32_t OutputRate() const { return m_outputRate; }
    uint64_t OutputFrames() const { return m_outputFrames; }
    // The output's header; none when the data would not fit a sound file of 32-bit sizes.
    // bLargeForm: the file may grow past them (a WAV file, which becomes RF64).
    std::optional<PcmFormat> OutputFormat(bool bLargeForm = false) const;
    // The data's bytes, held at the 32-bit most where the form is large.
    uint32_t OutputDataBytes() const;

    // Encodes every frame into output, whose header is written. Sets the progress range to
    // 0 .. 100 and reads Cancel after each full block only. Nothing is closed. Blocks are
    // handed to output on a thread of their own while the next ones encode; every write is
    // over when Render returns or throws.
    Outcome Render(CSoundFile& output, ProgressIndicator& progress);
    // The same encoding, before the scale-down and the dither, for a caller that mixes several
    // sounds as they stream: the next frames output frames times gain added into out (frames x
    // Channels() floats, full scale 1.0), from the first frame on with the first call; past the
    // end nothing is added. Finished or ResampleFailed.
    Outcome AddNext(float* out, uint64_t frames, float gain);
    // Before AddNext: the blocks it reads and encodes, frames (a multiple of kRunFrames); a
    // mix of many sounds holds smaller ones. The samples do not change with it.
    void UseBlockFrames(uint32_t frames) { m_blockFrames = frames; }
    // Before the first frame: a sound heard dry at another rate takes what an earlier render
    // of the same key resampled from shared, or leaves what it resamples there once whole. Key
    // names the samples (ResampledSources::KeyOfFile); the rates are added to it here.
    void ShareResampling(ResampledSources& shared, const std::string& key);
    // In a room, the largest magnitude AddNext has added so far, before its gain; 0 elsewhere,
    // where Loudest bounds it before.
    double AddedPeak() const { return m_addedPeak; }
    // Whether the sound is heard in a room (its bound is then only a bound; see above).
    bool IsInRoom() const { return m_propagation.HasRoom(); }
    // Before Render of a render in a room: the folder of the unnamed file its floats wait in.
    void KeepMixIn(const std::string& folder) { m_spillFolder = folder; }
    // Frames [first, first + frames) of the same encoding at the sound's own rate, before the
    // scale-down and the dither, into out (frames x Channels() floats): the very runs and gains
    // the whole render gives them, for playback that renders ahead. False at another output
    // rate or past the end.
    bool RenderSpan(uint32_t first, uint32_t frames, float* out);
    // The loudest the encoding could give (full scale 1.0): the source's peak times the largest
    // gain the stage can give it. Render scales the file down when it passes the limit.
    double Loudest() const;

    // Before Render: every block written is also measured by loudness (borrowed).
    void MeasureWith(ExportLoudness* loudness) { m_pLoudness = loudness; }
    // How far the whole file is scaled down, in dB (positive); 0 when it is not.
    double ScaleDownDb() const;
    // The same as the factor every sample is written at (1 unless scaled down).
    float OutputGain() const;
    const std::string& ResampleError() const { return m_resampleError; }

    // Zeroes the LFE channels of layout (none: AmbiX, nothing to do) in bytes of frames in
    // format: dither would put noise on them.
    static void SilenceLfe(const SpeakerLayout* layout, SampleFormat format, uint8_t* buffer,
                           size_t bytes);

  private:
    // The channel gains of every source at output frame o into gains.
    void GainsAt(uint64_t o, float* gains);
    // Encodes count output frames of m_pending's sources, from output frame m_done on, and
    // queues the full blocks. False when a write failed.
    bool Encode(size_t count, BlockWriter* writer);
    // The block filled so far to the writer, or onto m_added when there is none.
    bool Flush(BlockWriter* writer);
    // The loop from its first frame: Start, then Step until it is over.
    void Start();
    // One block of the sound read, encoded and handed on (the last also the rest); false once
    // there is none left, with outcome set.
    bool Step(BlockWriter* writer, Outcome& outcome);
    Outcome Run(BlockWriter* writer, ProgressIndicator& progress);
    // Render in a room: every block into an unnamed file, then scaled by the peak found.
    Outcome RenderInRoom(BlockWriter& writer, ProgressIndicator& progress);
    // The count frames from frame from through the resampler onto m_pending, or what a
    // shared render kept of them. False with m_resampleError set when libsoxr failed.
    bool Resample(uint64_t from, uint32_t count);
    // The resampler's last frames onto m_pending; the record left to be shared once whole.
    bool FinishResampling();
    // m_resampled onto m_pending, and onto the record.
    void AppendResampled();
    // The room's resampled sound onto m_pending, up to output frame until.
    bool ReadFromRoom(uint64_t until);
    // The room's frames up to output frame until onto m_roomPending.
    bool AddRoom(uint64_t until);

    std::unique_ptr<RenderInput> m_pInput;
    const PanPointList& m_points;
    Options m_options;
    int m_sources;
    int m_channels;
    uint32_t m_outputRate;
    uint64_t m_outputFrames;
    // The bound and the scale it gives, read from the whole sound when first asked (a mix of
    // several sounds, which bounds them itself, never asks).
    void Bound() const;
    mutable std::optional<double> m_loudest;
    mutable float m_gain = 1.0f;
    std::string m_resampleError;
    ExportLoudness* m_pLoudness = nullptr;

    Propagation m_propagation;
    Propagation::Reader m_read;                    // the sound's own frames, for the stage
    std::unique_ptr<PointSourcePanner> m_pPanner;  // with a layout only
    std::unique_ptr<ImportResampler> m_pResampler;
    // Resampling shared between renders: the key, the stream being replayed (and where it
    // stands) or the one being recorded.
    ResampledSources* m_pShared = nullptr;
    std::string m_sharedKey;
    std::shared_ptr<const ResampledSources::Stream> m_pReplay;
    size_t m_replayPiece = 0, m_replayAt = 0;
    std::unique_ptr<ResampledSources::Stream> m_pRecord;
    TpdfDither m_dither;
    uint32_t m_blockFrames = kBlockFrames;
    uint64_t m_done = 0;              // output frames encoded
    std::vector<float> m_pending;     // source samples at the output rate, not yet encoded
    std::vector<float> m_from, m_to;  // gains at the current run's edges
    std::vector<float> m_mix;         // encoded frames of the block being filled
    uint32_t m_mixFrames = 0;
    // Where the loop stands: the next frame of the sound to read, whether it is over.
    uint64_t m_nextRead = 0;
    bool m_bOver = false;
    bool m_bStarted = false;  // AddNext's loop has begun
    // AddNext's encoded frames not yet added, from m_addedAt on.
    std::vector<float> m_added;
    size_t m_addedAt = 0;
    std::vector<float> m_block;
    std::vector<double> m_wide, m_resampled;
    double m_addedPeak = 0.0;
    std::string m_spillFolder;
    // In a room: its reflections and tail, and the frames made not yet encoded. Where the
    // output's rate is not the sound's, the room is heard at the output's, from the sound
    // brought there and the points moved to its frames: half the work for a sound at twice the
    // rate, and nothing of the room to resample.
    std::unique_ptr<RoomBus> m_pRoom;
    std::unique_ptr<PanPointList> m_pRoomPoints;
    std::unique_ptr<ResampledMono> m_pRoomSource;
    std::unique_ptr<Propagation> m_pRoomStage;
    // A mono sound heard as it is is the room's resampled sound itself: the direct sound reads it
    // there, up to output frame m_directNext, and nothing is resampled twice.
    bool m_bDirectFromRoom = false;
    uint64_t m_directNext = 0;
    uint64_t m_roomNext = 0;  // the output frame the room makes next
    std::vector<float> m_roomPending;
};
