// An export's measuring that runs out of memory (its meter keeps a block every 100 ms, so it
// grows with the sound) fails that export on the export's own thread, and the process goes on.
// A binary of its own: it replaces operator new to fail on demand.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

#include "deliver/ExportLoudness.h"

namespace {

// While armed, every allocation fails on any thread but the one that armed it.
std::atomic<bool> g_bArmed{false};
std::thread::id g_armer;

class OtherThreadsOutOfMemory {
  public:
    OtherThreadsOutOfMemory() {
        g_armer = std::this_thread::get_id();
        g_bArmed.store(true, std::memory_order_release);
    }
    ~OtherThreadsOutOfMemory() { g_bArmed.store(false, std::memory_order_release); }
};

}  // namespace

// GCC takes free() in a replaced operator delete for a mismatch with new; here it is the pair.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (g_bArmed.load(std::memory_order_acquire) && std::this_thread::get_id() != g_armer) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

TEST(ExportMemory, AMeasuringOutOfMemoryFailsItsExportAndNotTheProcess) {
    const PcmFormat format{kFormatTagPcm, 2, 48000, 48000 * 4, 4, 16};
    // A second of a loud square wave, fed for up to a minute: the meter's blocks outgrow what
    // it holds at the start.
    std::vector<int16_t> second(48000 * 2);
    for (size_t i = 0; i < second.size(); ++i) {
        second[i] = (i / 200) % 2 == 0 ? 12000 : -12000;
    }
    const auto bytes = static_cast<uint32_t>(second.size() * sizeof(int16_t));
    bool bThrown = false;
    {
        ExportLoudness loudness(format, ExportLoudness::UnitWeights(2));
        const OtherThreadsOutOfMemory failing;
        try {
            for (int n = 0; n < 60; ++n) {
                loudness.Add(second.data(), bytes);
            }
            loudness.Finish();
        } catch (const std::bad_alloc&) {
            bThrown = true;
        }
    }
    EXPECT_TRUE(bThrown) << "the meter never needed more memory";
    // With memory, the next export measures as ever.
    ExportLoudness loudness(format, ExportLoudness::UnitWeights(2));
    for (int n = 0; n < 3; ++n) {
        loudness.Add(second.data(), bytes);
    }
    const ExportLoudness::Result result = loudness.Finish();
    EXPECT_TRUE(std::isfinite(result.lufs));
    EXPECT_GT(result.lufs, -20.0);
}

}  // namespace
