#include "PeakReference.h"

#include <cmath>
#include <cstdlib>

TestSound::TestSound(uint32_t frames, uint16_t channels, uint16_t bits, uint32_t rate) {
    const size_t bytesPerSample = bits / 8;
    bytes.assign(static_cast<size_t>(frames) * channels * bytesPerSample, bits == 8 ? 128 : 0);
    data.samples = bytes.data();
    data.dataBytes = static_cast<uint32_t>(bytes.size());
    data.frameCount = frames;
    data.channels = channels;
    data.bitsPerSample = bits;
    data.sampleRate = rate;
}

void TestSound::Set(uint32_t frame, int channel, int value) {
    const size_t index = static_cast<size_t>(frame) * data.channels + (channel - 1);
    if (data.bitsPerSample == 8) {
        bytes[index] = static_cast<uint8_t>(value);
    } else {
        const uint16_t raw = static_cast<uint16_t>(static_cast<int16_t>(value));
        bytes[2 * index] = static_cast<uint8_t>(raw & 0xFF);
        bytes[2 * index + 1] = static_cast<uint8_t>(raw >> 8);
    }
}

int TestSound::Get(int64_t frame, int channel) const {
    if (frame < 0 || frame >= data.frameCount) {
        return data.bitsPerSample == 8 ? 128 : 0;
    }
    const size_t index = static_cast<size_t>(frame) * data.channels + (channel - 1);
    if (data.bitsPerSample == 8) {
        return bytes[index];
    }
    return static_cast<int16_t>(bytes[2 * index] + 256 * bytes[2 * index + 1]);
}

bool RefImage::At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height && black[static_cast<size_t>(y) * width + x];
}

void RefImage::Set(int x, int y) {
    if (x >= 0 && y >= 0 && x < width && y < height) {
        black[static_cast<size_t>(y) * width + x] = 1;
    }
}

namespace {

// Nearest integer to v, a value exactly halfway going down.
int NearestHalfDown(double v) {
    const double below = std::floor(v);
    return static_cast<int>(v - below > 0.5 ? below + 1 : below);
}

}  // namespace

void RefLine(RefImage& image, int x0, int y0, int x1, int y1) {
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    if (dx == 0 && dy == 0) {
        return;
    }
    if (std::abs(dy) >= std::abs(dx)) {
        for (int y = y0; y != y1; y += (dy > 0 ? 1 : -1)) {
            const double x = x0 + static_cast<double>(dx) * (y - y0) / dy;
            image.Set(NearestHalfDown(x), y);
        }
    } else {
        for (int x = x0; x != x1; x += (dx > 0 ? 1 : -1)) {
            const double y = y0 + static_cast<double>(dy) * (x - x0) / dx;
            image.Set(x, NearestHalfDown(y));
        }
    }
}

void RefDrawRun(RefImage& image, const TestSound& sound, const RefLanes& lanes, int first, int last,
                const std::vector<int64_t>& startOf, uint32_t runLength, uint32_t stride) {
    const int laneCount = sound.data.channels == 2 ? 2 : 1;
    int prevTop[2] = {0, 0};
    int prevBottom[2] = {0, 0};
    for (int x = first; x <= last; ++x) {
        const int64_t f0 = startOf[static_cast<size_t>(x - first)];
        for (int lane = 0; lane < laneCount; ++lane) {
            const int channel = lane + 1;
            int lo = sound.Get(f0, channel);
            int hi = lo;
            if (runLength > 1) {
                uint32_t k = 1;
                int64_t f = f0 + stride;
                do {
                    const int v = sound.Get(f, channel);
                    if (v < lo) {
                        lo = v;
                    } else if (v > hi) {
                        hi = v;
                    }
                    k += stride;
                    f += stride;
                } while (k < runLength);
            }
            const int c = lane == 0 ? lanes.centre1 : lanes.centre2;
            const int a = lanes.amplitude;
            auto row = [&](int v) {
                if (sound.data.bitsPerSample == 8) {
                    return c - static_cast<int>(std::trunc((v - 128) * a / 128.0));
                }
                return c - static_cast<int>(std::trunc(static_cast<double>(a) * v / 32767.0));
            };
            const int top = row(hi);
            int bottom = row(lo);
            if (bottom == top) {
                bottom = top - 1;
            }
            RefLine(image, x, top, x, bottom);
            if (x > first) {
                if (bottom > prevTop[lane]) {
                    RefLine(image, x - 1, prevTop[lane], x, bottom);
                } else if (top < prevBottom[lane]) {
                    RefLine(image, x - 1, prevBottom[lane], x, top);
                }
            }
            prevTop[lane] = top;
            prevBottom[lane] = bottom;
        }
    }
}

std::string CompareColumns(const MonoBitmap& actual, const RefImage& expected, int from, int to) {
    if (actual.Width() != expected.width || actual.Height() != expected.height) {
        return "size differs";
    }
    for (int x = from; x <= to; ++x) {
        for (int y = 0; y < expected.height; ++y) {
            if (actual.IsBlack(x, y) != expected.At(x, y)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") should be " +
                       (expected.At(x, y) ? "black" : "white");
            }
        }
    }
    return "";
}

std::string CompareColumns(const MonoBitmap& actual, int actualFrom, const MonoBitmap& expected,
                           int expectedFrom, int columns) {
    for (int i = 0; i < columns; ++i) {
        for (int y = 0; y < expected.Height(); ++y) {
            if (actual.IsBlack(actualFrom + i, y) != expected.IsBlack(expectedFrom + i, y)) {
                return "column " + std::to_string(actualFrom + i) + " row " + std::to_string(y) +
                       " differs from column " + std::to_string(expectedFrom + i);
            }
        }
    }
    return "";
}

std::vector<int> BlackRows(const MonoBitmap& image, int x) {
    std::vector<int> rows;
    for (int y = 0; y < image.Height(); ++y) {
        if (image.IsBlack(x, y)) {
            rows.push_back(y);
        }
    }
    return rows;
}
