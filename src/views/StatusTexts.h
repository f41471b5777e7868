#pragma once

#include <cstdint>
#include <string>

class CTesselDoc;

// The three status-pane texts that describe the open sound of the active view.
namespace StatusTexts {

// "44,100 / 16 bit / stereo / WAVE": rate, width, channels, file type.
std::string FormatText(const CTesselDoc& document);
// The sample data's size: "999 bytes", "1,000 bytes", "1,234k bytes".
std::string SizeText(uint32_t dataBytes);
// "59.99 sec." below a minute, else "1.00 min.".
std::string DurationText(uint32_t frames, uint32_t sampleRate);

}  // namespace StatusTexts
