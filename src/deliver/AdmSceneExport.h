#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "render/SampleFormat.h"

class DocumentHost;
class PanPointList;
class RenderInput;

// A scene of several sounds written as one ADM BW64 file: each sound is its own object (a
// stereo sound two, left and right, as the ADM export places them), with tracks of its own
// that hold its samples at the scene's rate (libsoxr where its rate differs) times its gain
// from its onset, silence elsewhere, cut at the scene's end. Each object starts at its onset
// and lasts as long as it sounds; its blocks count from that start. The file is written as the
// ADM export writes one sound (AdmExportCommand::WriteFile): the same chunks, dither, loudness
// and failure rules. No track passes full scale: when the loudest would, every track is
// scaled down by that much, so the sounds keep their balance. Frames are output frames unless
// called source frames; the samples and points are borrowed and outlive the scene.
class AdmSceneExport {
  public:
    struct Event {
        std::unique_ptr<RenderInput> input;
        const PanPointList* points = nullptr;  // frames of the source at its own rate
        std::string name;                      // the object's (with " left"/" right" for two)
        uint64_t onset = 0;                    // output frames
        float gain = 1.0f;                     // linear
    };

    // The most tracks a file holds: the loudness measure's limit.
    static constexpr int kMaxTracks = 64;

    // format: the samples' (none: the finest of the sounds' own, s16 for 8 or 16 bits, s24
    // for 24 or 32-bit integers, f32 for floats). rate: the output's (0: the first event's).
    // length: the output's frames; none: to the end of the last event.
    AdmSceneExport(std::optional<SampleFormat> format, uint32_t rate,
                   std::optional<uint64_t> length);
    ~AdmSceneExport();
    AdmSceneExport(const AdmSceneExport&) = delete;
    AdmSceneExport& operator=(const AdmSceneExport&) = delete;

    void AddEvent(Event event);
    uint32_t OutputRate() const { return m_rate; }
    uint64_t OutputFrames() const;
    // The output frames event index sounds for, from its onset, before the cut.
    uint64_t EventFrames(size_t index) const;

    // Writes the file at path, its programme named title. False with the reason shown through
    // host's prompts: no event sounding before the end, a sound without a trajectory point or
    // of more than two channels, more than kMaxTracks tracks, a scene past 2^32 frames, a failed
    // read, resample or write.
    bool RenderTo(const std::string& path, const std::string& title, DocumentHost& host);

  private:
    struct Voice;

    std::optional<SampleFormat> m_format;
    uint32_t m_rate;
    std::optional<uint64_t> m_length;
    std::vector<std::unique_ptr<Voice>> m_voices;
};
