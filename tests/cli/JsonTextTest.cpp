// The CLI's JSON text rule: valid UTF-8 stays, every stray byte becomes U+00XX, and the result
// always parses.
#include "cli/JsonText.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace {

std::string Parsed(const std::string& bytes) {
    return nlohmann::json::parse(JsonText::Quoted(bytes)).get<std::string>();
}

}  // namespace

TEST(JsonText, ValidUtf8IsKeptAndStrayBytesStandForLatin1Characters) {
    EXPECT_EQ(JsonText::Quoted("LIST"), "\"LIST\"");
    EXPECT_EQ(Parsed("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"),
              "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5");
    EXPECT_EQ(JsonText::Quoted("caf\xC3\xA9"), "\"caf\\u00e9\"");  // plain ASCII out

    const struct {
        std::string bytes;
        std::string text;
    } strays[] = {
        {"\xFF", "\xC3\xBF"},                                      // never in UTF-8
        {"a\x80z", "a\xC2\x80z"},                                  // a lone continuation byte
        {"\xE2\x82", "\xC3\xA2\xC2\x82"},                          // a sequence cut short
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                          // an overlong '/'
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},              // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // past U+10FFFF
        {"\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},                        // Latin-1 text
    };
    for (const auto& stray : strays) {
        EXPECT_EQ(JsonText::ToUtf8(stray.bytes), stray.text) << JsonText::Hex(stray.bytes);
        EXPECT_EQ(Parsed(stray.bytes), stray.text) << JsonText::Hex(stray.bytes);
    }
}

TEST(JsonText, EveryByteValueGivesValidJson) {
    std::string all;
    for (int value = 0; value < 256; ++value) {
        all += static_cast<char>(value);
    }
    const std::string quoted = JsonText::Quoted(all);
    for (const char c : quoted) {
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << "byte " << static_cast<int>(c) << " in " << quoted;
    }
    const std::string text = Parsed(all);
    ASSERT_EQ(text.size(), 128u + 2 * 128u);
    EXPECT_EQ(text.substr(0, 128), all.substr(0, 128));
    EXPECT_EQ(JsonText::Quoted(std::string("\0\x1F\x7F", 3)), "\"\\u0000\\u001f\\u007f\"");
}

TEST(JsonText, HexGivesTwoDigitsAByte) {
    EXPECT_EQ(JsonText::Hex(std::string("ab\0\xFF", 4)), "616200ff");
    EXPECT_EQ(JsonText::Hex(""), "");
}
