#include "views/geometry/TimeText.h"

#include <cstdio>

uint64_t TimeText::MillisecondsOfFrame(uint64_t frame, uint32_t rate) {
    // Frames are 32-bit, so frame * 1000 cannot overflow 64 bits.
    return rate == 0 ? 0 : frame * 1000u / rate;
}

std::string TimeText::FromMilliseconds(uint64_t milliseconds) {
    char text[40];
    std::snprintf(text, sizeof text, "%llu:%02u.%03u",
                  static_cast<unsigned long long>(milliseconds / 60000),
                  static_cast<unsigned>(milliseconds / 1000 % 60),
                  static_cast<unsigned>(milliseconds % 1000));
    return text;
}

std::string TimeText::FromFrame(uint64_t frame, uint32_t rate) {
    return FromMilliseconds(MillisecondsOfFrame(frame, rate));
}
