#include "geometry/TimeText.h"

#include <cctype>
#include <cstdio>

namespace {

std::string Trim(const std::string& text) {
    size_t from = 0;
    size_t to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from]))) {
        ++from;
    }
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1]))) {
        --to;
    }
    return text.substr(from, to - from);
}

// Digits only, at most max of them; none when empty, too long or not all digits.
std::optional<uint64_t> Digits(const std::string& text, size_t max) {
    if (text.empty() || text.size() > max) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

uint64_t TimeText::MillisecondsOfFrame(uint64_t frame, uint32_t rate) {
    // frame * 1000 fits: frames are 32-bit counts in practice, and the product is 64-bit.
    return rate == 0 ? 0 : frame * 1000 / rate;
}

std::string TimeText::Precise(uint64_t frame, uint32_t rate) {
    return FromMilliseconds(MillisecondsOfFrame(frame, rate));
}

std::string TimeText::FromMilliseconds(uint64_t ms) {
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu",
                  static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60),
                  static_cast<unsigned long long>(ms % 1000));
    return text;
}

std::string TimeText::Whole(uint64_t frame, uint32_t rate) {
    const uint64_t seconds = MillisecondsOfFrame(frame, rate) / 1000;
    char text[40];
    std::snprintf(text, sizeof text, "%llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

std::string TimeText::Progress(uint64_t done, uint64_t total, uint32_t rate) {
    return Whole(done, rate) + " of " + Whole(total, rate);
}

std::optional<uint64_t> TimeText::ParseMilliseconds(const std::string& input) {
    const std::string text = Trim(input);
    std::string minutes;
    std::string seconds = text;
    const size_t colon = text.find(':');
    if (colon != std::string::npos) {
        minutes = text.substr(0, colon);
        seconds = text.substr(colon + 1);
    }
    std::string fraction;
    const size_t dot = seconds.find('.');
    if (dot != std::string::npos) {
        fraction = seconds.substr(dot + 1);
        seconds.resize(dot);
        if (fraction.empty()) {
            return std::nullopt;
        }
    }
    const std::optional<uint64_t> whole = Digits(seconds, colon != std::string::npos ? 2 : 9);
    const std::optional<uint64_t> mins =
        colon != std::string::npos ? Digits(minutes, 7) : std::optional<uint64_t>(0);
    std::optional<uint64_t> thousandths = 0;
    if (!fraction.empty()) {
        thousandths = Digits(fraction, 3);
        for (size_t i = fraction.size(); thousandths && i < 3; ++i) {
            *thousandths *= 10;
        }
    }
    if (!whole || !mins || !thousandths || (colon != std::string::npos && *whole >= 60)) {
        return std::nullopt;
    }
    return (*mins * 60 + *whole) * 1000 + *thousandths;
}

uint64_t TimeText::FrameAt(uint64_t ms, uint32_t rate) {
    // The smallest frame f with f * 1000 / rate >= ms, in whole numbers.
    return (ms * rate + 999) / 1000;
}
