#include "LargeWave.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "formats/CSoundFile.h"

namespace {
constexpr uint32_t kDataBytes = kLargeWaveDataBytes;
const char* const kPath = "/tmp/sonomap-bench-600mb-44100-2-16.wav";

}  // namespace

const std::string& LargeWave() {
    static const std::string path = [] {
        const uint64_t expected = uint64_t{kDataBytes} + 44;
        std::error_code error;
        if (std::filesystem::file_size(kPath, error) == expected) {
            return std::string(kPath);
        }
        const std::string temp = std::string(kPath) + ".part";
        std::remove(temp.c_str());
        auto writer = CreateSoundFileByType(kSoundTypeWave, temp);
        const PcmFormat format{1, 2, 44100, 44100 * 4, 4, 16};
        bool bOk = writer->CreateHeader(format, kDataBytes);
        std::vector<uint8_t> block(8u << 20);
        uint32_t state = 12345;
        for (uint32_t done = 0; bOk && done < kDataBytes;) {
            for (auto& b : block) {
                state = state * 1103515245u + 12345u;
                b = static_cast<uint8_t>(state >> 24);
            }
            const auto n = static_cast<uint32_t>(std::min<size_t>(block.size(), kDataBytes - done));
            bOk = writer->WriteSamples(block.data(), n);
            done += n;
        }
        bOk = bOk && writer->CloseSamples() && writer->CloseFile();
        writer.reset();
        if (!bOk || std::rename(temp.c_str(), kPath) != 0) {
            std::fprintf(stderr, "bench_formats: cannot make %s\n", kPath);
            std::abort();
        }
        return std::string(kPath);
    }();
    return path;
}

double PlainRead(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const off_t length = ::lseek(fd, 0, SEEK_END);
    ::lseek(fd, 0, SEEK_SET);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[static_cast<size_t>(length)]);
    size_t done = 0;
    while (done < static_cast<size_t>(length)) {
        const ssize_t n = ::read(fd, buffer.get() + done, static_cast<size_t>(length) - done);
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    benchmark::DoNotOptimize(buffer[done / 2]);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void MeasureAgainstPlainRead(benchmark::State& state,
                             const std::function<double(const std::string&)>& open) {
    MeasureAgainstPlainRead(state, LargeWave(), kLargeWaveDataBytes, open);
}

void MeasureAgainstPlainRead(benchmark::State& state, const std::string& path, uint64_t dataBytes,
                             const std::function<double(const std::string&)>& open) {
    PlainRead(path);  // warm the page cache
    double ours = 0;
    double plain = 0;
    bool bOursFirst = true;
    for (auto _ : state) {
        double mine;
        if (bOursFirst) {
            mine = open(path);
            plain += PlainRead(path);
        } else {
            plain += PlainRead(path);
            mine = open(path);
        }
        bOursFirst = !bOursFirst;
        ours += mine;
        state.SetIterationTime(mine);
    }
    state.counters["plain_read_ms"] = 1000 * plain / static_cast<double>(state.iterations());
    state.counters["ratio_to_plain_read"] = ours / plain;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * dataBytes));
}
