#pragma once

#include <optional>
#include <string>

// The sample formats an export can write: 16- or 24-bit integers (TPDF-dithered from the float
// mix) or 32-bit IEEE floats (no dither). The one place the command line's words and the
// settings' values for them are read and named.
enum class SampleFormat { S16, S24, F32 };

// "s16", "s24" or "f32" (exact case); none for anything else.
std::optional<SampleFormat> ParseSampleFormat(const std::string& text);
// The word ParseSampleFormat takes.
const char* SampleFormatName(SampleFormat format);
// The value a setting stores: 0 s16, 1 s24, 2 f32; none outside that.
std::optional<SampleFormat> SampleFormatFromIndex(int index);
int SampleFormatIndex(SampleFormat format);

// Bits of one sample in the file: 16, 24 or 32.
int SampleFormatBits(SampleFormat format);
inline bool IsFloatFormat(SampleFormat format) {
    return format == SampleFormat::F32;
}
