#pragma once

#include <cstdint>

// The one table of the mixer's error codes and their texts.
class MixerErrorTable {
  public:
    // The code's text; a generic text for a code the table does not know. Never null.
    static const char* Text(int code);
    // Copies the text into buffer: at most maxChars characters and a terminating zero.
    static void Copy(int code, char* buffer, uint32_t maxChars);
    // The code of the last failed open (session, wave or render) in this process.
    static void SetLastError(int code);
    static int LastError();
};
