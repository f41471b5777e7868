#pragma once

#include <cstdint>
#include <string>

// Times as the ruler and the status bar show them: "m:ss.mmm", the minutes unbounded
// ("75:02.500" for 75 minutes), the milliseconds truncated.
namespace TimeText {

// The time of a frame at rate Hz; a rate of 0 counts as the start.
std::string FromFrame(uint64_t frame, uint32_t rate);
std::string FromMilliseconds(uint64_t milliseconds);
// Whole milliseconds from the start to the frame, truncated.
uint64_t MillisecondsOfFrame(uint64_t frame, uint32_t rate);

}  // namespace TimeText
