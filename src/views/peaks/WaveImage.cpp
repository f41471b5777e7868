#include "views/peaks/WaveImage.h"

#include "views/peaks/PeakColumnPainter.h"

namespace {

// One flag for the whole program: a failure box lets repaints in, and they must not build.
bool g_waveImageBusy = false;

// Set for the life of a build; declared before any box is shown, so cleared after it closes.
class BusyGuard {
  public:
    BusyGuard() { g_waveImageBusy = true; }
    ~BusyGuard() { g_waveImageBusy = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;
};

int64_t Frames(double columns, double samplesPerPixel) {
    return static_cast<int64_t>(columns * samplesPerPixel);
}

// Draws columns first ... last of view's image as one run starting at absolute column left.
void DrawRun(WaveImage& view, MonoBitmap& image, const SampleData& data, uint32_t left, int first,
             int last) {
    const double spp = view.m_samplesPerPixel;
    PeakColumnPainter painter(data, image, spp);
    painter.SetLanes(view.m_lane1Centre, view.m_lane2Centre, view.m_lane1Centre - 4);
    const int64_t runStart = Frames(left, spp) + Frames(first, spp);
    const uint32_t runLength = static_cast<uint32_t>(spp);
    for (int column = first; column <= last; ++column) {
        const int64_t frame = runStart + Frames(column - first, spp);
        painter.DrawColumn(column, frame, runLength, column > first);
    }
}

void SetLanes(WaveImage& view, const SampleData& data) {
    if (data.channels == 2) {
        const int half = view.m_imageHeight / 2;
        view.m_lane1Centre = half / 2;
        view.m_lane2Centre = half + half / 2;
    } else {
        view.m_lane1Centre = view.m_imageHeight / 2;
    }
}

}  // namespace

bool IsWaveImageBuildBusy() {
    return g_waveImageBusy;
}

bool BuildWaveImage(WaveImage& view, const SampleData& data, uint32_t leftColumn,
                    UserPrompts& prompts, PeakImageFactory& factory) {
    if (data.dataBytes == 0 || g_waveImageBusy) {
        return false;
    }
    const BusyGuard busy;
    // With no width the frames per column are undefined; there is nothing to show.
    if (view.m_totalWidth == 0) {
        return false;
    }

    view.m_samplesPerPixel =
        static_cast<double>(data.frameCount) / static_cast<double>(view.m_totalWidth);
    const bool scrolledRight = leftColumn > view.m_imageLeft;
    const uint32_t delta =
        scrolledRight ? leftColumn - view.m_imageLeft : view.m_imageLeft - leftColumn;
    if (delta == 0 && !view.m_fullRebuild && view.m_pImage) {
        return true;
    }

    const int width = view.m_imageWidth;
    const int height = view.m_imageHeight;
    const bool fullRebuild =
        view.m_fullRebuild || !view.m_pImage || delta > static_cast<uint32_t>(width);
    if (fullRebuild) {
        view.m_pImage.reset();
    }

    std::unique_ptr<MonoBitmap> image = factory.CreateImage(width, height);
    if (!image) {
        prompts.Message("Couldn't allocate memory to create waveform overview!");
        return false;
    }
    if (!factory.OpenDrawingSurface(*image)) {
        prompts.Message("Couldn't create DC!");
        return false;
    }

    int first = 0;
    int last = width - 1;
    if (!fullRebuild) {
        const int shift = static_cast<int>(delta);
        const MonoBitmap& old = *view.m_pImage;
        if (scrolledRight) {
            image->CopyRect(old, shift, 0, width - shift, height, 0, 0);
            image->FillWhite(width - shift, 0, shift, height);
            first = width - shift - 1;
        } else {
            image->CopyRect(old, 0, 0, width - shift, height, shift, 0);
            image->FillWhite(0, 0, shift, height);
            last = shift;
        }
    }

    view.m_imageLeft = leftColumn;
    SetLanes(view, data);
    DrawRun(view, *image, data, leftColumn, first, last);
    view.m_pImage = std::move(image);
    view.m_fullRebuild = false;
    view.m_imageStale = false;
    return true;
}
