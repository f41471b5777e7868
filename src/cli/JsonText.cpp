#include "cli/JsonText.h"

#include <cstdint>
#include <nlohmann/json.hpp>

namespace JsonText {

namespace {

// Length of the well-formed UTF-8 sequence at text[i] (1-4), or 0 when it is not one. Overlong
// forms, surrogates and code points past U+10FFFF are not well formed.
size_t SequenceLength(const std::string& text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    // The second byte carries the range limits; the rest are plain continuation bytes.
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string ToUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = SequenceLength(bytes, i);
        if (length > 0) {
            out.append(bytes, i, length);
            i += length;
        } else {
            const auto stray = static_cast<uint8_t>(bytes[i]);
            out += static_cast<char>(0xC0 | (stray >> 6));
            out += static_cast<char>(0x80 | (stray & 0x3F));
            ++i;
        }
    }
    return out;
}

std::string Quoted(const std::string& bytes) {
    return nlohmann::json(ToUtf8(bytes)).dump(-1, ' ', true);
}

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto value = static_cast<uint8_t>(c);
        out += kDigits[value >> 4];
        out += kDigits[value & 0x0F];
    }
    return out;
}

}  // namespace JsonText

std::string JsonText::Metres(uint32_t centimetres) {
    std::string text = std::to_string(centimetres / 100);
    const uint32_t rest = centimetres % 100;
    if (rest != 0) {
        text += rest % 10 == 0 ? "." + std::to_string(rest / 10)
                               : (rest < 10 ? ".0" : ".") + std::to_string(rest);
    }
    return text;
}
