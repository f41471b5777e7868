#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "render/SampleFormat.h"
#include "scene/Scene.h"

class DocumentHost;

// A scene written as one ADM BW64 file: each source is its own object (a stereo source two,
// left and right, as the ADM export places them), with tracks of its own that hold it as it
// reaches the listener (delayed and filtered by the stage when the space asks, without the
// distance's gain, which a renderer of the file gives from the places) at the scene's rate
// (libsoxr where its rate differs) times its gain from its onset, silence elsewhere, cut at the
// scene's end. Each object starts at its onset and lasts as long as it sounds; its blocks count
// from that start. The file is written as the ADM export writes one sound
// (AdmExportCommand::WriteFile): the same chunks, dither, loudness and failure rules. No track
// passes full scale: when the loudest would, every track is scaled down by that much, so the
// sounds keep their balance. The sources stream twice, once for their peaks and once into the
// file, so memory does not grow with the scene. Frames are output frames unless called source
// frames; the points are borrowed and outlive the export.
class AdmSceneExport {
  public:
    // The most tracks a file holds: the loudness measure's limit.
    static constexpr int kMaxTracks = 64;

    // format: the samples' (none: the finest of the sounds' own, s16 for 8 or 16 bits, s24
    // for 24 or 32-bit integers, f32 for floats). rate: the output's (0: the first source's).
    // length: the output's frames; none: to the end of the last source.
    AdmSceneExport(Scene scene, std::optional<SampleFormat> format, uint32_t rate,
                   std::optional<uint64_t> length);
    ~AdmSceneExport();
    AdmSceneExport(const AdmSceneExport&) = delete;
    AdmSceneExport& operator=(const AdmSceneExport&) = delete;

    uint32_t OutputRate() const { return m_rate; }
    uint64_t OutputFrames() const;
    // The output frames source index sounds for, from its onset, before the cut.
    uint64_t SourceFrames(size_t index) const;

    // Writes the file at path, its programme named title. False with the reason shown through
    // host's prompts: no source sounding before the end, a sound without a trajectory point or
    // of more than two channels, more than kMaxTracks tracks, a scene past 2^32 frames, a failed
    // read, resample or write.
    bool RenderTo(const std::string& path, const std::string& title, DocumentHost& host);
    // Before RenderTo: every sample times level after the scaling (a loudness target's).
    void SetLevel(float level) { m_level = level; }

  private:
    struct Voice;

    std::optional<SampleFormat> m_format;
    uint32_t m_rate;
    std::optional<uint64_t> m_length;
    float m_level = 1.0f;
    SceneSpace m_space;
    std::vector<std::unique_ptr<Voice>> m_voices;
};
