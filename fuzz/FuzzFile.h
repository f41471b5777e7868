#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

// What the fuzz targets share: a trap that libFuzzer reports as a crash, and a file in memory
// reachable by path, so the code under test opens it like any other.
inline void FuzzCheck(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

struct FuzzFile {
    explicit FuzzFile(const char* name)
        : fd(memfd_create(name, 0)), path("/proc/self/fd/" + std::to_string(fd)) {
        FuzzCheck(fd >= 0);
    }
    void Fill(const uint8_t* data, size_t size) const {
        FuzzCheck(ftruncate(fd, 0) == 0 &&
                  (size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size)));
    }
    void Fill(const std::vector<uint8_t>& bytes) const { Fill(bytes.data(), bytes.size()); }
    int fd;
    std::string path;
};

// Little-endian RIFF pieces for the WAV skeletons the targets wrap their input in.
inline void FuzzPut(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

inline void FuzzChunk(std::vector<uint8_t>& out, const char* id, const uint8_t* data, size_t size) {
    out.insert(out.end(), id, id + 4);
    FuzzPut(out, static_cast<uint32_t>(size), 4);
    out.insert(out.end(), data, data + size);
    if (size % 2 != 0) {
        out.push_back(0);
    }
}

// A 16-bit PCM WAV of frames frames with the chunks given between "fmt " and "data".
inline std::vector<uint8_t> FuzzWave(uint16_t channels, uint32_t rate, uint32_t frames,
                                     const std::vector<uint8_t>& middle) {
    std::vector<uint8_t> fmt;
    FuzzPut(fmt, 1, 2);
    FuzzPut(fmt, channels, 2);
    FuzzPut(fmt, rate, 4);
    FuzzPut(fmt, rate * channels * 2u, 4);
    FuzzPut(fmt, channels * 2u, 2);
    FuzzPut(fmt, 16, 2);
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    FuzzChunk(body, "fmt ", fmt.data(), fmt.size());
    body.insert(body.end(), middle.begin(), middle.end());
    std::vector<uint8_t> samples(size_t{frames} * channels * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<uint8_t>(i * 37 + 5);
    }
    FuzzChunk(body, "data", samples.data(), samples.size());
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    FuzzPut(file, static_cast<uint32_t>(body.size()), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// A real file in a folder of its own under the temp folder, for code that will not follow the
// link a memory file's path is. Kept open; each Fill replaces its bytes.
struct FuzzDiskFile {
    explicit FuzzDiskFile(const char* name) {
        std::string pattern = "/tmp/sonomap-fuzz-XXXXXX";
        FuzzCheck(mkdtemp(pattern.data()) != nullptr);
        folder = pattern;
        path = folder + "/" + name;
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        FuzzCheck(fd >= 0);
    }
    void Fill(const uint8_t* data, size_t size) const {
        FuzzCheck(ftruncate(fd, 0) == 0 &&
                  (size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size)));
    }
    void Fill(const std::vector<uint8_t>& bytes) const { Fill(bytes.data(), bytes.size()); }
    std::string folder;
    std::string path;
    int fd = -1;
};
