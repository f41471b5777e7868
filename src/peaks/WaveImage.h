#pragma once

#include <cstdint>
#include <memory>

#include "peaks/PeakImageFactory.h"
#include "peaks/SampleData.h"
#include "platform/MonoBitmap.h"
#include "platform/UserPrompts.h"

// The wave image of one view: the peak picture of the visible stretch at the view's zoom,
// exactly the size of the drawing area. It knows what it was drawn for and decides itself
// what an update must draw: nothing when nothing changed, the exposed columns plus one after a
// scroll, every column after Invalidate() or a change of size or zoom. The view owns it.
//
// Columns are pixels; left columns count from the start of the whole waveform, which is
// totalWidth columns wide; rows count from the top.
class WaveImage {
  public:
    // What the image is to show.
    struct Target {
        int width = 0;            // columns
        int height = 0;           // rows
        uint32_t totalWidth = 0;  // columns of the whole waveform at the current zoom
        uint32_t left = 0;        // absolute column of the image's first column

        bool operator==(const Target&) const = default;
    };

    // The next update draws every column again (a zoom, a resize).
    void Invalidate() { m_bInvalid = true; }

    // Brings the image up to date for target. Returns false when the sound holds no data, when
    // another build is under way anywhere in the program (a repaint while a failure box is
    // open), or after a failure shown through prompts; a failed update leaves the image as it
    // was, in a full redraw none, so the next update tries again.
    bool Update(const SampleData& data, const Target& target, UserPrompts& prompts,
                PeakImageFactory& factory = PeakImageFactory::Default());

    // Whether an update for target would draw nothing.
    bool IsCurrent(const Target& target) const;
    // Whether the next update draws every column.
    bool IsInvalid() const { return m_bInvalid; }
    // None before the first successful update.
    const MonoBitmap* Image() const { return m_pImage.get(); }
    uint32_t Left() const { return m_drawn.left; }
    // Frames per column of the last update.
    double SamplesPerPixel() const { return m_samplesPerPixel; }
    int Lane1Centre() const { return m_lane1Centre; }
    int Lane2Centre() const { return m_lane2Centre; }  // stereo only

    // True while a wave image is being built.
    static bool IsBuildBusy();

  private:
    void SetLanes(const SampleData& data, int height);
    // Draws columns first ... last of image as one run starting at absolute column left.
    void DrawRun(MonoBitmap& image, const SampleData& data, uint32_t left, int first,
                 int last) const;

    std::unique_ptr<MonoBitmap> m_pImage;
    Target m_drawn;
    bool m_bInvalid = true;
    double m_samplesPerPixel = 0.0;
    int m_lane1Centre = 0;
    int m_lane2Centre = 0;
};
