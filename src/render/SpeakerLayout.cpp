#include "render/SpeakerLayout.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// A loudspeaker from its BS.2051 label, which encodes the nominal position: the layer (M
// middle at 0, U upper at 30, UH high at 45, T top at 90, B bottom at -30), then the azimuth
// with BS.2051's sign (positive left). The screen loudspeakers M+SC and M-SC have no fixed
// azimuth; they sit at 15 degrees, within the screen. LFE1 is nominally front left, LFE2 front
// right, low.
constexpr Loudspeaker Speaker(std::string_view label) {
    if (label.starts_with("LFE")) {
        return {label, label == "LFE1" ? -45.0 : 45.0, -30.0, true};
    }
    const size_t sign = label.find_first_of("+-");
    const std::string_view layer = label.substr(0, sign);
    const double elevation = layer == "U"    ? 30.0
                             : layer == "UH" ? 45.0
                             : layer == "T"  ? 90.0
                             : layer == "B"  ? -30.0
                                             : 0.0;
    double degrees = 15.0;
    if (label.substr(sign + 1) != "SC") {
        degrees = 0;
        for (const char digit : label.substr(sign + 1)) {
            degrees = degrees * 10 + (digit - '0');
        }
    }
    const double azimuth = degrees == 180.0 ? 180.0 : label[sign] == '+' ? -degrees : degrees;
    return {label, azimuth, elevation, false};
}

constexpr std::array k020{Speaker("M+030"), Speaker("M-030")};
constexpr std::array k050{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"),
                          Speaker("LFE1"),  Speaker("M+110"), Speaker("M-110")};
constexpr std::array k250{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"), Speaker("LFE1"),
                          Speaker("M+110"), Speaker("M-110"), Speaker("U+030"), Speaker("U-030")};
constexpr std::array k450{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"), Speaker("LFE1"),
                          Speaker("M+110"), Speaker("M-110"), Speaker("U+030"), Speaker("U-030"),
                          Speaker("U+110"), Speaker("U-110")};
constexpr std::array k451{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"), Speaker("LFE1"),
                          Speaker("M+110"), Speaker("M-110"), Speaker("U+030"), Speaker("U-030"),
                          Speaker("U+110"), Speaker("U-110"), Speaker("B+000")};
constexpr std::array k370{Speaker("M+000"), Speaker("M+030"),  Speaker("M-030"), Speaker("U+045"),
                          Speaker("U-045"), Speaker("M+090"),  Speaker("M-090"), Speaker("M+135"),
                          Speaker("M-135"), Speaker("UH+180"), Speaker("LFE1"),  Speaker("LFE2")};
constexpr std::array k490{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"), Speaker("LFE1"),
                          Speaker("M+090"), Speaker("M-090"), Speaker("M+135"), Speaker("M-135"),
                          Speaker("U+045"), Speaker("U-045"), Speaker("U+135"), Speaker("U-135"),
                          Speaker("M+SC"),  Speaker("M-SC")};
constexpr std::array k9103{Speaker("M+060"), Speaker("M-060"), Speaker("M+000"), Speaker("LFE1"),
                           Speaker("M+135"), Speaker("M-135"), Speaker("M+030"), Speaker("M-030"),
                           Speaker("M+180"), Speaker("LFE2"),  Speaker("M+090"), Speaker("M-090"),
                           Speaker("U+045"), Speaker("U-045"), Speaker("U+000"), Speaker("T+000"),
                           Speaker("U+135"), Speaker("U-135"), Speaker("U+090"), Speaker("U-090"),
                           Speaker("U+180"), Speaker("B+000"), Speaker("B+045"), Speaker("B-045")};
constexpr std::array k070{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"), Speaker("LFE1"),
                          Speaker("M+090"), Speaker("M-090"), Speaker("M+135"), Speaker("M-135")};
constexpr std::array k470{Speaker("M+030"), Speaker("M-030"), Speaker("M+000"), Speaker("LFE1"),
                          Speaker("M+090"), Speaker("M-090"), Speaker("M+135"), Speaker("M-135"),
                          Speaker("U+045"), Speaker("U-045"), Speaker("U+135"), Speaker("U-135")};

constexpr std::array kLayouts{SpeakerLayout("0+2+0", k020), SpeakerLayout("0+5+0", k050),
                              SpeakerLayout("2+5+0", k250), SpeakerLayout("4+5+0", k450),
                              SpeakerLayout("4+5+1", k451), SpeakerLayout("3+7+0", k370),
                              SpeakerLayout("4+9+0", k490), SpeakerLayout("9+10+3", k9103),
                              SpeakerLayout("0+7+0", k070), SpeakerLayout("4+7+0", k470)};

// The WAVE_FORMAT_EXTENSIBLE speaker each BS.2051 loudspeaker stands for. The surrounds at 110
// degrees are the mask's side pair, as in the usual 5.1 mask 0x60F; loudspeakers below the
// ear, the second LFE and M+-060 have none.
struct MaskSpeaker {
    std::string_view label;
    uint32_t bit;
};
constexpr MaskSpeaker kMaskSpeakers[] = {
    {"M+030", 0x1},    {"M-030", 0x2},     {"M+000", 0x4},      {"LFE1", 0x8},
    {"M+135", 0x10},   {"M-135", 0x20},    {"M+SC", 0x40},      {"M-SC", 0x80},
    {"M+180", 0x100},  {"M+090", 0x200},   {"M-090", 0x400},    {"M+110", 0x200},
    {"M-110", 0x400},  {"T+000", 0x800},   {"U+030", 0x1000},   {"U+045", 0x1000},
    {"U+000", 0x2000}, {"U-030", 0x4000},  {"U-045", 0x4000},   {"U+110", 0x8000},
    {"U+135", 0x8000}, {"U+180", 0x10000}, {"UH+180", 0x10000}, {"U-110", 0x20000},
    {"U-135", 0x20000}};

// The names people use for the layouts, from cinema and home formats: middle loudspeakers, LFEs,
// then the ones above.
struct Alias {
    std::string_view common;
    std::string_view layout;
};
constexpr Alias kCommonNames[] = {{"2.0", "0+2+0"},   {"5.1", "0+5+0"},  {"5.1.2", "2+5+0"},
                                  {"5.1.4", "4+5+0"}, {"7.1", "0+7+0"},  {"7.1.4", "4+7+0"},
                                  {"9.1.4", "4+9+0"}, {"22.2", "9+10+3"}};

// Names in common use that BS.2051 has no layout for, with the nearest that it has.
struct NoLayout {
    std::string_view common;
    std::string_view nearest;
};
constexpr NoLayout kNoLayout[] = {{"7.1.2", "5.1.2 (2+5+0) and 7.1.4 (4+7+0)"},
                                  {"9.1.6", "9.1.4 (4+9+0) and 22.2 (9+10+3)"}};

uint32_t MaskBit(std::string_view label) {
    for (const MaskSpeaker& speaker : kMaskSpeakers) {
        if (speaker.label == label) {
            return speaker.bit;
        }
    }
    return 0;
}

}  // namespace

std::span<const SpeakerLayout> SpeakerLayout::All() {
    return kLayouts;
}

const SpeakerLayout* SpeakerLayout::Find(std::string_view name) {
    for (const Alias& alias : kCommonNames) {
        if (alias.common == name) {
            name = alias.layout;
        }
    }
    for (const SpeakerLayout& layout : kLayouts) {
        if (layout.Name() == name) {
            return &layout;
        }
    }
    return nullptr;
}

std::string SpeakerLayout::NearestTo(std::string_view name) {
    for (const NoLayout& absent : kNoLayout) {
        if (absent.common == name) {
            return std::string(name) + " is not an ITU-R BS.2051 layout; the nearest are " +
                   std::string(absent.nearest) + ".";
        }
    }
    return {};
}

std::string_view SpeakerLayout::CommonName() const {
    for (const Alias& alias : kCommonNames) {
        if (alias.layout == m_name) {
            return alias.common;
        }
    }
    return {};
}

std::string SpeakerLayout::NameWithCommon() const {
    const std::string_view common = CommonName();
    return std::string(m_name) + (common.empty() ? "" : " (" + std::string(common) + ")");
}

uint32_t SpeakerLayout::ChannelMask() const {
    uint32_t mask = 0;
    for (const Loudspeaker& speaker : m_speakers) {
        const uint32_t bit = MaskBit(speaker.label);
        if (bit == 0 || (mask & bit) != 0) {
            return 0;
        }
        mask |= bit;
    }
    return mask;
}

std::vector<uint16_t> SpeakerLayout::WaveChannelOrder() const {
    std::vector<uint16_t> order(m_speakers.size());
    std::iota(order.begin(), order.end(), uint16_t{0});
    if (ChannelMask() != 0) {
        std::stable_sort(order.begin(), order.end(), [this](uint16_t a, uint16_t b) {
            return MaskBit(m_speakers[a].label) < MaskBit(m_speakers[b].label);
        });
    }
    return order;
}
