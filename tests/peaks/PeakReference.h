#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peaks/SampleData.h"
#include "platform/MonoBitmap.h"

// Test sounds and a plain reference painter, written straight from the drawing rules and
// sharing no code with the painter under test. Positions are frames, coordinates pixels.

// A sound held in memory; data points into bytes.
struct TestSound {
    std::vector<uint8_t> bytes;
    SampleData data;

    TestSound(uint32_t frames, uint16_t channels, uint16_t bits, uint32_t rate);
    TestSound(const TestSound&) = delete;
    TestSound& operator=(const TestSound&) = delete;

    // Raw sample value: unsigned 0 ... 255 for 8 bits, signed for 16; channel from 1.
    void Set(uint32_t frame, int channel, int value);
    int Get(int64_t frame, int channel) const;  // silence outside the sound
};

// A black-and-white picture kept as one flag per pixel.
struct RefImage {
    int width;
    int height;
    std::vector<char> black;

    RefImage(int w, int h) : width(w), height(h), black(static_cast<size_t>(w) * h, 0) {}
    bool At(int x, int y) const;
    void Set(int x, int y);
};

// A line with the start pixel in and the end pixel out; ties to the left or upper pixel.
void RefLine(RefImage& image, int x0, int y0, int x1, int y1);

struct RefLanes {
    int centre1;
    int centre2;
    int amplitude;
};

// Draws one run of columns: column k starts at frame startOf[k - first], each run length
// runLength, scanned with the given stride; connectors for every column after the first.
void RefDrawRun(RefImage& image, const TestSound& sound, const RefLanes& lanes, int first, int last,
                const std::vector<int64_t>& startOf, uint32_t runLength, uint32_t stride);

// Empty when the columns [from, to] of actual and expected agree; otherwise the first mismatch.
std::string CompareColumns(const MonoBitmap& actual, const RefImage& expected, int from, int to);
std::string CompareColumns(const MonoBitmap& actual, int actualFrom, const MonoBitmap& expected,
                           int expectedFrom, int columns);
// The black rows of column x.
std::vector<int> BlackRows(const MonoBitmap& image, int x);
