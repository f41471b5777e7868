#include "trevant/MixerFailureHook.h"

#include <deque>
#include <map>
#include <mutex>

#include "trevant/TrevantTestHook.h"

namespace {

std::mutex g_hookLock;
std::map<std::string, std::deque<int>> g_failures;

}  // namespace

void MixerFailureHook::FailNext(const std::string& operation, int code) {
    std::lock_guard<std::mutex> lock(g_hookLock);
    g_failures[operation].push_back(code);
}

int MixerFailureHook::Take(const std::string& operation) {
    std::lock_guard<std::mutex> lock(g_hookLock);
    auto found = g_failures.find(operation);
    if (found == g_failures.end() || found->second.empty()) {
        return 0;
    }
    const int code = found->second.front();
    found->second.pop_front();
    return code;
}

void MixerFailureHook::Clear() {
    std::lock_guard<std::mutex> lock(g_hookLock);
    g_failures.clear();
}

extern "C" void AmbrelWaveMixTestFailNext(const char* operation, int code) {
    MixerFailureHook::FailNext(operation, code);
}

extern "C" void AmbrelWaveMixTestClearFailures(void) {
    MixerFailureHook::Clear();
}
