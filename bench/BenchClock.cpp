#include "BenchClock.h"

#include <cstdlib>
#include <filesystem>

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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
