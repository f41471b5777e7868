// Every kernel path forced in turn: the register paths must give the plain path's bytes, in
// every band, width and channel count, whatever the lengths of the calls.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "render/SpatialFilter.h"

namespace {

using Path = SpatialFilter::KernelPath;

const int kBandRates[9] = {0, 8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};
const Path kPaths[] = {Path::Plain, Path::Sse2, Path::Avx2};

const char* NameOf(Path path) {
    return path == Path::Plain ? "plain" : path == Path::Sse2 ? "sse2" : "avx2";
}

// Stored frames: random bytes, with stretches at full scale (the output clips there) and of
// silence (the filters' tails decay).
std::vector<uint8_t> StoredFrames(size_t frames, int width, int channels, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> in(frames * size_t(width * channels));
    for (size_t i = 0; i < in.size(); ++i) {
        const size_t frame = i / size_t(width * channels);
        if (frame % 1000 < 100) {
            in[i] = width == 1 ? 128 : 0;
        } else if (frame % 1000 < 150) {
            in[i] = (frame / 7) % 2 == 0 ? (width == 1 ? 255 : (i % 2 == 0 ? 0xFF : 0x7F))
                                         : (width == 1 ? 0 : (i % 2 == 0 ? 0x00 : 0x80));
        } else {
            in[i] = static_cast<uint8_t>(random());
        }
    }
    return in;
}

// Renders in through path: calls of the lengths in runs (repeated), each in its own direction,
// every third call one sample at a time instead. Paths that are not there give nothing.
std::vector<uint8_t> Render(Path path, int band, int width, int channels,
                            const std::vector<uint8_t>& in, const std::vector<uint32_t>& runs) {
    SpatialFilter filter;
    if (!filter.UseKernelPath(path)) {
        return {};
    }
    EXPECT_EQ(filter.GetKernelPath(), path);
    EXPECT_EQ(filter.SelectRate(kBandRates[band]), band);
    const size_t frameBytes = size_t(width * channels);
    const auto frames = static_cast<uint32_t>(in.size() / frameBytes);
    std::vector<uint8_t> out(size_t{frames} * 2 * size_t(width));
    std::mt19937 random(band);
    uint32_t done = 0;
    for (size_t call = 0; done < frames; ++call) {
        const uint32_t count = std::min(runs[call % runs.size()], frames - done);
        filter.SetDirection(static_cast<int>(random() % 127));
        const uint8_t* from = &in[done * frameBytes];
        uint8_t* to = &out[done * 2 * size_t(width)];
        if (call % 3 == 2) {
            for (uint32_t i = 0; i < count; ++i) {
                float sample = SpatialFilter::ReadSample(from + i * frameBytes, width);
                if (channels == 2) {
                    sample =
                        (sample + SpatialFilter::ReadSample(from + i * frameBytes + width, width)) *
                        0.5f;
                }
                const SpatialFilter::Stereo pair = filter.ProcessSample(sample);
                SpatialFilter::WriteSamplePair(pair.left, pair.right, width,
                                               to + i * 2 * size_t(width));
            }
        } else {
            filter.ProcessFrames(from, channels, width, count, to);
        }
        done += count;
    }
    return out;
}

}  // namespace

TEST(KernelPath, PlainAndSse2AreBuiltInAndTheDefaultIsAvailable) {
    EXPECT_TRUE(SpatialFilter::HasKernelPath(Path::Plain));
#if defined(__x86_64__)
    EXPECT_TRUE(SpatialFilter::HasKernelPath(Path::Sse2));
#endif
    EXPECT_TRUE(SpatialFilter::HasKernelPath(SpatialFilter::DefaultKernelPath()));
    EXPECT_EQ(SpatialFilter().GetKernelPath(), SpatialFilter::DefaultKernelPath());
}

TEST(KernelPath, EveryPathGivesThePlainBytesInEveryBandWidthAndChannelCount) {
    // Lengths below, at and past the skew of each band (2 to 6 frames), the steps of four,
    // and whole blocks of the export.
    const std::vector<std::vector<uint32_t>> runLists = {
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 19, 22, 31, 40},
        {8192, 1, 8191, 4096, 3}};
    for (int band = 1; band <= 8; ++band) {
        for (const int width : {1, 2}) {
            for (const int channels : {1, 2}) {
                const std::vector<uint8_t> in =
                    StoredFrames(20000, width, channels, static_cast<uint32_t>(band * 4 + width));
                for (const std::vector<uint32_t>& runs : runLists) {
                    const std::vector<uint8_t> plain =
                        Render(Path::Plain, band, width, channels, in, runs);
                    for (const Path path : {Path::Sse2, Path::Avx2}) {
                        if (SpatialFilter::HasKernelPath(path)) {
                            EXPECT_EQ(Render(path, band, width, channels, in, runs), plain)
                                << NameOf(path) << " band " << band << " width " << width
                                << " channels " << channels << " first run " << runs[0];
                        }
                    }
                }
            }
        }
    }
    if (!SpatialFilter::HasKernelPath(Path::Avx2)) {
        GTEST_SKIP() << "this processor has no AVX2: only the SSE2 path was compared";
    }
}

// A filter may change path between calls: the state carries over, so the bytes stay those of
// one path throughout. Also after a failed SelectRate, where the ring's indexes stand level.
TEST(KernelPath, ChangingPathBetweenCallsCarriesTheState) {
    const std::vector<uint8_t> in = StoredFrames(6000, 2, 1, 9);
    for (const bool bFailedSelect : {false, true}) {
        for (int band = 1; band <= 8; ++band) {
            SpatialFilter single, mixed;
            for (SpatialFilter* filter : {&single, &mixed}) {
                ASSERT_EQ(filter->SelectRate(kBandRates[band]), band);
                if (bFailedSelect) {
                    ASSERT_EQ(filter->SelectRate(96000), SpatialFilter::kUnsupportedRate);
                }
                filter->SetDirection(100);
            }
            ASSERT_TRUE(single.UseKernelPath(Path::Plain));
            std::vector<uint8_t> want(6000 * 4), got(6000 * 4);
            uint32_t done = 0;
            for (size_t call = 0; done < 6000; ++call) {
                const uint32_t count = std::min<uint32_t>(37 + uint32_t(call) * 101, 6000 - done);
                const Path path = kPaths[call % 3];
                if (SpatialFilter::HasKernelPath(path)) {
                    ASSERT_TRUE(mixed.UseKernelPath(path));
                }
                single.ProcessFrames(&in[done * 2], 1, 2, count, &want[done * 4]);
                mixed.ProcessFrames(&in[done * 2], 1, 2, count, &got[done * 4]);
                done += count;
            }
            EXPECT_EQ(got, want) << "band " << band
                                 << (bFailedSelect ? " after a failed rate" : "");
        }
    }
}
