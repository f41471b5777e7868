#pragma once

#include <cstdint>
#include <memory>

#include "platform/MonoBitmap.h"
#include "platform/UserPrompts.h"
#include "views/peaks/PeakImageFactory.h"
#include "views/peaks/SampleData.h"

// The wave image of one view and the fields that go with it: the peak picture of the visible
// stretch at the view's zoom, exactly the size of the drawing area. The view owns it. Columns
// are pixels; m_imageLeft and the left column count columns from the start of the whole
// waveform, which is m_totalWidth columns wide.
struct WaveImage {
    int m_imageWidth = 0;            // columns
    int m_imageHeight = 0;           // rows
    uint32_t m_imageLeft = 0;        // absolute column shown by the image's first column
    int m_lane1Centre = 0;           // rows
    int m_lane2Centre = 0;           // rows, stereo only
    bool m_fullRebuild = false;      // every column must be drawn again
    bool m_imageStale = false;       // the image must be brought up to date before the next paint
    uint32_t m_totalWidth = 0;       // columns of the whole waveform at the current zoom
    double m_samplesPerPixel = 0.0;  // frames per column
    std::unique_ptr<MonoBitmap> m_pImage;
};

// Brings view's image up to date for the left column leftColumn: a full rebuild when asked for,
// when there is no image or when it scrolled by more than its width; otherwise the kept columns
// are shifted and only the exposed ones, plus one kept column, are drawn again.
// Returns false when the sound holds no data, when another build is under way anywhere in the
// program (a repaint while a failure box is open), or after a failure shown through prompts; a
// failed build leaves m_imageLeft, m_fullRebuild and m_imageStale as they were.
bool BuildWaveImage(WaveImage& view, const SampleData& data, uint32_t leftColumn,
                    UserPrompts& prompts, PeakImageFactory& factory = PeakImageFactory::Default());

// True while a wave image is being built.
bool IsWaveImageBuildBusy();
