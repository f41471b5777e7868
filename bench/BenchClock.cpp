#include "BenchClock.h"

#include <time.h>

#include <cstdlib>
#include <filesystem>

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double FsyncCopySeconds(const std::string& from, const std::string& to, bool bRemoveCopy) {
    const std::string command = "dd if='" + from + "' of='" + to + "' bs=1M conv=fsync status=none";
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::abort();
    }
    const double seconds = SecondsSince(start);
    if (bRemoveCopy) {
        std::filesystem::remove(to);
    }
    return seconds;
}
