#include "document/PointProperties.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "geometry/TimeText.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr int kMinPan = -90;

std::string Trim(const std::string& text) {
    const size_t from = text.find_first_not_of(" \t");
    if (from == std::string::npos) {
        return {};
    }
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

// A whole number with an optional sign; none for anything else or beyond +-10^9.
std::optional<int64_t> WholeNumber(const std::string& text) {
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at == text.size() || text.size() - at > 10) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (!std::isdigit(static_cast<unsigned char>(text[at]))) {
            return std::nullopt;
        }
        value = value * 10 + (text[at] - '0');
    }
    return negative ? -value : value;
}

}  // namespace

PointProperties::PointProperties(CTesselDoc& document, PanPoint& point)
    : m_doc(document), m_point(point) {
    const PanPointList& list = document.GetPanPoints();
    const uint32_t own = point.position;
    const PanPoint* prev = list.PreviousPoint(&point);
    const PanPoint* next = list.NextPoint(&point);
    m_lowest = prev == nullptr ? 0 : (prev->position < own ? prev->position + 1 : prev->position);
    m_highest = document.GetFrameCount();
    if (next != nullptr) {
        m_highest = next->position > own ? next->position - 1 : next->position;
    }
    m_highest = std::max(std::min(m_highest, document.GetFrameCount()), own);
    m_lowest = std::min(m_lowest, own);
}

uint32_t PointProperties::Position() const {
    return m_point.position;
}

int PointProperties::Pan() const {
    return m_point.Pan();
}

uint32_t PointProperties::SampleRate() const {
    // A rate of 0 cannot pass the open's check; a guard keeps the time texts defined anyway.
    return std::max<uint32_t>(m_doc.GetFormat().sampleRate, 1);
}

uint32_t PointProperties::Clamp(int64_t position) const {
    return static_cast<uint32_t>(
        std::clamp<int64_t>(position, int64_t{m_lowest}, int64_t{m_highest}));
}

std::string PointProperties::TimeOf(uint32_t position) const {
    return TimeText::Precise(position, SampleRate());
}

PointProperties::Checked<uint32_t> PointProperties::CheckRange(uint64_t position) const {
    Checked<uint32_t> checked;
    if (position >= m_lowest && position <= m_highest) {
        checked.value = static_cast<uint32_t>(position);
        return checked;
    }
    const auto frame = [this](uint32_t at) {
        return "frame " + std::to_string(at) + " (" + TimeOf(at) + ")";
    };
    checked.error = "The position must lie from " + frame(m_lowest) + " to " + frame(m_highest);
    const PanPointList& list = m_doc.GetPanPoints();
    const PanPoint* bound =
        position < m_lowest ? list.PreviousPoint(&m_point) : list.NextPoint(&m_point);
    if (bound != nullptr) {
        checked.error += position < m_lowest ? ": the point before it lies at frame "
                                             : ": the point after it lies at frame ";
        checked.error += std::to_string(bound->position) + ".";
    } else if (position > m_highest) {
        checked.error += ": the sound ends at frame " + std::to_string(m_doc.GetFrameCount()) + ".";
    } else {
        checked.error += ".";
    }
    return checked;
}

PointProperties::Checked<uint32_t> PointProperties::CheckFrames(const std::string& text) const {
    const std::optional<int64_t> frames = WholeNumber(Trim(text));
    if (!frames || *frames < 0) {
        return {std::nullopt, "Type the position as a whole number of frames from 0."};
    }
    return CheckRange(static_cast<uint64_t>(*frames));
}

PointProperties::Checked<uint32_t> PointProperties::CheckTime(const std::string& text) const {
    const std::optional<uint64_t> ms = TimeText::ParseMilliseconds(text);
    if (!ms) {
        return {std::nullopt, "Type the time as m:ss.mmm, for example 0:01.250."};
    }
    // The shown time of the point's own frame reads back as that frame, not as the first
    // frame that shows the same milliseconds.
    const uint64_t own = uint64_t{m_point.position} * 1000 / SampleRate();
    return CheckRange(*ms == own ? m_point.position : TimeText::FrameAt(*ms, SampleRate()));
}

PointProperties::Checked<int> PointProperties::CheckPan(const std::string& text) const {
    std::string number = Trim(text);
    const std::string degree = "\xC2\xB0";  // a typed degree sign is allowed
    if (number.size() >= degree.size() &&
        number.compare(number.size() - degree.size(), degree.size(), degree) == 0) {
        number = Trim(number.substr(0, number.size() - degree.size()));
    }
    const std::optional<int64_t> pan = WholeNumber(number);
    if (!pan || *pan < kMinPan || *pan > kMaxPan) {
        return {std::nullopt,
                "The direction must be a whole number of degrees from -90 (full left) to +90 "
                "(full right)."};
    }
    return {static_cast<int>(*pan), {}};
}

namespace {

// A whole number of degrees from lowest to highest, a typed degree sign allowed.
std::optional<int64_t> Degrees(const std::string& text, int64_t lowest, int64_t highest) {
    std::string number = Trim(text);
    const std::string degree = "\xC2\xB0";
    if (number.size() >= degree.size() &&
        number.compare(number.size() - degree.size(), degree.size(), degree) == 0) {
        number = Trim(number.substr(0, number.size() - degree.size()));
    }
    const std::optional<int64_t> value = WholeNumber(number);
    if (!value || *value < lowest || *value > highest) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

PointProperties::Checked<int> PointProperties::CheckAzimuth(const std::string& text) const {
    const std::optional<int64_t> azimuth = Degrees(text, -180, 180);
    if (!azimuth) {
        return {std::nullopt,
                "The azimuth must be a whole number of degrees from -180 to 180 (0 ahead, +90 "
                "right, 180 behind)."};
    }
    return {NormalAzimuth(*azimuth), {}};
}

PointProperties::Checked<int> PointProperties::CheckElevation(const std::string& text) const {
    const std::optional<int64_t> elevation = Degrees(text, -kMaxElevation, kMaxElevation);
    if (!elevation) {
        return {std::nullopt,
                "The elevation must be a whole number of degrees from -90 (straight down) to +90 "
                "(straight up)."};
    }
    return {static_cast<int>(*elevation), {}};
}

PointProperties::Checked<uint32_t> PointProperties::CheckDistance(const std::string& text) const {
    const std::string number = Trim(text);
    // Digits with at most one decimal point; centimetres are the finest step stored.
    bool bDigits = !number.empty() && number.size() <= 12;
    size_t points = 0;
    for (const char c : number) {
        points += c == '.' ? 1 : 0;
        bDigits = bDigits && (std::isdigit(static_cast<unsigned char>(c)) || c == '.');
    }
    const double metres = bDigits && points <= 1 && number != "." ? std::stod(number) : -1.0;
    const auto cm = static_cast<int64_t>(std::llround(metres * 100.0));
    if (metres < 0.0 || cm < 10 || cm > 10000) {
        return {std::nullopt,
                "The distance must be a number of metres from 0.10 to 100, for example 2.5."};
    }
    return {static_cast<uint32_t>(cm), {}};
}

PointProperties::Checked<int> PointProperties::CheckWidth(const std::string& text) const {
    const std::optional<int64_t> width = Degrees(text, 0, kMaxWidth);
    if (!width) {
        return {std::nullopt, "The width must be a whole number of degrees from 0 to 180."};
    }
    return {static_cast<int>(*width), {}};
}

bool PointProperties::ShowsPlace() const {
    return m_bAllAroundView || !IsFrontal(m_doc.GetPanPoints());
}

bool PointProperties::IsStereo() const {
    return m_doc.GetFormat().channels == 2;
}

bool PointProperties::Apply(uint32_t position, const PanPoint& place) {
    PanPoint value = place;
    value.position = position;
    SetAzimuth(value, place.azimuth);
    if (value == m_point || position < m_lowest || position > m_highest ||
        !WhyOutOfRange(value).empty()) {
        return false;
    }
    PanEditCommands::RecordEdit(m_doc, &m_point, UndoKind::Modify);
    m_point = value;
    PanEditCommands::FinishEdit(m_doc);
    return true;
}

bool PointProperties::Apply(uint32_t position, int pan) {
    if ((position == m_point.position && pan == m_point.Pan()) || position < m_lowest ||
        position > m_highest || pan < kMinPan || pan > kMaxPan) {
        return false;
    }
    PanEditCommands::RecordEdit(m_doc, &m_point, UndoKind::Modify);
    m_point.position = position;
    SetAzimuth(m_point, pan);
    PanEditCommands::FinishEdit(m_doc);
    return true;
}
