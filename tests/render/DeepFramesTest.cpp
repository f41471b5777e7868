// Deep samples in blocks must give exactly the bytes of the sample-at-a-time path (ReadDeep,
// ProcessSample, StoreDeep) on every kernel path, depth, channel count and band, whatever the
// lengths of the calls, with values at and beyond full scale and floats that are not numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "render/DeepBlockCodec.h"
#include "render/SampleCodec.h"
#include "render/SampleDecoder.h"
#include "render/SpatialFilter.h"

namespace {

using Path = SpatialFilter::KernelPath;

struct Depth {
    const char* name;
    int bits;
    bool bFloat;
};

const Depth kDepths[] = {{"int24", 24, false}, {"int32", 32, false}, {"float", 32, true}};
const Path kPaths[] = {Path::Plain, Path::Sse2, Path::Avx2};
const int kRates[] = {8000, 11025, 22050, 32000, 44100, 48000};
// Lengths of the calls, taken in turn: below and above the bulk kernels' least, across blocks.
const uint32_t kRuns[] = {1, 3, 5, 17, 600, 2, 1031, 64, 7};

// Random values, with stretches of silence, of both extremes, and (floats) of values past
// full scale, infinities and NaN.
std::vector<uint8_t> Frames(const Depth& depth, int channels, size_t frames, uint32_t seed) {
    std::mt19937 random(seed);
    const size_t width = size_t(depth.bits / 8);
    std::vector<uint8_t> in(frames * width * size_t(channels));
    for (size_t at = 0; at < in.size(); at += width) {
        const size_t frame = at / (width * size_t(channels));
        if (depth.bFloat) {
            const float specials[] = {0.0f,
                                      1.0f,
                                      -1.0f,
                                      3.5f,
                                      -7.25f,
                                      std::numeric_limits<float>::infinity(),
                                      -std::numeric_limits<float>::infinity(),
                                      std::numeric_limits<float>::quiet_NaN(),
                                      1e-40f};
            float value = std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
            if (frame % 500 < 40) {
                value = specials[random() % std::size(specials)];
            } else if (frame % 500 < 60) {
                value = 0.0f;
            }
            std::memcpy(&in[at], &value, sizeof value);
            continue;
        }
        uint32_t value = static_cast<uint32_t>(random());
        if (frame % 500 < 40) {
            value = (frame / 3) % 2 == 0 ? 0x7FFFFFFFu : 0x80000000u;
        } else if (frame % 500 < 60) {
            value = 0;
        }
        // 24 bits take the top three bytes, so the extremes stay extremes.
        for (size_t b = 0; b < width; ++b) {
            in[at + b] = static_cast<uint8_t>(value >> (8 * (4 - width + b)));
        }
    }
    return in;
}

// Renders through path in calls of kRuns, each in its own direction; bOneByOne takes the
// sample-at-a-time path instead of the block decoder and the bulk kernels. Empty when the path is
// not there.
std::vector<uint8_t> Render(Path path, int rate, const Depth& depth, int channels,
                            const std::vector<uint8_t>& in, bool bOneByOne) {
    SpatialFilter filter;
    if (!filter.UseKernelPath(path)) {
        return {};
    }
    EXPECT_GT(filter.SelectRate(rate), 0);
    const size_t width = size_t(depth.bits / 8);
    const size_t frameBytes = width * size_t(channels);
    const auto frames = static_cast<uint32_t>(in.size() / frameBytes);
    std::vector<uint8_t> out(size_t{frames} * 2 * width, 0xEE);
    std::mt19937 random(static_cast<uint32_t>(rate));
    uint32_t done = 0;
    for (size_t call = 0; done < frames; ++call) {
        const uint32_t count = std::min(kRuns[call % std::size(kRuns)], frames - done);
        filter.SetDirection(static_cast<int>(random() % 127));
        const uint8_t* from = &in[done * frameBytes];
        uint8_t* to = &out[done * 2 * width];
        if (!bOneByOne) {
            std::vector<float> mono(count);
            std::vector<float> pairs(size_t{count} * 2);
            SampleDecoder::Decode(from, {depth.bits, depth.bFloat, channels}, count, true,
                                  mono.data());
            filter.ProcessFloatFrames(mono.data(), count, pairs.data());
            DeepBlockCodec::StorePairs(pairs.data(), count, depth.bits, depth.bFloat,
                                       path == Path::Avx2 && DeepBlockCodec::HasByteShuffles(), to);
        }
        for (uint32_t i = 0; bOneByOne && i < count; ++i) {
            const uint8_t* frame = from + i * frameBytes;
            float sample = SampleDecoder::DecodeOne(frame, depth.bits, depth.bFloat);
            if (channels == 2) {
                sample =
                    (sample + SampleDecoder::DecodeOne(frame + width, depth.bits, depth.bFloat)) *
                    0.5f;
            }
            const SpatialFilter::Stereo pair = filter.ProcessSample(sample);
            SampleCodec::StoreDeep(pair.left, depth.bits, depth.bFloat, to + i * 2 * width);
            SampleCodec::StoreDeep(pair.right, depth.bits, depth.bFloat,
                                   to + i * 2 * width + width);
        }
        done += count;
    }
    return out;
}

TEST(DeepFrames, BlocksGiveTheBytesOfOneSampleAtATime) {
    int compared = 0;
    for (const Path path : kPaths) {
        for (const Depth& depth : kDepths) {
            for (const int channels : {1, 2}) {
                for (const int rate : kRates) {
                    SCOPED_TRACE(::testing::Message() << "path " << int(path) << ", " << depth.name
                                                      << ", " << channels << " ch, " << rate);
                    const std::vector<uint8_t> in =
                        Frames(depth, channels, 4000, static_cast<uint32_t>(rate + channels));
                    const std::vector<uint8_t> blocks =
                        Render(path, rate, depth, channels, in, false);
                    if (blocks.empty()) {
                        continue;  // not on this processor
                    }
                    const std::vector<uint8_t> single =
                        Render(path, rate, depth, channels, in, true);
                    ASSERT_EQ(blocks.size(), single.size());
                    size_t first = 0;
                    while (first < blocks.size() && blocks[first] == single[first]) {
                        ++first;
                    }
                    EXPECT_EQ(first, blocks.size()) << "first differing byte";
                    ++compared;
                }
            }
        }
    }
    // The plain and SSE2 paths are always there.
    EXPECT_GE(compared, 2 * 3 * 2 * int(std::size(kRates)));
}

// The block codec alone, on the values where a conversion can go wrong: the ends of each range,
// just past them, far past them, and what is not a number; and on random bytes of every pattern.
TEST(DeepFrames, TheBlockCodecAgreesWithSampleCodecAtTheEdges) {
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> values = {
        0.0f,      -0.0f,    0.5f,       -0.5f,     32767.0f,
        32767.99f, 32768.0f, 32768.004f, -32768.0f, -32769.0f,
        65535.0f,  1e10f,    -1e10f,     inf,       -inf,
        1e-40f,    -1e-40f,  3e38f,      -3e38f,    std::numeric_limits<float>::quiet_NaN()};
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        values.push_back(std::uniform_real_distribution<float>(-40000.0f, 40000.0f)(random));
    }
    values.resize(values.size() / 2 * 2);
    const auto pairs = static_cast<uint32_t>(values.size() / 2);
    std::vector<uint8_t> bytes(values.size() * 4 + 16);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random());
    }
    std::vector<bool> shuffles = {false};
    if (DeepBlockCodec::HasByteShuffles()) {
        shuffles.push_back(true);
    }
    for (const bool bShuffles : shuffles) {
        for (const Depth& depth : kDepths) {
            SCOPED_TRACE(::testing::Message() << depth.name << (bShuffles ? ", shuffles" : ""));
            const size_t width = size_t(depth.bits / 8);
            std::vector<uint8_t> ours(values.size() * width);
            std::vector<uint8_t> reference(ours.size());
            DeepBlockCodec::StorePairs(values.data(), pairs, depth.bits, depth.bFloat, bShuffles,
                                       ours.data());
            for (size_t i = 0; i < values.size(); ++i) {
                SampleCodec::StoreDeep(values[i], depth.bits, depth.bFloat, &reference[i * width]);
            }
            EXPECT_EQ(ours, reference);

            for (const int channels : {1, 2}) {
                const auto frames =
                    static_cast<uint32_t>(bytes.size() / (width * size_t(channels)));
                std::vector<float> read(frames);
                SampleDecoder::Decode(bytes.data(), {depth.bits, depth.bFloat, channels}, frames,
                                      true, bShuffles, read.data());
                for (uint32_t f = 0; f < frames; ++f) {
                    const uint8_t* frame = &bytes[f * width * size_t(channels)];
                    float expected = SampleDecoder::DecodeOne(frame, depth.bits, depth.bFloat);
                    if (channels == 2) {
                        expected = (expected + SampleDecoder::DecodeOne(frame + width, depth.bits,
                                                                        depth.bFloat)) *
                                   0.5f;
                    }
                    // Bit for bit: NaN never comes out, so equal bits are equal values.
                    uint32_t a, b;
                    std::memcpy(&a, &read[f], 4);
                    std::memcpy(&b, &expected, 4);
                    ASSERT_EQ(a, b) << "frame " << f << " of " << channels << " channels";
                }
            }
        }
    }
}

}  // namespace
