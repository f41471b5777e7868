// What an export writes, handed to ExportLoudness block by block as the writers do, or read
// back from the file it wrote, measures exactly as the same samples fed to a meter at once: no
// frame is lost, split or doubled where the blocks, or the pieces decoded, begin and end.
#include "deliver/ExportLoudness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/CFileException.h"
#include "render/SampleDecoder.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

TEST(ExportLoudness, MeasuresTheBlocksWrittenAsOneStream) {
    constexpr uint32_t kRate = 48000;
    const struct {
        uint16_t channels;
        uint16_t bits;                      // 32: float
        std::vector<uint32_t> blockFrames;  // in turn, until the samples run out
    } cases[] = {
        {1, 16, {4096}},  {2, 16, {1, 70001, 5461}}, {3, 24, {16384, 7, 333333}},
        {2, 32, {20000}}, {24, 24, {4096, 1}},
    };
    for (const auto& c : cases) {
        PcmFormat format = MakeFormat(c.channels, kRate, c.bits);
        if (c.bits == 32) {
            format.formatTag = kFormatTagFloat;
        }
        // Four seconds of noise, growing louder, as the file's bytes.
        const size_t frames = 4 * kRate;
        const size_t sampleBytes = c.bits / 8;
        std::vector<uint8_t> bytes(frames * c.channels * sampleBytes);
        std::mt19937 rng(c.channels);
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        for (size_t k = 0; k < frames * c.channels; ++k) {
            const float value = noise(rng) * (0.05f + 0.2f * static_cast<float>(k) /
                                                          static_cast<float>(frames * c.channels));
            uint8_t* at = bytes.data() + k * sampleBytes;
            if (c.bits == 32) {
                uint32_t bits = 0;
                std::memcpy(&bits, &value, sizeof bits);
                ByteOrder::StoreU32(at, bits, false);
            } else {
                const double scale = c.bits == 16 ? 32767.0 : 8388607.0;
                ByteOrder::StoreU(at, static_cast<uint64_t>(std::lround(value * scale)), c.bits / 8,
                                  false);
            }
        }

        const std::vector<LoudnessWeight> weights = ExportLoudness::UnitWeights(c.channels);
        ExportLoudness measured(format, weights);
        for (size_t at = 0, turn = 0; at < frames; ++turn) {
            const size_t n =
                std::min<size_t>(c.blockFrames[turn % c.blockFrames.size()], frames - at);
            measured.Add(bytes.data() + at * format.blockAlign,
                         static_cast<uint32_t>(n * format.blockAlign));
            at += n;
        }
        const ExportLoudness::Result result = measured.Finish();

        std::vector<float> samples(frames * c.channels);
        SampleDecoder::Decode(bytes.data(), {c.bits, c.bits == 32, 1},
                              static_cast<uint32_t>(samples.size()), false, samples.data());
        for (float& sample : samples) {
            sample /= 32768.0f;
        }
        LoudnessMeter meter(kRate, weights);
        meter.AddFrames(samples.data(), frames);
        const std::string what = std::to_string(c.channels) + " x " + std::to_string(c.bits);
        EXPECT_TRUE(std::isfinite(result.lufs)) << what;
        EXPECT_EQ(result.lufs, meter.IntegratedLoudness()) << what;
        EXPECT_EQ(result.truePeak, meter.TruePeak()) << what;

        // The same bytes behind a header of an odd length, read back from the file.
        const TempDir dir;
        const std::string path = dir.File("written.wav");
        std::vector<uint8_t> file(45, 0x5A);
        file.insert(file.end(), bytes.begin(), bytes.end());
        WriteBytes(path, file);
        ExportLoudness readBack(format, weights);
        readBack.MeasureWritten(path, 45, bytes.size());
        const ExportLoudness::Result back = readBack.Finish();
        EXPECT_EQ(back.lufs, result.lufs) << what;
        EXPECT_EQ(back.truePeak, result.truePeak) << what;
        // A file shorter than what was written is an error, never a figure of part of it.
        ExportLoudness shortOne(format, weights);
        EXPECT_THROW(shortOne.MeasureWritten(path, 45 + format.blockAlign, bytes.size()),
                     CFileException)
            << what;
    }
}

// Every 16-bit value, in a shuffled order and pieces of odd sizes, measures as its exact value
// over 32768 does: full scale -1 and the smallest steps included.
TEST(ExportLoudness, EverySixteenBitValueMeasuresAsItsExactFraction) {
    constexpr uint32_t kRate = 8000;
    std::vector<int16_t> values(65536 * 2);
    for (size_t k = 0; k < values.size(); ++k) {
        values[k] = static_cast<int16_t>(static_cast<uint16_t>(k));
    }
    std::shuffle(values.begin(), values.end(), std::mt19937(3));
    std::vector<uint8_t> bytes(values.size() * 2);
    std::vector<float> exact(values.size());
    for (size_t k = 0; k < values.size(); ++k) {
        ByteOrder::StoreU(bytes.data() + 2 * k, static_cast<uint16_t>(values[k]), 2, false);
        exact[k] = static_cast<float>(values[k]) / 32768.0f;
    }
    const std::vector<LoudnessWeight> weights = ExportLoudness::UnitWeights(1);
    ExportLoudness measured(MakeFormat(1, kRate, 16), weights);
    for (size_t at = 0, n = 1; at < values.size(); at += n, n = n * 3 + 1) {
        n = std::min(n, values.size() - at);
        measured.Add(bytes.data() + 2 * at, static_cast<uint32_t>(2 * n));
    }
    const ExportLoudness::Result result = measured.Finish();
    LoudnessMeter meter(kRate, weights);
    meter.AddFrames(exact.data(), exact.size());
    EXPECT_EQ(result.lufs, meter.IntegratedLoudness());
    EXPECT_EQ(result.truePeak, meter.TruePeak());
    EXPECT_GE(result.truePeak, 0.0);  // -32768 is full scale
}
