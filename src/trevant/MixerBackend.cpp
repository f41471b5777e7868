#include "trevant/MixerBackend.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "trevant/trevant.h"

namespace {

std::mutex g_backendLock;
bool g_bUsed = false;
bool g_bListIsOurs = false;  // ALSOFT_DRIVERS holds a list Select put there
uint32_t g_inEffect = AMBREL_WAVEMIX_OUTPUT_AUTO;
int g_confFd = -1;  // the configuration ALSOFT_CONF names, when SelectPeriod put it there
uint32_t g_period = 0;
uint32_t g_periods = 0;

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

int MixerBackend::SelectPeriod(uint32_t frames, uint32_t periods) {
    // OpenAL Soft's own bounds.
    const bool bOwn = frames == 0 && periods == 0;
    if (!bOwn && (frames < 64 || frames > 8192 || periods < 2 || periods > 16)) {
        return AMBREL_WAVEMIX_ERR_BAD_CONFIG;
    }
    std::lock_guard<std::mutex> lock(g_backendLock);
    if (frames == g_period && periods == g_periods) {
        return AMBREL_WAVEMIX_OK;
    }
    const bool bEnvironmentDecides = std::getenv("ALSOFT_CONF") != nullptr && g_confFd < 0;
    if (g_bUsed || bEnvironmentDecides) {
        return AMBREL_WAVEMIX_ERR_OUTPUT_FIXED;
    }
    if (bOwn) {
        ::unsetenv("ALSOFT_CONF");
        ::close(g_confFd);
        g_confFd = -1;
        g_period = g_periods = 0;
        return AMBREL_WAVEMIX_OK;
    }
    // Read after the user's own files, so it changes the period and nothing else. In memory:
    // nothing to remove, whatever way the process ends.
    if (g_confFd < 0) {
        g_confFd = ::memfd_create("sonomap-openal.conf", MFD_CLOEXEC);
        if (g_confFd < 0) {
            return AMBREL_WAVEMIX_ERR_NO_RESOURCES;
        }
    }
    const std::string text = "[general]\nperiod_size=" + std::to_string(frames) +
                             "\nperiods=" + std::to_string(periods) + "\n";
    if (::ftruncate(g_confFd, 0) != 0 ||
        ::pwrite(g_confFd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        return AMBREL_WAVEMIX_ERR_NO_RESOURCES;
    }
    ::setenv("ALSOFT_CONF", ("/proc/self/fd/" + std::to_string(g_confFd)).c_str(), 1);
    g_period = frames;
    g_periods = periods;
    return AMBREL_WAVEMIX_OK;
}

uint32_t MixerBackend::PeriodInEffect() {
    std::lock_guard<std::mutex> lock(g_backendLock);
    return g_period;
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
