#include "platform/TempFileRegistry.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <thread>
#include <vector>

namespace {

struct Registry {
    std::mutex mutex;
    std::vector<std::string> paths;
};

// Never destroyed: the signal thread may wake while the process is exiting.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// The terminating signals the process does not ignore: a run under nohup, or started in the
// background by a shell, must go on ignoring what it was told to.
sigset_t TerminatingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGHUP, SIGTERM}) {
        struct sigaction action {};
        if (::sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
            sigaddset(&set, signal);
        }
    }
    return set;
}

}  // namespace

TempFileRegistry::Change::Change() : m_lock(TheRegistry().mutex) {}

void TempFileRegistry::Change::Add(const std::string& path) {
    TheRegistry().paths.push_back(path);
}

void TempFileRegistry::Change::Remove(const std::string& path) {
    std::vector<std::string>& paths = TheRegistry().paths;
    const auto found = std::find(paths.begin(), paths.end(), path);
    if (found != paths.end()) {
        paths.erase(found);
    }
}

void TempFileRegistry::RemoveOnTerminatingSignals() {
    const sigset_t set = TerminatingSignals();
    if (sigisemptyset(&set) != 0 || ::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) {
        return;
    }
    TheRegistry();
    // Not returned before the thread is about to wait: a fork while it is still starting
    // could leave the child an allocator lock that thread held, and the child would hang.
    std::promise<void> started;
    std::future<void> waiting = started.get_future();
    std::thread([set, started = std::move(started)]() mutable {
        started.set_value();
        int signal = 0;
        if (::sigwait(&set, &signal) != 0) {
            return;
        }
        // The lock stays taken: no writer may list or rename another file from now on.
        Registry& registry = TheRegistry();
        registry.mutex.lock();
        for (const std::string& path : registry.paths) {
            ::unlink(path.c_str());
        }
        ::signal(signal, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        ::pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        ::raise(signal);
        ::_exit(128 + signal);  // the default action ends the process before this
    }).detach();
    waiting.wait();
}
