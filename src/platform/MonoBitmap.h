#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A one-bit image that owns its pixels: bit 1 is white (background), bit 0 black. Rows are
// packed most significant bit first and padded to 32 bits, the layout a mono QImage wants.
// Coordinates are pixels; anything drawn outside the image is clipped. Vertical runs of a line
// may be held back and written eight columns (one byte) at a time; every look at the pixels and
// every change other than blackening writes them first, so no caller sees the difference. Not
// thread-safe, const members included.
class MonoBitmap {
  public:
    // A white width x height image. Throws std::bad_alloc when memory runs out.
    MonoBitmap(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Bytes per row, a multiple of 4.
    int BytesPerRow() const { return m_bytesPerRow; }
    const uint8_t* Row(int y) const {
        WriteHeldRuns();
        return m_bits.data() + static_cast<size_t>(y) * m_bytesPerRow;
    }

    // True when (x, y) lies in the image and is black.
    bool IsBlack(int x, int y) const;
    void SetPixel(int x, int y, bool black);

    void FillWhite();
    // Whitens the rectangle (the raster operation WHITENESS).
    void FillWhite(int x, int y, int width, int height);
    // Copies width x height pixels from (srcX, srcY) of source to (x, y) here (SRCCOPY).
    void CopyRect(const MonoBitmap& source, int srcX, int srcY, int width, int height, int x,
                  int y);
    // A black one-pixel line from (x0, y0) towards (x1, y1): the start pixel is drawn, the end
    // pixel is not, and ties between two pixels go the way GDI's cosmetic lines send them.
    void DrawLine(int x0, int y0, int x1, int y1);

  private:
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
    // Blackens rows [firstRow, endRow) of column x, clipped to the image. Runs in the held byte
    // column, or right of it, are held; blackening commutes, so runs left of it go straight in.
    void BlackenColumn(int x, int firstRow, int endRow);
    // Clears the held runs' bits from the pixels.
    void WriteHeldRuns() const;

    int m_width;
    int m_height;
    int m_bytesPerRow;
    // Mutable: held runs go into the pixels on the first look at them.
    mutable std::vector<uint8_t> m_bits;
    mutable std::vector<uint8_t> m_heldMasks;  // per row, the held bits of the held byte column
    mutable int m_heldByte = -1;               // that byte column (x / 8), -1 for none
    mutable int m_heldTop = 0;                 // rows [top, end) may hold bits
    mutable int m_heldEnd = 0;
};
