#include "peaks/WaveImage.h"

#include "peaks/PeakColumnPainter.h"

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

}  // namespace

bool WaveImage::IsBuildBusy() {
    return g_waveImageBusy;
}

bool WaveImage::IsCurrent(const Target& target) const {
    return m_pImage && !m_bInvalid && target == m_drawn;
}

void WaveImage::SetLanes(const SampleData& data, int height) {
    if (data.channels == 2) {
        const int half = height / 2;
        m_lane1Centre = half / 2;
        m_lane2Centre = half + half / 2;
    } else {
        m_lane1Centre = height / 2;
    }
}

void WaveImage::DrawRun(MonoBitmap& image, const SampleData& data, uint32_t left, int first,
                        int last) const {
    const double spp = m_samplesPerPixel;
    PeakColumnPainter painter(data, image, spp);
    painter.SetLanes(m_lane1Centre, m_lane2Centre, m_lane1Centre - 4);
    const int64_t runStart = Frames(left, spp) + Frames(first, spp);
    const auto runLength = static_cast<uint32_t>(spp);
    for (int column = first; column <= last; ++column) {
        const int64_t frame = runStart + Frames(column - first, spp);
        painter.DrawColumn(column, frame, runLength, column > first);
    }
}

bool WaveImage::Update(const SampleData& data, const Target& target, UserPrompts& prompts,
                       PeakImageFactory& factory) {
    if (data.dataBytes == 0 || g_waveImageBusy) {
        return false;
    }
    const BusyGuard busy;
    // With no width the frames per column are undefined; there is nothing to show.
    if (target.totalWidth == 0) {
        return false;
    }
    m_samplesPerPixel =
        static_cast<double>(data.frameCount) / static_cast<double>(target.totalWidth);
    if (IsCurrent(target)) {
        return true;
    }

    const int width = target.width;
    const int height = target.height;
    const bool bScrolledRight = target.left > m_drawn.left;
    const uint32_t delta = bScrolledRight ? target.left - m_drawn.left : m_drawn.left - target.left;
    // Only a scroll keeps columns: the same size and zoom, by at most the width.
    const bool bFullRebuild = m_bInvalid || !m_pImage || width != m_drawn.width ||
                              height != m_drawn.height || target.totalWidth != m_drawn.totalWidth ||
                              delta > static_cast<uint32_t>(width);
    if (bFullRebuild) {
        m_pImage.reset();
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
    if (!bFullRebuild) {
        const int shift = static_cast<int>(delta);
        const MonoBitmap& old = *m_pImage;
        if (bScrolledRight) {
            image->CopyRect(old, shift, 0, width - shift, height, 0, 0);
            image->FillWhite(width - shift, 0, shift, height);
            first = width - shift - 1;
        } else {
            image->CopyRect(old, 0, 0, width - shift, height, shift, 0);
            image->FillWhite(0, 0, shift, height);
            last = shift;
        }
    }

    SetLanes(data, height);
    DrawRun(*image, data, target.left, first, last);
    m_pImage = std::move(image);
    m_drawn = target;
    m_bInvalid = false;
    return true;
}
