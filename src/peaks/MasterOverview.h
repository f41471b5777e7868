#pragma once

#include <memory>

#include "peaks/PeakImageFactory.h"
#include "peaks/SampleData.h"
#include "platform/MonoBitmap.h"
#include "platform/UserPrompts.h"

// The master overview: a peak image of the whole sound, min(frames, 1024) columns by 200 rows,
// each column standing for frames / width frames (the frames past width x step are not shown).
// The document owns the image it gets back and drops any earlier one before building.

// Returns the new image, or null after a failure that has been shown through prompts. A sound of
// zero frames has no overview: null, and no message.
std::unique_ptr<MonoBitmap> BuildMasterOverview(
    const SampleData& data, UserPrompts& prompts,
    PeakImageFactory& factory = PeakImageFactory::Default());

constexpr int kMasterOverviewMaxWidth = 1024;  // columns
constexpr int kMasterOverviewHeight = 200;     // rows
