#include "trevant/MixerErrorTable.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "trevant/trevant.h"

namespace {

struct Entry {
    int code;
    const char* text;
};

constexpr Entry kEntries[] = {
    {AMBREL_WAVEMIX_OK, "No error."},
    {AMBREL_WAVEMIX_ERR_DEVICE_BUSY, "The audio output device is busy or could not be started."},
    {AMBREL_WAVEMIX_ERR_BAD_SESSION, "The mixer session handle is not valid."},
    {AMBREL_WAVEMIX_ERR_BAD_CONFIG, "The mixer session configuration is not valid."},
    {AMBREL_WAVEMIX_ERR_NO_DEVICE, "No audio output device could be opened."},
    {AMBREL_WAVEMIX_ERR_NOT_ACTIVE, "The mixer session has not been activated."},
    {AMBREL_WAVEMIX_ERR_BAD_CHANNEL, "The channel number is out of range."},
    {AMBREL_WAVEMIX_ERR_CHANNEL_NOT_OPEN, "The channel has not been opened."},
    {AMBREL_WAVEMIX_ERR_BAD_WAVE, "The wave handle is not valid."},
    {AMBREL_WAVEMIX_ERR_BAD_FORMAT,
     "The wave format is not supported (PCM, 1 or 2 channels, 8 or 16 bits)."},
    {AMBREL_WAVEMIX_ERR_BAD_PARAM, "A parameter or record size is not valid."},
    {AMBREL_WAVEMIX_ERR_NO_RESOURCES, "The audio system ran out of sources or buffers."},
    {AMBREL_WAVEMIX_ERR_AUDIO, "The audio system reported an error."},
    {AMBREL_WAVEMIX_ERR_THREAD, "The mixer could not start its feeder thread."},
    {AMBREL_WAVEMIX_ERR_NO_HRTF,
     "No HRTF data set fits: HRTF could not be turned on (is libopenal-data installed?)."},
    {AMBREL_WAVEMIX_ERR_OUTPUT_FIXED,
     "The audio back end is already chosen for this run; a new choice takes effect at the next "
     "start."},
    {AMBREL_WAVEMIX_ERR_OUTPUT_UNTOLD,
     "This OpenAL Soft does not tell how many channels the device plays (1.22 and later do)."},
    {AMBREL_WAVEMIX_ERR_WAVEOUT_BUSY, "The ALSA output device (WaveOut) is busy."},
};

std::atomic<int> g_lastError{AMBREL_WAVEMIX_OK};

}  // namespace

const char* MixerErrorTable::Text(int code) {
    for (const Entry& entry : kEntries) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return "Unknown mixer error.";
}

void MixerErrorTable::Copy(int code, char* buffer, uint32_t maxChars) {
    const char* text = Text(code);
    const size_t length = std::min<size_t>(std::strlen(text), maxChars);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
}

void MixerErrorTable::SetLastError(int code) {
    g_lastError = code;
}

int MixerErrorTable::LastError() {
    return g_lastError;
}
