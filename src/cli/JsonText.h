#pragma once

#include <cstdint>
#include <string>

// Text for the CLI's JSON, which must be valid UTF-8 whatever the input file or its name hold.
// Bytes that form valid UTF-8 stand for their characters; every other byte 0xXX stands for the
// character U+00XX. The result is a quoted JSON string in plain ASCII (\u escapes), so it passes
// any JSON reader.
namespace JsonText {

// bytes with each stray byte turned into the UTF-8 of U+00XX; valid UTF-8 comes back unchanged.
std::string ToUtf8(const std::string& bytes);

// A JSON string literal, quotes included, for bytes read as ToUtf8 says.
std::string Quoted(const std::string& bytes);

// Centimetres as metres with no needless digits: 100 as 1, 250 as 2.5, 10 as 0.1.
std::string Metres(uint32_t centimetres);

// The bytes as lower-case hex digits, two a byte: an exact reading of a chunk id.
std::string Hex(const std::string& bytes);

}  // namespace JsonText
