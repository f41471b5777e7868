#include "peaks/MasterOverview.h"

#include <algorithm>

#include "peaks/PeakColumnPainter.h"

std::unique_ptr<MonoBitmap> BuildMasterOverview(const SampleData& data, UserPrompts& prompts,
                                                PeakImageFactory& factory) {
    if (data.frameCount == 0) {
        return nullptr;
    }
    const uint32_t width =
        std::min<uint32_t>(data.frameCount, static_cast<uint32_t>(kMasterOverviewMaxWidth));
    const uint32_t step = data.frameCount / width;

    std::unique_ptr<MonoBitmap> image =
        factory.CreateImage(static_cast<int>(width), kMasterOverviewHeight);
    if (!image) {
        prompts.Message("Couldn't allocate memory to create master waveform overview!");
        return nullptr;
    }
    if (!factory.OpenDrawingSurface(*image)) {
        prompts.Message("Couldn't create DC!");
        return nullptr;
    }

    const bool stereo = data.channels == 2;
    const int lane1Centre = stereo ? 50 : 100;
    PeakColumnPainter painter(data, *image, static_cast<double>(step));
    painter.SetLanes(lane1Centre, stereo ? 150 : 0, lane1Centre - 4);
    for (uint32_t column = 0; column < width; ++column) {
        painter.DrawColumn(static_cast<int>(column), static_cast<int64_t>(column) * step, step,
                           column > 0);
    }
    return image;
}
