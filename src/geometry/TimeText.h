#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Times of sample frames as the user reads and types them: "m:ss.mmm" (minutes as many as it
// takes, the milliseconds truncated) and "m:ss" for whole seconds. rate is in Hz, above 0.
namespace TimeText {

// "1:02.345" for the frame at 62.345... seconds; a rate of 0 counts as the start.
std::string Precise(uint64_t frame, uint32_t rate);
// "1:02.345" for 62345 ms.
std::string FromMilliseconds(uint64_t milliseconds);
// Whole milliseconds from the start to the frame, truncated; 0 at a rate of 0.
uint64_t MillisecondsOfFrame(uint64_t frame, uint32_t rate);
// "1:02" for the same frame.
std::string Whole(uint64_t frame, uint32_t rate);
// "0:03 of 0:05": done frames of total, in whole seconds.
std::string Progress(uint64_t done, uint64_t total, uint32_t rate);

// The milliseconds of "m:ss.mmm", "m:ss", "s.mmm" or "s" (spaces around allowed, at most
// three decimals, seconds below 60 after a minute part); none for anything else.
std::optional<uint64_t> ParseMilliseconds(const std::string& text);
// The first frame whose Precise text shows ms or later: typing back a shown time gives the
// frame it was shown for, whenever no other frame shows the same text first.
uint64_t FrameAt(uint64_t ms, uint32_t rate);

}  // namespace TimeText
