#include "platform/MonoBitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// Steep lines that cross at most this many columns are drawn as vertical runs.
constexpr int kFewColumns = 4;

int ClampedSize(int size) {
    return size > 0 ? size : 0;
}

// Rounds num / den (den > 0) to the nearest integer, halves going down: the pixel chosen when a
// line passes exactly between two is the left one (steep lines) or the upper one (flat lines).
int RoundHalfDown(int64_t num, int64_t den) {
    // ceil((2 num - den) / (2 den)) without relying on the sign rules of division.
    const int64_t n = 2 * num - den;
    const int64_t d = 2 * den;
    int64_t q = n / d;
    if (n % d != 0 && n > 0) {
        ++q;
    }
    return static_cast<int>(q);
}

// The 8 pixels of a row of rowBytes bytes from bit pos on, high bit first. Pixels before the
// row's start or past its end come back white; the caller masks them out.
uint8_t Fetch8(const uint8_t* row, int rowBytes, int pos) {
    if (pos < 0) {
        return static_cast<uint8_t>((0xFF << (8 + pos)) | (row[0] >> -pos));
    }
    const int byte = pos >> 3;
    const int shift = pos & 7;
    if (shift == 0) {
        return row[byte];
    }
    const unsigned next = byte + 1 < rowBytes ? row[byte + 1] : 0xFFu;
    const unsigned pair = (static_cast<unsigned>(row[byte]) << 8) | next;
    return static_cast<uint8_t>((pair << shift) >> 8);
}

// Writes count pixels of row from bit pos on; source(p) gives the 8 pixels that belong at bits
// p ... p + 7, p a multiple of 8.
template <typename Source>
void WriteSpan(uint8_t* row, int pos, int count, Source source) {
    int done = 0;
    while (done < count) {
        const int at = pos + done;
        const int bit = at & 7;
        const int take = std::min(8 - bit, count - done);
        const uint8_t mask = static_cast<uint8_t>((0xFF >> bit) & (0xFF << (8 - bit - take)));
        uint8_t& target = row[at >> 3];
        target = static_cast<uint8_t>((target & ~mask) | (source(at - bit) & mask));
        done += take;
    }
}

}  // namespace

MonoBitmap::MonoBitmap(int width, int height)
    : m_width(ClampedSize(width)),
      m_height(ClampedSize(height)),
      m_bytesPerRow((m_width + 31) / 32 * 4),
      m_bits(static_cast<size_t>(m_bytesPerRow) * static_cast<size_t>(m_height), 0xFF),
      m_heldMasks(static_cast<size_t>(m_height), 0) {}

bool MonoBitmap::IsBlack(int x, int y) const {
    if (!Contains(x, y)) {
        return false;
    }
    WriteHeldRuns();
    return (Row(y)[x >> 3] & (0x80 >> (x & 7))) == 0;
}

void MonoBitmap::SetPixel(int x, int y, bool black) {
    if (!Contains(x, y)) {
        return;
    }
    if (!black) {
        WriteHeldRuns();
    }
    uint8_t& byte = m_bits[static_cast<size_t>(y) * m_bytesPerRow + (x >> 3)];
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
    if (black) {
        byte = static_cast<uint8_t>(byte & ~mask);
    } else {
        byte = static_cast<uint8_t>(byte | mask);
    }
}

void MonoBitmap::FillWhite() {
    WriteHeldRuns();
    std::fill(m_bits.begin(), m_bits.end(), 0xFF);
}

void MonoBitmap::FillWhite(int x, int y, int width, int height) {
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min(x + width, m_width);
    const int bottom = std::min(y + height, m_height);
    WriteHeldRuns();
    for (int row = top; row < bottom; ++row) {
        uint8_t* bits = m_bits.data() + static_cast<size_t>(row) * m_bytesPerRow;
        WriteSpan(bits, left, right - left, [](int) { return uint8_t{0xFF}; });
    }
}

void MonoBitmap::CopyRect(const MonoBitmap& source, int srcX, int srcY, int width, int height,
                          int x, int y) {
    if (&source == this) {
        const MonoBitmap copy = source;
        CopyRect(copy, srcX, srcY, width, height, x, y);
        return;
    }
    source.WriteHeldRuns();
    WriteHeldRuns();
    // Clip against both images; a pixel outside the source is left as it is.
    const int skipLeft = std::max({0, -x, -srcX});
    const int skipTop = std::max({0, -y, -srcY});
    width = std::min({width, m_width - x, source.m_width - srcX});
    height = std::min({height, m_height - y, source.m_height - srcY});
    for (int row = skipTop; row < height; ++row) {
        const uint8_t* from =
            source.m_bits.data() + static_cast<size_t>(srcY + row) * source.m_bytesPerRow;
        uint8_t* to = m_bits.data() + static_cast<size_t>(y + row) * m_bytesPerRow;
        const int offset = srcX - x;  // source bit = destination bit + offset
        WriteSpan(to, x + skipLeft, width - skipLeft,
                  [&](int pos) { return Fetch8(from, source.m_bytesPerRow, pos + offset); });
    }
}

void MonoBitmap::BlackenColumn(int x, int firstRow, int endRow) {
    if (x < 0 || x >= m_width) {
        return;
    }
    const int top = std::max(firstRow, 0);
    const int end = std::min(endRow, m_height);
    if (top >= end) {
        return;
    }
    // Clearing one bit per row walks the rows once per column; holding a byte column's runs
    // walks them once per eight.
    const int byte = x >> 3;
    const auto bit = static_cast<uint8_t>(0x80 >> (x & 7));
    if (byte < m_heldByte) {
        uint8_t* bits = m_bits.data() + byte;
        for (int y = top; y < end; ++y) {
            bits[static_cast<size_t>(y) * m_bytesPerRow] &= static_cast<uint8_t>(~bit);
        }
        return;
    }
    if (byte > m_heldByte) {
        WriteHeldRuns();
        m_heldByte = byte;
        m_heldTop = top;
        m_heldEnd = end;
    } else {
        m_heldTop = std::min(m_heldTop, top);
        m_heldEnd = std::max(m_heldEnd, end);
    }
    // Eight rows a step: a run is a few hundred rows, one byte each.
    uint8_t* masks = m_heldMasks.data();
    const uint64_t bits = bit * uint64_t{0x0101010101010101};
    int y = top;
    for (; y + 8 <= end; y += 8) {
        uint64_t word;
        std::memcpy(&word, masks + y, sizeof word);
        word |= bits;
        std::memcpy(masks + y, &word, sizeof word);
    }
    for (; y < end; ++y) {
        masks[y] |= bit;
    }
}

void MonoBitmap::WriteHeldRuns() const {
    if (m_heldByte < 0) {
        return;
    }
    uint8_t* bits = m_bits.data() + m_heldByte;
    uint8_t* masks = m_heldMasks.data();
    for (int y = m_heldTop; y < m_heldEnd; ++y) {
        if (masks[y] != 0) {
            bits[static_cast<size_t>(y) * m_bytesPerRow] &= static_cast<uint8_t>(~masks[y]);
            masks[y] = 0;
        }
    }
    m_heldByte = -1;
}

void MonoBitmap::DrawLine(int x0, int y0, int x1, int y1) {
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    if (dx == 0) {
        // Peak strokes are vertical: clear one bit per row directly.
        if (dy != 0) {
            const int first = dy > 0 ? y0 : y1 + 1;  // the rows y0 ... y1 without y1
            BlackenColumn(x0, first, first + std::abs(dy));
        }
        return;
    }
    if (std::abs(dy) >= std::abs(dx)) {
        // One pixel per row; a 45-degree line has no ties, so it may go either way.
        const int steps = std::abs(dy);
        const int stepY = dy > 0 ? 1 : -1;
        auto column = [&](int i) { return RoundHalfDown(static_cast<int64_t>(i) * dx, steps); };
        if (std::abs(dx) > kFewColumns) {
            for (int i = 0; i < steps; ++i) {
                SetPixel(x0 + column(i), y0 + i * stepY, true);
            }
            return;
        }
        // Nearly vertical (a connector between neighbouring columns): a few vertical runs, each
        // ending where the rounded column first changes, found by bisection of the same rule.
        for (int i = 0; i < steps;) {
            const int at = column(i);
            int lo = i + 1;
            int hi = steps;
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                if (column(mid) == at) {
                    lo = mid + 1;
                } else {
                    hi = mid;
                }
            }
            const int first = stepY > 0 ? y0 + i : y0 - (lo - 1);
            BlackenColumn(x0 + at, first, first + (lo - i));
            i = lo;
        }
        return;
    }
    const int steps = std::abs(dx);
    const int stepX = dx > 0 ? 1 : -1;
    for (int i = 0; i < steps; ++i) {
        SetPixel(x0 + i * stepX, y0 + RoundHalfDown(static_cast<int64_t>(i) * dy, steps), true);
    }
}
