#include "peaks/PeakSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "PeakReference.h"
#include "peaks/MasterOverview.h"
#include "peaks/WaveImage.h"
#include "support/ScriptedPrompts.h"

namespace {

struct Shape {
    uint32_t frames;
    uint16_t channels;
    uint16_t bits;
    uint32_t rate;  // 11025: stride 1, 22050: 2, 33075: 3, 44100 and 48000: 4
};

std::string Name(const Shape& s) {
    return std::to_string(s.frames) + " frames, " + std::to_string(s.channels) + " ch, " +
           std::to_string(s.bits) + " bits, " + std::to_string(s.rate) + " Hz";
}

// Every stride, both widths and channel counts; the last two are long enough for four levels.
const Shape kShapes[] = {
    {70001, 1, 16, 11025}, {90003, 2, 8, 22050},   {100000, 2, 16, 33075},
    {77777, 1, 8, 33075},  {300001, 2, 16, 44100}, {123457, 1, 16, 48000},
    {200000, 2, 8, 44100}, {1100000, 1, 8, 44100}, {1100003, 2, 16, 48000},
};

// Quiet noise with loud spikes on scattered frames of either channel: whether a scan takes
// in a spike decides its stroke, so a block, residue or ragged edge taken wrongly shows.
void FillSpikes(TestSound& sound, std::mt19937& random) {
    const bool eight = sound.data.bitsPerSample == 8;
    std::uniform_int_distribution<int> quiet(-600, 600);
    std::uniform_int_distribution<int> loud(-32768, 32767);
    std::uniform_int_distribution<uint32_t> gap(1, 700);
    for (uint32_t f = 0; f < sound.data.frameCount; ++f) {
        for (int c = 1; c <= sound.data.channels; ++c) {
            const int v = quiet(random);
            sound.Set(f, c, eight ? 128 + v / 64 : v);
        }
    }
    for (uint32_t f = gap(random); f < sound.data.frameCount; f += gap(random)) {
        const int v = loud(random);
        const int c = 1 + static_cast<int>(f % sound.data.channels);
        sound.Set(f, c, eight ? (v + 32768) >> 8 : v);
    }
}

SampleData WithSummary(const TestSound& sound, const PeakSummary* summary) {
    SampleData data = sound.data;
    data.summary = summary;
    return data;
}

std::unique_ptr<MonoBitmap> Draw(const SampleData& data, const WaveImage::Target& target) {
    WaveImage image;
    ScriptedPrompts prompts;
    EXPECT_TRUE(image.Update(data, target, prompts));
    return image.Image() ? std::make_unique<MonoBitmap>(*image.Image()) : nullptr;
}

// The reference painter's picture of target: columns start at trunc(left x spp) +
// trunc(k x spp), run trunc(spp) frames, stride by the real spp.
RefImage Expected(const TestSound& sound, const WaveImage::Target& target) {
    const double spp = static_cast<double>(sound.data.frameCount) / target.totalWidth;
    std::vector<int64_t> starts;
    for (int k = 0; k < target.width; ++k) {
        starts.push_back(static_cast<int64_t>(std::trunc(target.left * spp)) +
                         static_cast<int64_t>(std::trunc(k * spp)));
    }
    const int h = target.height;
    const RefLanes lanes = sound.data.channels == 2
                               ? RefLanes{h / 2 / 2, h / 2 + h / 2 / 2, h / 2 / 2 - 4}
                               : RefLanes{h / 2, 0, h / 2 - 4};
    const uint32_t stride = spp > 4.0 ? std::max<uint32_t>(sound.data.sampleRate / 11025, 1) : 1;
    RefImage image(target.width, target.height);
    RefDrawRun(image, sound, lanes, 0, target.width - 1, starts, static_cast<uint32_t>(spp),
               stride);
    return image;
}

}  // namespace

TEST(PeakSummary, MergeEqualsReadingEveryFrameOfTheResidue) {
    std::mt19937 random(19);
    for (const Shape& shape : kShapes) {
        TestSound sound(shape.frames, shape.channels, shape.bits, shape.rate);
        FillSpikes(sound, random);
        const auto summary = PeakSummary::Build(sound.data);
        ASSERT_NE(summary, nullptr) << Name(shape);
        ASSERT_TRUE(summary->IsComplete());
        const uint32_t stride = summary->Stride();
        EXPECT_EQ(stride, std::max<uint32_t>(shape.rate / 11025, 1));
        EXPECT_EQ(summary->BlockFrames(), PeakSummary::kReadsPerBlock * stride);
        EXPECT_EQ(summary->Blocks(), shape.frames / summary->BlockFrames());
        std::uniform_int_distribution<uint64_t> block(0, summary->Blocks());
        for (int i = 0; i < 300; ++i) {
            uint64_t first = block(random);
            uint64_t end = block(random);
            if (i == 0) {
                first = 0;  // everything
                end = summary->Blocks();
            }
            if (first > end) {
                std::swap(first, end);
            }
            const auto residue = static_cast<uint32_t>(random() % stride);
            SamplePeak got[2] = {{99999, -99999}, {99999, -99999}};
            summary->Merge(residue, first, end, got);
            for (int c = 1; c <= shape.channels; ++c) {
                SamplePeak want = {99999, -99999};
                for (uint64_t f = first * summary->BlockFrames() + residue;
                     f < end * summary->BlockFrames(); f += stride) {
                    want.min = std::min(want.min, sound.Get(static_cast<int64_t>(f), c));
                    want.max = std::max(want.max, sound.Get(static_cast<int64_t>(f), c));
                }
                ASSERT_EQ(got[c - 1].min, want.min)
                    << Name(shape) << " blocks " << first << "-" << end << " residue " << residue;
                ASSERT_EQ(got[c - 1].max, want.max)
                    << Name(shape) << " blocks " << first << "-" << end << " residue " << residue;
            }
        }
    }
}

TEST(PeakSummary, FilledInStretchesAsTheReadGoesEqualsFilledAtOnce) {
    std::mt19937 random(7);
    for (const Shape& shape : {kShapes[2], kShapes[7]}) {
        TestSound sound(shape.frames, shape.channels, shape.bits, shape.rate);
        FillSpikes(sound, random);
        const auto whole = PeakSummary::Build(sound.data);
        const auto pieces = PeakSummary::Create(sound.data);
        ASSERT_NE(pieces, nullptr);
        std::uniform_int_distribution<uint64_t> step(1, 40000);  // rarely on a block's edge
        for (uint64_t ready = 0; ready < sound.data.dataBytes;) {
            EXPECT_FALSE(pieces->IsComplete());
            ready = std::min<uint64_t>(ready + step(random), sound.data.dataBytes);
            pieces->Add(sound.data.samples, ready);
        }
        ASSERT_TRUE(pieces->IsComplete());
        EXPECT_EQ(pieces->Bytes(), whole->Bytes());
        for (uint64_t b = 0; b < whole->Blocks(); b += 1 + b / 3) {
            for (uint32_t r = 0; r < whole->Stride(); ++r) {
                SamplePeak a[2] = {{99999, -99999}, {99999, -99999}};
                SamplePeak z[2] = {{99999, -99999}, {99999, -99999}};
                whole->Merge(r, b, whole->Blocks(), a);
                pieces->Merge(r, b, whole->Blocks(), z);
                for (int c = 0; c < shape.channels; ++c) {
                    ASSERT_EQ(a[c].min, z[c].min) << Name(shape) << " from block " << b;
                    ASSERT_EQ(a[c].max, z[c].max) << Name(shape) << " from block " << b;
                }
            }
        }
    }
}

TEST(PeakSummary, RefusesShapesItCannotServeAndSoundsShorterThanABlock) {
    TestSound shortSound(255, 2, 16, 44100);  // a block is 256 frames at 44100 Hz
    EXPECT_EQ(PeakSummary::Build(shortSound.data), nullptr);
    TestSound oneBlock(256, 2, 16, 44100);
    const auto summary = PeakSummary::Build(oneBlock.data);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->Blocks(), 1u);
    TestSound slow(63, 1, 8, 8000);  // stride 1: 64 frames a block
    EXPECT_EQ(PeakSummary::Build(slow.data), nullptr);

    TestSound sound(5000, 2, 16, 44100);
    SampleData odd = sound.data;
    odd.channels = 3;
    EXPECT_EQ(PeakSummary::Create(odd), nullptr);
    odd = sound.data;
    odd.bitsPerSample = 12;
    EXPECT_EQ(PeakSummary::Create(odd), nullptr);

    // One made for another shape is not used: the picture is that of the full scan.
    const auto other = PeakSummary::Build(oneBlock.data);
    EXPECT_FALSE(other->Fits(sound.data));
    std::mt19937 random(3);
    FillSpikes(sound, random);
    const WaveImage::Target target{100, 80, 100, 0};
    EXPECT_EQ(CompareColumns(*Draw(WithSummary(sound, other.get()), target),
                             Expected(sound, target), 0, 99),
              "");
}

// Random files and zooms, stereo and 8-bit among them, columns from under one frame to
// thousands of blocks wide: the picture with the summary is the picture of the full scan,
// pixel for pixel, and both are the reference painter's.
TEST(PeakSummary, WaveImagesAreThoseOfTheFullScanAtEveryZoom) {
    std::mt19937 random(1919);
    for (const Shape& shape : kShapes) {
        TestSound sound(shape.frames, shape.channels, shape.bits, shape.rate);
        FillSpikes(sound, random);
        const auto summary = PeakSummary::Build(sound.data);
        ASSERT_NE(summary, nullptr);
        const SampleData fast = WithSummary(sound, summary.get());
        for (int i = 0; i < 14; ++i) {
            WaveImage::Target target;
            target.width = std::uniform_int_distribution<int>(40, 640)(random);
            target.height = std::uniform_int_distribution<int>(20, 300)(random);
            // Frames per column from about 0.5 to the whole sound over the width, evenly in
            // the logarithm; the first cases pin the narrow columns near one block.
            double spp = std::exp(std::uniform_real_distribution<double>(
                std::log(0.5), std::log(static_cast<double>(shape.frames) / target.width))(random));
            if (i < 4) {
                spp = summary->BlockFrames() * (0.3 + 0.6 * i);
            }
            target.totalWidth = std::max<uint32_t>(static_cast<uint32_t>(shape.frames / spp),
                                                   static_cast<uint32_t>(target.width));
            target.left = std::uniform_int_distribution<uint32_t>(
                0, target.totalWidth - static_cast<uint32_t>(target.width))(random);
            if (i == 5) {
                target.left = target.totalWidth - static_cast<uint32_t>(target.width);  // the end
            }
            const auto withSummary = Draw(fast, target);
            const auto fullScan = Draw(sound.data, target);
            ASSERT_NE(withSummary, nullptr);
            const std::string where = Name(shape) + ", " + std::to_string(target.width) + "x" +
                                      std::to_string(target.height) + " of " +
                                      std::to_string(target.totalWidth) + " at " +
                                      std::to_string(target.left);
            ASSERT_EQ(CompareColumns(*withSummary, 0, *fullScan, 0, target.width), "") << where;
            ASSERT_EQ(CompareColumns(*withSummary, Expected(sound, target), 0, target.width - 1),
                      "")
                << where;
        }
    }
}

TEST(PeakSummary, ScrolledImagesAreThoseOfTheFullScan) {
    std::mt19937 random(15);
    for (const Shape& shape : {kShapes[1], kShapes[4], kShapes[8]}) {
        TestSound sound(shape.frames, shape.channels, shape.bits, shape.rate);
        FillSpikes(sound, random);
        const auto summary = PeakSummary::Build(sound.data);
        const SampleData fast = WithSummary(sound, summary.get());
        const uint32_t totalWidth = shape.frames / 1000;  // 1000 frames per column
        WaveImage::Target target{300, 120, totalWidth, totalWidth / 2};
        WaveImage withSummary;
        WaveImage fullScan;
        ScriptedPrompts prompts;
        for (const int move : {0, 7, 299, -1, -150, 300, -300, 301}) {
            target.left = static_cast<uint32_t>(static_cast<int>(target.left) + move);
            ASSERT_TRUE(withSummary.Update(fast, target, prompts));
            ASSERT_TRUE(fullScan.Update(sound.data, target, prompts));
            ASSERT_EQ(CompareColumns(*withSummary.Image(), 0, *fullScan.Image(), 0, 300), "")
                << Name(shape) << " after a move of " << move;
        }
    }
}

TEST(PeakSummary, MasterOverviewIsThatOfTheFullScan) {
    std::mt19937 random(5);
    for (const Shape& shape : kShapes) {
        TestSound sound(shape.frames, shape.channels, shape.bits, shape.rate);
        FillSpikes(sound, random);
        const auto summary = PeakSummary::Build(sound.data);
        ScriptedPrompts prompts;
        const auto fast = BuildMasterOverview(WithSummary(sound, summary.get()), prompts);
        const auto full = BuildMasterOverview(sound.data, prompts);
        ASSERT_NE(fast, nullptr);
        EXPECT_EQ(CompareColumns(*fast, 0, *full, 0, fast->Width()), "") << Name(shape);
    }
}

// A partial frame after the last whole one, frames after the last whole block, and columns
// whose last reads fall past the end of the sound.
TEST(PeakSummary, TheEndOfTheSoundReadsAsWithoutASummary) {
    TestSound sound(256 * 40 + 77, 2, 16, 44100);
    std::mt19937 random(11);
    FillSpikes(sound, random);
    sound.Set(256 * 40 + 76, 2, 32767);  // after the last block
    sound.Set(256 * 40 - 1, 1, -32768);  // the last frame of the last block
    sound.bytes.push_back(0x7F);         // half a sample past the last frame
    sound.data.samples = sound.bytes.data();
    sound.data.dataBytes = static_cast<uint32_t>(sound.bytes.size());
    const auto summary = PeakSummary::Build(sound.data);
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->Blocks(), 40u);
    for (const uint32_t totalWidth : {10u, 13u, 17u, 29u}) {
        const int width = 10;
        const WaveImage::Target target{width, 100, totalWidth, totalWidth - width};
        const auto fast = Draw(WithSummary(sound, summary.get()), target);
        EXPECT_EQ(CompareColumns(*fast, 0, *Draw(sound.data, target), 0, width), "") << totalWidth;
        EXPECT_EQ(CompareColumns(*fast, Expected(sound, target), 0, width - 1), "") << totalWidth;
    }
}

// A 24-bit sound's summary is that of the 16-bit sound of its top words, for every stride and
// channel count (so every period, those the byte shuffle takes and those it leaves).
TEST(PeakSummary, TwentyFourBitSummariesAreThoseOfTheirTopWords) {
    struct DeepShape {
        uint32_t frames;
        uint16_t channels;
        uint32_t rate;
    };
    const DeepShape shapes[] = {{70001, 1, 11025},  {90003, 2, 22050},  {100000, 2, 33075},
                                {77777, 1, 33075},  {300001, 2, 44100}, {123457, 1, 48000},
                                {1100003, 2, 48000}};
    std::mt19937 random(24);
    for (const DeepShape& shape : shapes) {
        SCOPED_TRACE(std::to_string(shape.frames) + " frames, " + std::to_string(shape.channels) +
                     " ch, " + std::to_string(shape.rate) + " Hz");
        const size_t values = size_t{shape.frames} * shape.channels;
        std::vector<uint8_t> deep(values * 3);
        std::vector<uint8_t> words(values * 2);
        std::uniform_int_distribution<int> quiet(-600, 600);
        for (size_t i = 0; i < values; ++i) {
            // Quiet, with a loud value now and then, and the low byte never telling.
            const int top = random() % 500 == 0 ? static_cast<int16_t>(random()) : quiet(random);
            const auto word = static_cast<uint16_t>(top);
            deep[3 * i] = static_cast<uint8_t>(random());
            deep[3 * i + 1] = static_cast<uint8_t>(word);
            deep[3 * i + 2] = static_cast<uint8_t>(word >> 8);
            words[2 * i] = static_cast<uint8_t>(word);
            words[2 * i + 1] = static_cast<uint8_t>(word >> 8);
        }
        SampleData deepData;
        deepData.samples = deep.data();
        deepData.dataBytes = static_cast<uint32_t>(deep.size());
        deepData.frameCount = shape.frames;
        deepData.channels = shape.channels;
        deepData.bitsPerSample = 24;
        deepData.sampleRate = shape.rate;
        SampleData wordData = deepData;
        wordData.samples = words.data();
        wordData.dataBytes = static_cast<uint32_t>(words.size());
        wordData.bitsPerSample = 16;
        const auto ours = PeakSummary::Build(deepData);
        const auto reference = PeakSummary::Build(wordData);
        ASSERT_NE(ours, nullptr);
        ASSERT_NE(reference, nullptr);
        ASSERT_EQ(ours->Blocks(), reference->Blocks());
        std::uniform_int_distribution<uint64_t> block(0, ours->Blocks());
        for (int i = 0; i < 200; ++i) {
            uint64_t first = i == 0 ? 0 : block(random);
            uint64_t end = i == 0 ? ours->Blocks() : block(random);
            if (first > end) {
                std::swap(first, end);
            }
            const auto residue = static_cast<uint32_t>(random() % ours->Stride());
            SamplePeak got[2] = {{99999, -99999}, {99999, -99999}};
            SamplePeak want[2] = {{99999, -99999}, {99999, -99999}};
            ours->Merge(residue, first, end, got);
            reference->Merge(residue, first, end, want);
            for (int c = 0; c < shape.channels; ++c) {
                ASSERT_EQ(got[c].min, want[c].min) << "blocks " << first << "-" << end;
                ASSERT_EQ(got[c].max, want[c].max) << "blocks " << first << "-" << end;
            }
        }
    }
}
