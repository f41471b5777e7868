#include "render/SpatialFilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "render/ScopedFlushDenormals.h"
#include "support/FilterReference.h"

namespace {

std::vector<SpatialFilter::Stereo> Render(int rate, const std::vector<float>& in,
                                          const std::vector<int>& dir) {
    SpatialFilter filter;
    EXPECT_GT(filter.SelectRate(rate), 0);
    std::vector<SpatialFilter::Stereo> out;
    for (size_t t = 0; t < in.size(); ++t) {
        if (t == 0 || dir[t] != dir[t - 1]) {
            filter.SetDirection(dir[t]);
        }
        out.push_back(filter.ProcessSample(in[t]));
    }
    return out;
}

const int kBandRates[9] = {0, 8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};

// Float state against the double reference, relative to the response's peak. Observed
// worst case here is below 2e-6; 1e-5 leaves room without hiding a wrong coefficient.
constexpr double kRelativeTolerance = 1e-5;

void ExpectMatchesReference(int band, const std::vector<float>& in, const std::vector<int>& dir) {
    const auto got = Render(kBandRates[band], in, dir);
    const auto want = FilterReference(band, in, dir);
    double peak = 1.0;
    for (const ReferencePair& p : want) {
        peak = std::max({peak, std::abs(p.left), std::abs(p.right)});
    }
    double worst = 0;
    for (size_t t = 0; t < in.size(); ++t) {
        worst = std::max(
            {worst, std::abs(got[t].left - want[t].left), std::abs(got[t].right - want[t].right)});
    }
    EXPECT_LE(worst / peak, kRelativeTolerance) << "band " << band;
}

}  // namespace

TEST(SpatialFilter, RateBandsAndTheirBoundaries) {
    SpatialFilter filter;
    const std::pair<int, int> cases[] = {
        {5999, -1000}, {6000, 1},  {9600, 1},      {9601, 2},  {13600, 2},
        {13601, 3},    {19000, 3}, {19001, 4},     {23050, 4}, {23051, 5},
        {28000, 5},    {28001, 6}, {38000, 6},     {38001, 7}, {46100, 7},
        {46101, 8},    {48000, 8}, {48001, -1000}, {0, -1000}, {-44100, -1000}};
    for (const auto& [rate, band] : cases) {
        EXPECT_EQ(filter.SelectRate(rate), band) << rate;
    }
    EXPECT_EQ(SpatialFilter::kUnsupportedRate, -1000);
}

TEST(SpatialFilter, GainTablesAtTheirBoundariesAndTheUnusedLastEntry) {
    EXPECT_FLOAT_EQ(SpatialFilter::DirectGainLeft(0), 0.9999f);
    EXPECT_FLOAT_EQ(SpatialFilter::DirectGainLeft(29), 0.9999f);
    EXPECT_FLOAT_EQ(SpatialFilter::DirectGainLeft(30), 0.9928f);
    EXPECT_FLOAT_EQ(SpatialFilter::DirectGainLeft(59), 0.7952f);
    EXPECT_FLOAT_EQ(SpatialFilter::DirectGainLeft(100), 0.019f);
    EXPECT_EQ(SpatialFilter::DirectGainLeft(101), 0.0f);
    EXPECT_FLOAT_EQ(SpatialFilter::FilteredGainLeft(68), 0.0001f);
    EXPECT_EQ(SpatialFilter::FilteredGainLeft(67), 0.0f);
    EXPECT_FLOAT_EQ(SpatialFilter::FilteredGainLeft(117), 0.729f);
    EXPECT_FLOAT_EQ(SpatialFilter::FilteredGainLeft(126), 0.9999f);
    EXPECT_FLOAT_EQ(SpatialFilter::FilteredGainRight(17), 0.4552f);
    EXPECT_FLOAT_EQ(SpatialFilter::FilteredGainRight(58), 0.0001f);
    EXPECT_EQ(SpatialFilter::FilteredGainRight(59), 0.0f);
    for (int i = 0; i <= 126; ++i) {
        EXPECT_EQ(SpatialFilter::DirectGainRight(i), SpatialFilter::DirectGainLeft(126 - i)) << i;
    }
    EXPECT_EQ(SpatialFilter::DirectGainLeft(127), 0.0f);
    EXPECT_EQ(SpatialFilter::DirectGainRight(127), 0.0f);
    EXPECT_EQ(SpatialFilter::FilteredGainLeft(127), 0.0f);
    EXPECT_EQ(SpatialFilter::FilteredGainRight(127), 0.0f);
    // Near mirror images, but each keeps its own values.
    EXPECT_NE(SpatialFilter::FilteredGainRight(17), SpatialFilter::FilteredGainLeft(109));
}

TEST(SpatialFilter, PanToDirectionIndexTruncates) {
    EXPECT_EQ(SpatialFilter::PanToDirectionIndex(-90), 0);
    EXPECT_EQ(SpatialFilter::PanToDirectionIndex(-89), 0);
    EXPECT_EQ(SpatialFilter::PanToDirectionIndex(-88), 1);
    EXPECT_EQ(SpatialFilter::PanToDirectionIndex(0), 63);
    EXPECT_EQ(SpatialFilter::PanToDirectionIndex(90), 126);
    for (int pan = -90; pan <= 90; ++pan) {
        EXPECT_EQ(SpatialFilter::PanToDirectionIndex(pan),
                  static_cast<int>(std::trunc((pan + 90) * 126.0 / 180.0)))
            << pan;
    }
}

TEST(SpatialFilter, CentreImpulseIsSevenTenthsOnBothSidesWithTheBandsDelay) {
    for (int band = 1; band <= 8; ++band) {
        SpatialFilter filter;
        ASSERT_EQ(filter.SelectRate(kBandRates[band]), band);
        filter.SetDirection(SpatialFilter::kCentre);
        const size_t at = band >= 7 ? 2 : 0;
        for (size_t t = 0; t < 40; ++t) {
            const auto out = filter.ProcessSample(t == 0 ? 1.0f : 0.0f);
            const float want = t == at ? 0.7f : 0.0f;
            EXPECT_EQ(out.left, want) << "band " << band << " sample " << t;
            EXPECT_EQ(out.right, want) << "band " << band << " sample " << t;
        }
    }
}

TEST(SpatialFilter, FullLeftInBandTwoDelaysTheFarSideByOneSample) {
    SpatialFilter filter;
    ASSERT_EQ(filter.SelectRate(11025), 2);
    filter.SetDirection(0);
    const float h = 1000.0f;
    const auto s0 = filter.ProcessSample(h);
    EXPECT_FLOAT_EQ(s0.left, 0.9999f * h);
    EXPECT_EQ(s0.right, 0.0f);
    const auto s1 = filter.ProcessSample(0.0f);
    EXPECT_EQ(s1.left, 0.0f);
    EXPECT_FLOAT_EQ(s1.right, 0.9999f * -0.62805164f * h);
}

TEST(SpatialFilter, FullLeftInBandSevenDelaysTheDirectTermsByTwoSamples) {
    SpatialFilter filter;
    ASSERT_EQ(filter.SelectRate(44100), 7);
    filter.SetDirection(0);
    const auto s0 = filter.ProcessSample(1000.0f);
    EXPECT_EQ(s0.left, 0.0f);
    EXPECT_FLOAT_EQ(s0.right, 1000.0f * 0.9999f * -0.0005790014f);
    filter.ProcessSample(0.0f);
    EXPECT_FLOAT_EQ(filter.ProcessSample(0.0f).left, 1000.0f * 0.9999f);
}

TEST(SpatialFilter, SetDirectionClampsAndSelectRateResetsEvenWhenItFails) {
    SpatialFilter a, b;
    ASSERT_EQ(a.SelectRate(22050), 4);
    ASSERT_EQ(b.SelectRate(22050), 4);
    a.SetDirection(-7);
    b.SetDirection(0);
    EXPECT_FLOAT_EQ(a.ProcessSample(100.0f).left, b.ProcessSample(100.0f).left);
    a.SetDirection(500);
    b.SetDirection(126);
    for (int t = 0; t < 10; ++t) {
        const auto x = a.ProcessSample(50.0f), y = b.ProcessSample(50.0f);
        EXPECT_EQ(x.left, y.left);
        EXPECT_EQ(x.right, y.right);
    }

    // After loud input, a failing SelectRate still clears the filters' memory.
    a.SetDirection(126);
    for (int t = 0; t < 100; ++t) {
        a.ProcessSample(30000.0f);
    }
    EXPECT_EQ(a.SelectRate(96000), SpatialFilter::kUnsupportedRate);
    ASSERT_EQ(a.SelectRate(22050), 4);
    SpatialFilter fresh;
    ASSERT_EQ(fresh.SelectRate(22050), 4);
    fresh.SetDirection(126);
    for (int t = 0; t < 20; ++t) {
        const auto x = a.ProcessSample(t == 0 ? 1.0f : 0.0f);
        const auto y = fresh.ProcessSample(t == 0 ? 1.0f : 0.0f);
        EXPECT_EQ(x.left, y.left);
        EXPECT_EQ(x.right, y.right);
    }
}

TEST(SpatialFilter, ImpulseResponsesMatchADoublePrecisionEvaluation) {
    std::vector<float> impulse(400, 0.0f);
    impulse[0] = 10000.0f;
    for (int band = 1; band <= 8; ++band) {
        for (int index : {0, 20, 63, 90, 110, 126}) {
            ExpectMatchesReference(band, impulse, std::vector<int>(impulse.size(), index));
        }
    }
}

TEST(SpatialFilter, DirectionChangesKeepTheFilterMemoryLikeTheReference) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> sample(-32768.0f, 32767.0f);
    std::uniform_int_distribution<int> direction(0, 126);
    std::vector<float> in(3000);
    std::vector<int> dir(in.size());
    int current = 63;
    for (size_t t = 0; t < in.size(); ++t) {
        in[t] = sample(rng);
        if (t % 100 == 0) {
            current = direction(rng);
        }
        dir[t] = current;
    }
    for (int band = 1; band <= 8; ++band) {
        ExpectMatchesReference(band, in, dir);
    }
}

TEST(SpatialFilter, ReadSampleScalesBothWidths) {
    const uint8_t zero = 0, mid = 128, top = 255;
    EXPECT_EQ(SpatialFilter::ReadSample(&zero, 1), -32768.0f);
    EXPECT_EQ(SpatialFilter::ReadSample(&mid, 1), 0.0f);
    EXPECT_EQ(SpatialFilter::ReadSample(&top, 1), 32512.0f);
    const uint8_t minimum[2] = {0x00, 0x80}, maximum[2] = {0xFF, 0x7F}, minusOne[2] = {0xFF, 0xFF};
    EXPECT_EQ(SpatialFilter::ReadSample(minimum, 2), -32768.0f);
    EXPECT_EQ(SpatialFilter::ReadSample(maximum, 2), 32767.0f);
    EXPECT_EQ(SpatialFilter::ReadSample(minusOne, 2), -1.0f);
}

TEST(SpatialFilter, WriteSamplePairClipsTruncatesAndShiftsForEightBits) {
    auto write16 = [](float l, float r) {
        uint8_t out[4];
        SpatialFilter::WriteSamplePair(l, r, 2, out);
        return std::pair<int, int>(int16_t(out[0] | out[1] << 8), int16_t(out[2] | out[3] << 8));
    };
    auto write8 = [](float l, float r) {
        uint8_t out[2];
        SpatialFilter::WriteSamplePair(l, r, 1, out);
        return std::pair<int, int>(out[0], out[1]);
    };
    EXPECT_EQ(write16(40000.0f, -40000.0f), std::make_pair(32767, -32768));
    EXPECT_EQ(write8(40000.0f, -40000.0f), std::make_pair(255, 0));
    EXPECT_EQ(write16(-1.5f, 1.9f), std::make_pair(-1, 1));
    EXPECT_EQ(write8(-1.5f, 255.9f), std::make_pair(127, 128));
    EXPECT_EQ(write16(32767.5f, -32768.5f), std::make_pair(32767, -32768));
    EXPECT_EQ(write16(-32767.9f, 32766.9f), std::make_pair(-32767, 32766));
    EXPECT_EQ(write8(256.0f, -256.0f), std::make_pair(129, 127));
    EXPECT_EQ(write16(std::nanf(""), 0.0f), std::make_pair(0, 0));
}

TEST(SpatialFilter, FlushingDenormalsIsScopedToTheRender) {
    volatile float tiny = 1e-30f;
    volatile float scale = 1e-10f;
    EXPECT_GT(tiny * scale, 0.0f);  // a subnormal normally survives
    {
        ScopedFlushDenormals flush;
        EXPECT_EQ(tiny * scale, 0.0f);
    }
    EXPECT_GT(tiny * scale, 0.0f);
}

TEST(SpatialFilter, ProcessFramesGivesTheBytesOfOneSampleAtATime) {
    std::mt19937 random(7);
    for (int band = 1; band <= 8; ++band) {
        for (const int width : {1, 2}) {
            for (const int channels : {1, 2}) {
                std::vector<uint8_t> in(3000 * size_t(width * channels));
                for (uint8_t& byte : in) {
                    byte = static_cast<uint8_t>(random());
                }
                SpatialFilter bulk, single;
                bulk.SelectRate(kBandRates[band]);
                single.SelectRate(kBandRates[band]);
                std::vector<uint8_t> bulkOut(3000 * 2 * size_t(width));
                std::vector<uint8_t> singleOut(bulkOut.size());
                // Runs of uneven length, each in its own direction; the state carries over.
                uint32_t done = 0;
                for (uint32_t run = 1; done < 3000; run = run * 3 + 1) {
                    const uint32_t count = std::min<uint32_t>(run, 3000 - done);
                    const int direction = static_cast<int>(random() % 127);
                    bulk.SetDirection(direction);
                    single.SetDirection(direction);
                    bulk.ProcessFrames(&in[done * size_t(width * channels)], channels, width, count,
                                       &bulkOut[done * 2 * size_t(width)]);
                    for (uint32_t i = done; i < done + count; ++i) {
                        const uint8_t* frame = &in[i * size_t(width * channels)];
                        float sample = SpatialFilter::ReadSample(frame, width);
                        if (channels == 2) {
                            sample =
                                (sample + SpatialFilter::ReadSample(frame + width, width)) * 0.5f;
                        }
                        const SpatialFilter::Stereo pair = single.ProcessSample(sample);
                        SpatialFilter::WriteSamplePair(pair.left, pair.right, width,
                                                       &singleOut[i * 2 * size_t(width)]);
                    }
                    done += count;
                }
                EXPECT_EQ(bulkOut, singleOut)
                    << "band " << band << " width " << width << " channels " << channels;
            }
        }
    }
}

// Short runs of frames mixed with single samples on one filter: the recursion and the delay
// ring must pass between the two paths unchanged, whatever the run length.
TEST(SpatialFilter, ProcessFramesAndProcessSampleHandTheStateToEachOther) {
    std::mt19937 random(11);
    for (int band = 1; band <= 8; ++band) {
        for (const int width : {1, 2}) {
            for (const int channels : {1, 2}) {
                const size_t frameBytes = size_t(width * channels);
                std::vector<uint8_t> in(600 * frameBytes);
                for (uint8_t& byte : in) {
                    byte = static_cast<uint8_t>(random());
                }
                const auto sampleAt = [&](size_t i) {
                    float sample = SpatialFilter::ReadSample(&in[i * frameBytes], width);
                    if (channels == 2) {
                        sample = (sample +
                                  SpatialFilter::ReadSample(&in[i * frameBytes + width], width)) *
                                 0.5f;
                    }
                    return sample;
                };
                SpatialFilter mixed, single;
                mixed.SelectRate(kBandRates[band]);
                single.SelectRate(kBandRates[band]);
                mixed.SetDirection(20);
                single.SetDirection(20);
                std::vector<uint8_t> mixedOut(600 * 2 * size_t(width));
                std::vector<uint8_t> singleOut(mixedOut.size());
                for (size_t i = 0; i < 600; ++i) {
                    const SpatialFilter::Stereo pair = single.ProcessSample(sampleAt(i));
                    SpatialFilter::WriteSamplePair(pair.left, pair.right, width,
                                                   &singleOut[i * 2 * size_t(width)]);
                }
                // Lengths below, at and past the bulk kernel's steps of four and its
                // threshold for running the sections skewed.
                const uint32_t runs[] = {1, 2, 3, 5, 16, 17, 19, 22, 7, 40};
                size_t done = 0;
                for (size_t k = 0; done < 600; ++k) {
                    if (k % 2 == 0) {
                        const SpatialFilter::Stereo pair = mixed.ProcessSample(sampleAt(done));
                        SpatialFilter::WriteSamplePair(pair.left, pair.right, width,
                                                       &mixedOut[done * 2 * size_t(width)]);
                        ++done;
                    } else {
                        const uint32_t count =
                            std::min<uint32_t>(runs[(k / 2) % 10], uint32_t(600 - done));
                        mixed.ProcessFrames(&in[done * frameBytes], channels, width, count,
                                            &mixedOut[done * 2 * size_t(width)]);
                        done += count;
                    }
                }
                EXPECT_EQ(mixedOut, singleOut)
                    << "band " << band << " width " << width << " channels " << channels;
            }
        }
    }
}

// A failed SelectRate leaves the delay ring's indexes level under a delaying kernel; frames
// in bulk must still give what single samples give.
TEST(SpatialFilter, ProcessFramesAfterAFailedSelectRateMatchesProcessSample) {
    for (const int rate : {22050, 44100}) {
        std::mt19937 random(5);
        std::vector<uint8_t> in(200 * 2);
        for (uint8_t& byte : in) {
            byte = static_cast<uint8_t>(random());
        }
        SpatialFilter bulk, single;
        for (SpatialFilter* filter : {&bulk, &single}) {
            ASSERT_NE(filter->SelectRate(rate), SpatialFilter::kUnsupportedRate);
            ASSERT_EQ(filter->SelectRate(96000), SpatialFilter::kUnsupportedRate);
            filter->SetDirection(126);
        }
        std::vector<uint8_t> bulkOut(200 * 4), singleOut(200 * 4);
        bulk.ProcessFrames(in.data(), 1, 2, 200, bulkOut.data());
        for (size_t i = 0; i < 200; ++i) {
            const SpatialFilter::Stereo pair =
                single.ProcessSample(SpatialFilter::ReadSample(&in[i * 2], 2));
            SpatialFilter::WriteSamplePair(pair.left, pair.right, 2, &singleOut[i * 4]);
        }
        EXPECT_EQ(bulkOut, singleOut) << "rate " << rate;
    }
}
