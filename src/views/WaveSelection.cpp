#include "views/WaveSelection.h"

#include <algorithm>

using Band = WaveViewGeometry::Band;

void WaveSelection::Add(Bands& bands, const Band& band) {
    if (!band.IsEmpty()) {
        bands.push_back(band);
    }
}

void WaveSelection::Add(Bands& bands, const Bands& more) {
    bands.insert(bands.end(), more.begin(), more.end());
}

Band WaveSelection::RangeBand(const WaveViewGeometry& g) const {
    return g.ClipBand(g.ColumnOfSample(m_start), g.ColumnOfSample(m_end));
}

Band WaveSelection::CaretBand(const WaveViewGeometry& g) const {
    return g.CaretBand(m_start, m_end);
}

WaveSelection::Bands WaveSelection::InvertCaret(const WaveViewGeometry& g, bool toggle) {
    if (toggle) {
        m_bCaretVisible = !m_bCaretVisible;
    }
    Bands bands;
    Add(bands, CaretBand(g));
    return bands;
}

WaveSelection::Bands WaveSelection::HideCaret(const WaveViewGeometry& g) {
    return m_bCaretVisible ? InvertCaret(g, true) : Bands{};
}

WaveSelection::Bands WaveSelection::Set(const WaveViewGeometry& g, uint32_t start, uint32_t end) {
    Bands bands = HideCaret(g);
    if (end == start || end == start + 1) {
        if (!IsCaret()) {
            Add(bands, RangeBand(g));
        }
        m_start = start;
        m_end = start + 1;
        Add(bands, InvertCaret(g, true));
        return bands;
    }
    if (IsCaret()) {
        m_start = start;
        m_end = end;
        Add(bands, RangeBand(g));
        return bands;
    }
    const auto a0 = g.ColumnOfSample(m_start);
    const auto b0 = g.ColumnOfSample(m_end);
    const auto a1 = g.ColumnOfSample(start);
    const auto b1 = g.ColumnOfSample(end);
    if (a1 != a0 && b1 != b0) {
        Add(bands, RangeBand(g));
        m_start = start;
        m_end = end;
        Add(bands, RangeBand(g));
        return bands;
    }
    // One end stays in its column: only the band between the old and new other end changes.
    Add(bands, a1 == a0 ? g.ClipBand(b0, b1) : g.ClipBand(a0, a1));
    m_start = start;
    m_end = end;
    return bands;
}

WaveSelection::Bands WaveSelection::PlaceCaret(const WaveViewGeometry& g, uint32_t frame) {
    Bands bands;
    if (!IsCaret()) {
        Add(bands, RangeBand(g));
    } else {
        bands = HideCaret(g);
    }
    m_start = frame;
    m_end = frame + 1;
    return bands;
}

void WaveSelection::SelectAll(uint32_t frames) {
    m_start = 0;
    m_end = frames;
}

WaveSelection::Bands WaveSelection::Press(const WaveViewGeometry& g, uint32_t frame, bool bShift) {
    Bands bands = HideCaret(g);
    if (bShift) {
        if (frame > m_end || (frame >= m_start && frame - m_start >= m_end - frame)) {
            Add(bands, Set(g, m_start, frame));
            m_anchor = m_start;
        } else {
            Add(bands, Set(g, frame, m_end));
            m_anchor = m_end;
        }
        return bands;
    }
    if (!IsCaret()) {
        Add(bands, RangeBand(g));
    }
    m_start = frame;
    m_end = frame + 1;
    m_anchor = frame;
    return bands;
}

WaveSelection::Bands WaveSelection::DragTo(const WaveViewGeometry& g, uint32_t frame) {
    if (frame == m_anchor) {
        return Set(g, m_anchor, m_anchor + 1);
    }
    return Set(g, std::min(frame, m_anchor), std::max(frame, m_anchor));
}

WaveSelection::Span WaveSelection::HomeTarget(bool bExtend) const {
    if (!bExtend) {
        return Span{0, 1};
    }
    const uint32_t end = IsCaret() ? m_start : m_end;
    return end == 0 ? Span{0, 1} : Span{0, end};
}

WaveSelection::Span WaveSelection::EndTarget(bool bExtend, uint32_t frames) const {
    const uint32_t last = frames == 0 ? 0 : frames - 1;
    if (!bExtend || m_start >= frames) {
        return Span{last, last + 1};
    }
    return Span{m_start, frames};
}
