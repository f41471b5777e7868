#include "trevant/MixerBackend.h"

#include <cstdlib>
#include <mutex>

#include "trevant/trevant.h"

namespace {

std::mutex g_backendLock;
bool g_bUsed = false;
bool g_bListIsOurs = false;  // ALSOFT_DRIVERS holds a list Select put there
uint32_t g_inEffect = AMBREL_WAVEMIX_OUTPUT_AUTO;

}  // namespace

void MixerBackend::NoteUse() {
    std::lock_guard<std::mutex> lock(g_backendLock);
    g_bUsed = true;
}

int MixerBackend::Select(uint32_t output) {
    if (output > AMBREL_WAVEMIX_OUTPUT_JACK) {
        return AMBREL_WAVEMIX_ERR_BAD_CONFIG;
    }
    std::lock_guard<std::mutex> lock(g_backendLock);
    // Letting OpenAL Soft decide while the environment steers it is still its own choice.
    if (output == g_inEffect) {
        return AMBREL_WAVEMIX_OK;
    }
    const bool bEnvironmentDecides = std::getenv("ALSOFT_DRIVERS") != nullptr && !g_bListIsOurs;
    if (g_bUsed || bEnvironmentDecides) {
        return AMBREL_WAVEMIX_ERR_OUTPUT_FIXED;
    }
    const char* list = DriverList(output);
    if (list != nullptr) {
        ::setenv("ALSOFT_DRIVERS", list, 1);
    } else {
        ::unsetenv("ALSOFT_DRIVERS");
    }
    g_bListIsOurs = list != nullptr;
    g_inEffect = output;
    return AMBREL_WAVEMIX_OK;
}

uint32_t MixerBackend::InEffect() {
    std::lock_guard<std::mutex> lock(g_backendLock);
    return g_inEffect;
}

const char* MixerBackend::DriverList(uint32_t output) {
    // The trailing comma lets OpenAL Soft go on to its other back ends when this one is not
    // installed, so a missing PulseAudio library still leaves the user with sound.
    switch (output) {
        case AMBREL_WAVEMIX_OUTPUT_PULSE:
            return "pulse,";
        case AMBREL_WAVEMIX_OUTPUT_ALSA:
            return "alsa,";
        case AMBREL_WAVEMIX_OUTPUT_JACK:
            // No comma: a user who chose JACK wants to hear that no server runs, not to be
            // played to elsewhere.
            return "jack";
        default:
            return nullptr;
    }
}
