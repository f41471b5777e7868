// The mixer on OpenAL Soft's wave-file writer: what comes out of the "speakers" is a float
// WAV file, so left and right can be measured.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "MixerTestSupport.h"
#include "support/TempDir.h"
#include "trevant/trevant.h"

using namespace mixertest;

namespace {

std::string OutputPath() {
    return WaveWriterEnvironment::OutputPath();
}

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new WaveWriterEnvironment);

constexpr uint32_t kRate = 22050;

using DuringPlay = std::function<void(AmbrelWaveMixSession, AmbrelWaveMixWave)>;

// Plays the samples once at the direction (then at the place, when one is given), runs
// `during` while they play, waits for the end (or returns at once after `during` when
// bWaitForEnd is false), closes the session and reads the writer's file.
StereoCapture PlayThroughWriter(const std::vector<unsigned char>& samples, MixerPcmFormat format,
                                int32_t direction, DoneCounter* pDone,
                                const DuringPlay& during = {}, bool bWaitForEnd = true,
                                bool bLowpass = false, const MixerPlace* place = nullptr,
                                uint32_t openFlags = AMBREL_WAVEMIX_WAVE_MEMORY) {
    StereoCapture capture;
    const MixerSessionConfig config = MakeConfig(44100);
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    EXPECT_NE(session, 0u) << "error " << AmbrelWaveMixGetLastError();
    if (session == 0) {
        return capture;
    }
    if (!bLowpass) {
        EXPECT_EQ(AmbrelWaveMixSetOptions(session, 0, 0xFFFFFFFF), 0);
    }
    EXPECT_EQ(AmbrelWaveMixActivate(session, 1), 0);
    EXPECT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
    const MixerWaveSource source{&format, samples.data(), static_cast<uint32_t>(samples.size()), 0,
                                 0};
    const AmbrelWaveMixWave wave = AmbrelWaveMixOpenWave(session, &source, 0, openFlags);
    EXPECT_NE(wave, 0u);
    const MixerPosition position{direction, 0, 0};
    EXPECT_EQ(AmbrelWaveMixSetPosition(session, 0, 8, &position), 0);
    if (place != nullptr) {
        EXPECT_EQ(AmbrelWaveMixSetPlace(session, 0, 8, place), 0);
    }
    EXPECT_EQ(AmbrelWaveMixSetVolume(session, 0, 0, 32767), 0);
    const MixerPlayParams params = pDone->Params();
    EXPECT_EQ(AmbrelWaveMixPlayEx(session, 0, 1, wave, 0, &params), 0);
    if (during) {
        during(session, wave);
    }
    if (bWaitForEnd) {
        EXPECT_TRUE(pDone->Wait(1, 5000));
    }
    EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);
    EXPECT_TRUE(ReadFloatWav(OutputPath(), &capture));
    return capture;
}

// The frames between the first and the last that carry sound.
Span Audible(const StereoCapture& capture) {
    Span span;
    const size_t n = capture.left.size();
    auto loud = [&](size_t i) {
        return std::fabs(capture.left[i]) + std::fabs(capture.right[i]) > 1e-3f;
    };
    while (span.begin < n && !loud(span.begin)) {
        ++span.begin;
    }
    span.end = n;
    while (span.end > span.begin && !loud(span.end - 1)) {
        --span.end;
    }
    return span;
}

// Left and right RMS over the middle of [begin, end), clear of the ramps at either end, and
// only where the output was fed in time: a pause of a starved source is no level of ours.
std::pair<double, double> MiddleLevels(const StereoCapture& capture, size_t begin, size_t end) {
    const size_t margin = (end - begin) / 10;
    return FedLevels(capture, begin + margin, end - margin);
}

// The frames of [begin, end) that sound, the pauses of a starved output left out.
size_t SoundingFrames(const StereoCapture& capture, const Span& span) {
    size_t frames = span.end - span.begin;
    for (const Span& run : StarvedRuns(capture, span.begin, span.end)) {
        frames -= run.end - run.begin;
    }
    return frames;
}

void WaitForPosition(AmbrelWaveMixSession session, AmbrelWaveMixWave wave, uint32_t frames) {
    for (int i = 0; i < 400; ++i) {
        uint32_t position = 0;
        ASSERT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &position, 1), 0);
        if (position >= frames) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    FAIL() << "the play position never reached " << frames;
}

TEST(WaveBackend, DirectionPutsToneLeftCentreRight) {
    const auto tone = MakeTone(kRate, kRate / 4, 1000.0, 16);
    for (const int32_t direction : {-90, 0, 90}) {
        SCOPED_TRACE(direction);
        DoneCounter done;
        const StereoCapture capture =
            PlayThroughWriter(tone, MakeFormat(kRate, 1, 16), direction, &done);
        EXPECT_EQ(capture.rate, 44100u);
        const Span span = Audible(capture);
        ASSERT_GT(span.end - span.begin, 44100u / 8);
        const auto [left, right] = MiddleLevels(capture, span.begin, span.end);
        std::printf("[measured] direction %d: left RMS %.4f, right RMS %.6f, R/L %.1f dB\n",
                    direction, left, right, Db((right + 1e-9) / (left + 1e-9)));
        if (direction == -90) {
            EXPECT_GT(left, 0.05);
            EXPECT_LE(Db((right + 1e-9) / left), -20.0);
        } else if (direction == 90) {
            EXPECT_GT(right, 0.05);
            EXPECT_LE(Db((left + 1e-9) / right), -20.0);
        } else {
            EXPECT_GT(left, 0.05);
            EXPECT_LE(std::fabs(Db(left / right)), 1.0);
        }
    }
}

TEST(WaveBackend, DirectionChangeDuringPlayMovesTheEnergy) {
    const uint32_t frames = kRate * 2 / 5;
    const auto tone = MakeTone(kRate, frames, 1000.0, 16);
    DoneCounter done;
    const StereoCapture capture =
        PlayThroughWriter(tone, MakeFormat(kRate, 1, 16), -90, &done,
                          [&](AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
                              WaitForPosition(session, wave, frames / 2);
                              const MixerPosition right{90, 0, 0};
                              EXPECT_EQ(AmbrelWaveMixSetPosition(session, 0, 0, &right), 0);
                          });
    const Span span = Audible(capture);
    ASSERT_GT(span.end - span.begin, 44100u / 4);
    const size_t third = (span.end - span.begin) / 3;
    const auto [firstLeft, firstRight] = MiddleLevels(capture, span.begin, span.begin + third);
    const auto [lastLeft, lastRight] = MiddleLevels(capture, span.end - third, span.end);
    EXPECT_GT(firstLeft, 10.0 * firstRight);
    EXPECT_GT(lastRight, 10.0 * lastLeft);
}

TEST(WaveBackend, PositionAdvancesToTheRangeLengthAndDoneArrivesOnce) {
    const uint32_t frames = kRate / 4;
    const auto tone = MakeTone(kRate, frames, 1000.0, 16);
    DoneCounter done;
    std::vector<uint32_t> positions;
    PlayThroughWriter(
        tone, MakeFormat(kRate, 1, 16), 0, &done,
        [&](AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
            EXPECT_TRUE(done.Wait(1, 5000));
            // Let the feeder run a few more rounds: no second notification.
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            uint32_t position = 0;
            EXPECT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &position, 1), 0);
            positions.push_back(position);
        },
        false);
    EXPECT_EQ(done.Count(), 1);
    EXPECT_EQ(done.LastChannel(), 0u);
    ASSERT_EQ(positions.size(), 1u);
    EXPECT_EQ(positions[0], frames);
}

TEST(WaveBackend, PositionNeverGoesBackOrPastTheRange) {
    const uint32_t frames = kRate / 4;
    const auto tone = MakeTone(kRate, frames, 1000.0, 16);
    DoneCounter done;
    std::vector<uint32_t> positions;
    PlayThroughWriter(tone, MakeFormat(kRate, 1, 16), 0, &done,
                      [&](AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
                          while (done.Count() == 0 && positions.size() < 2000) {
                              uint32_t position = 0;
                              EXPECT_EQ(
                                  AmbrelWaveMixGetPlayPosition(session, 0, &wave, &position, 1), 0);
                              positions.push_back(position);
                              std::this_thread::sleep_for(std::chrono::milliseconds(2));
                          }
                      });
    ASSERT_GT(positions.size(), 3u);
    for (size_t i = 1; i < positions.size(); ++i) {
        EXPECT_LE(positions[i - 1], positions[i]);
        EXPECT_LE(positions[i], frames);
    }
    // Somewhere in the middle the position was strictly inside the range.
    EXPECT_TRUE(std::any_of(positions.begin(), positions.end(),
                            [&](uint32_t p) { return p > 0 && p < frames; }));
}

// The writer mixes OpenAL Soft's default period, 1024 frames (23 ms), at a time: a lead asked
// shorter than that must still never let the queue run dry at each mix. A pause now and then
// is the machine's load (see kStarvedFrames); one per period is the queue's own fault, so
// more than one in eight fails.
TEST(WaveBackend, ALeadShorterThanTheDevicesPeriodStillPlaysWithoutPauses) {
    constexpr uint32_t kFrames = 44100 * 3 / 2;  // 64 periods
    const auto tone = MakeTone(44100, kFrames, 1000.0, 16);
    for (const uint32_t latencyMs : {5u, 20u}) {
        SCOPED_TRACE(latencyMs);
        MixerSessionConfig config = MakeConfig(44100);
        config.latencyMs = latencyMs;
        const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
        ASSERT_NE(session, 0u) << "error " << AmbrelWaveMixGetLastError();
        ASSERT_EQ(AmbrelWaveMixActivate(session, 1), 0);
        ASSERT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
        const MixerPcmFormat format = MakeFormat(44100, 1, 16);
        const MixerWaveSource source{&format, tone.data(), static_cast<uint32_t>(tone.size()), 0,
                                     0};
        const AmbrelWaveMixWave wave =
            AmbrelWaveMixOpenWave(session, &source, 0, AMBREL_WAVEMIX_WAVE_MEMORY);
        ASSERT_NE(wave, 0u);
        DoneCounter done;
        const MixerPlayParams params = done.Params();
        ASSERT_EQ(AmbrelWaveMixPlayEx(session, 0, 1, wave, 0, &params), 0);
        EXPECT_TRUE(done.Wait(1, 10000));
        ASSERT_EQ(AmbrelWaveMixCloseSession(session), 0);
        StereoCapture capture;
        ASSERT_TRUE(ReadFloatWav(OutputPath(), &capture));
        const Span audible = Audible(capture);
        EXPECT_GE(SoundingFrames(capture, audible), kFrames * 99 / 100);
        EXPECT_LE(StarvedRuns(capture, audible.begin, audible.end).size(), kFrames / 1024 / 8);
    }
}

TEST(WaveBackend, StopSilencesTheOutputAndSendsNoDone) {
    const uint32_t frames = kRate * 2;  // far longer than we let it play
    const auto tone = MakeTone(kRate, frames, 1000.0, 16);
    DoneCounter done;
    uint32_t stoppedAt = 0;
    uint32_t later = 0;
    const StereoCapture capture = PlayThroughWriter(
        tone, MakeFormat(kRate, 1, 16), 0, &done,
        [&](AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
            WaitForPosition(session, wave, kRate / 10);
            EXPECT_EQ(AmbrelWaveMixStopChannel(session, 0, 0), 0);
            EXPECT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &stoppedAt, 1), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            EXPECT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &later, 1), 0);
        },
        false);
    EXPECT_EQ(done.Count(), 0);
    EXPECT_GE(stoppedAt, kRate / 10);
    EXPECT_LT(stoppedAt, frames);
    EXPECT_EQ(later, stoppedAt);
    const Span span = Audible(capture);
    ASSERT_GT(span.end, span.begin);
    // After the stop the writer kept running for 150 ms and wrote only silence.
    EXPECT_GE(capture.left.size() - span.end, 44100u / 20);
    EXPECT_LT(span.end - span.begin, size_t{frames} * 2);
}

TEST(WaveBackend, EightBitUnsignedSamplesPlay) {
    const auto tone = MakeTone(kRate, kRate / 5, 1000.0, 8);
    DoneCounter done;
    const StereoCapture capture = PlayThroughWriter(tone, MakeFormat(kRate, 1, 8), 0, &done);
    const Span span = Audible(capture);
    ASSERT_GT(span.end - span.begin, 44100u / 10);
    const auto [left, right] = MiddleLevels(capture, span.begin, span.end);
    EXPECT_GT(left, 0.05);
    EXPECT_LE(std::fabs(Db(left / right)), 1.0);

    // 128 is silence in 8-bit: read as signed it would be a loud offset.
    const std::vector<unsigned char> silence(kRate / 10, 128);
    DoneCounter silentDone;
    const StereoCapture quiet = PlayThroughWriter(silence, MakeFormat(kRate, 1, 8), 0, &silentDone);
    const Span none = Audible(quiet);
    EXPECT_EQ(none.end, none.begin);
    EXPECT_EQ(silentDone.Count(), 1);
}

TEST(WaveBackend, LowpassDampsHighFrequenciesOnly) {
    const auto high = MakeTone(kRate, kRate / 5, 9000.0, 16);
    DoneCounter plainDone;
    DoneCounter filteredDone;
    const StereoCapture plain = PlayThroughWriter(high, MakeFormat(kRate, 1, 16), 0, &plainDone);
    const StereoCapture filtered =
        PlayThroughWriter(high, MakeFormat(kRate, 1, 16), 0, &filteredDone, {}, true, true);
    const Span plainSpan = Audible(plain);
    const Span filteredSpan = Audible(filtered);
    ASSERT_GT(plainSpan.end - plainSpan.begin, 44100u / 10);
    ASSERT_GT(filteredSpan.end - filteredSpan.begin, 44100u / 10);
    const double plainLevel = MiddleLevels(plain, plainSpan.begin, plainSpan.end).first;
    const double filteredLevel = MiddleLevels(filtered, filteredSpan.begin, filteredSpan.end).first;
    std::printf("[measured] 9 kHz with low-pass: %.1f dB\n", Db(filteredLevel / plainLevel));
    EXPECT_LT(Db(filteredLevel / plainLevel), -3.0);
}

// Left over right in dB over the middle of what was heard.
double LeftOverRightDb(const StereoCapture& capture, size_t begin, size_t end) {
    const auto [left, right] = MiddleLevels(capture, begin, end);
    return Db((left + 1e-9) / (right + 1e-9));
}

TEST(WaveBackend, APlacedStereoWavePlaysFromItsPlaceAndUnplacedAsItIs) {
    // The same tone on both channels: as it is, both speakers alike.
    const auto tone = MakeTone(kRate, kRate / 4, 1000.0, 16);
    const auto stereo = Interleave(tone, tone);
    const uint32_t size = sizeof(MixerPlace);
    struct Row {
        const char* what;
        bool bPlaced;
        MixerPlace place;
        double lowDb;   // left over right, at least
        double highDb;  // and at most
    };
    for (const Row& row : {Row{"as it is", false, {}, -1.0, 1.0},
                           Row{"hard left", true, {size, -90, 0, 100, 0, 1.0f}, 20.0, 400.0},
                           Row{"hard right", true, {size, 90, 0, 100, 0, 1.0f}, -400.0, -20.0},
                           Row{"ahead, wide", true, {size, 0, 0, 100, 180, 1.0f}, -1.0, 1.0}}) {
        SCOPED_TRACE(row.what);
        DoneCounter done;
        const StereoCapture capture =
            PlayThroughWriter(stereo, MakeFormat(kRate, 2, 16), -90, &done, {}, true, false,
                              row.bPlaced ? &row.place : nullptr);
        const Span span = Audible(capture);
        ASSERT_GT(span.end - span.begin, 44100u / 8);
        const double db = LeftOverRightDb(capture, span.begin, span.end);
        std::printf("[measured] stereo %s: left over right %.1f dB\n", row.what, db);
        EXPECT_GE(db, row.lowDb);
        EXPECT_LE(db, row.highDb);
        EXPECT_EQ(done.Count(), 1);
    }
}

TEST(WaveBackend, AMixedStereoWaveReachesTheOutputAsItIsWhateverThePlaceAndLowpass) {
    // A 9 kHz tone on the left only: the low-pass would take it down, a place would move it.
    const auto tone = MakeTone(kRate, kRate / 4, 9000.0, 16);
    const auto silence = std::vector<unsigned char>(tone.size(), 0);
    const auto leftOnly = Interleave(tone, silence);
    const MixerPlace right{sizeof(MixerPlace), 90, 0, 100, 0, 1.0f};
    struct Row {
        const char* what;
        bool bLowpass;
        const MixerPlace* place;
        uint32_t flags;
    };
    const uint32_t mixed = AMBREL_WAVEMIX_WAVE_MEMORY | AMBREL_WAVEMIX_WAVE_MIXED;
    double plainLeft = 0.0;
    for (const Row& row : {Row{"plain, as it is", false, nullptr, AMBREL_WAVEMIX_WAVE_MEMORY},
                           Row{"mixed, low-pass on", true, nullptr, mixed},
                           Row{"mixed, placed right", true, &right, mixed}}) {
        SCOPED_TRACE(row.what);
        DoneCounter done;
        const StereoCapture capture =
            PlayThroughWriter(leftOnly, MakeFormat(kRate, 2, 16), 90, &done, {}, true, row.bLowpass,
                              row.place, row.flags);
        const Span span = Audible(capture);
        ASSERT_GT(span.end - span.begin, 44100u / 8);
        const auto [left, rightLevel] = MiddleLevels(capture, span.begin, span.end);
        plainLeft = plainLeft == 0.0 ? left : plainLeft;
        std::printf("[measured] %s: left %.2f dB of plain, left over right %.1f dB\n", row.what,
                    Db(left / plainLeft), Db((left + 1e-9) / (rightLevel + 1e-9)));
        EXPECT_NEAR(Db(left / plainLeft), 0.0, 0.5);
        EXPECT_GE(Db((left + 1e-9) / (rightLevel + 1e-9)), 40.0);
    }
    // Only a stereo wave can be already mixed.
    const MixerSessionConfig config = MakeConfig(44100);
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(session, 0u);
    const MixerPcmFormat mono = MakeFormat(kRate, 1, 16);
    const MixerWaveSource source{&mono, tone.data(), static_cast<uint32_t>(tone.size()), 0, 0};
    EXPECT_EQ(AmbrelWaveMixOpenWave(session, &source, 0, mixed), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_FORMAT);
    EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);
}

TEST(WaveBackend, APlaceOrADirectionDuringPlaySplitsOrJoinsAStereoWaveWhereItIs) {
    const uint32_t frames = kRate * 2 / 5;
    const auto tone = MakeTone(kRate, frames, 1000.0, 16);
    const auto stereo = Interleave(tone, tone);
    const MixerPlace left{sizeof(MixerPlace), -90, 0, 100, 0, 1.0f};
    for (const bool bPlacedFirst : {false, true}) {
        SCOPED_TRACE(bPlacedFirst);
        DoneCounter done;
        uint32_t changedAt = 0;
        const StereoCapture capture = PlayThroughWriter(
            stereo, MakeFormat(kRate, 2, 16), -90, &done,
            [&](AmbrelWaveMixSession session, AmbrelWaveMixWave wave) {
                WaitForPosition(session, wave, frames / 2);
                if (bPlacedFirst) {
                    const MixerPosition position{-90, 0, 0};
                    EXPECT_EQ(AmbrelWaveMixSetPosition(session, 0, 0, &position), 0);
                } else {
                    EXPECT_EQ(AmbrelWaveMixSetPlace(session, 0, 0, &left), 0);
                }
                EXPECT_EQ(AmbrelWaveMixGetPlayPosition(session, 0, &wave, &changedAt, 1), 0);
            },
            true, false, bPlacedFirst ? &left : nullptr);
        EXPECT_EQ(done.Count(), 1);
        EXPECT_GE(changedAt, frames / 2);
        EXPECT_LT(changedAt, frames);
        const Span span = Audible(capture);
        // Nothing played twice or skipped: the sound lasts as long as the wave, give or take
        // a device update (and any pause of a starved output).
        EXPECT_NEAR(double(SoundingFrames(capture, span)), frames * 2.0, 44100 / 20.0);
        const size_t third = (span.end - span.begin) / 3;
        const double first = LeftOverRightDb(capture, span.begin, span.begin + third);
        const double last = LeftOverRightDb(capture, span.end - third, span.end);
        EXPECT_NEAR(bPlacedFirst ? last : first, 0.0, 1.0);
        EXPECT_GE(bPlacedFirst ? first : last, 20.0);
    }
}

TEST(WaveBackend, APlaceOutOfRangeOrOnNoOpenChannelIsRefused) {
    const MixerSessionConfig config = MakeConfig(44100);
    const AmbrelWaveMixSession session = AmbrelWaveMixInitEx(&config);
    ASSERT_NE(session, 0u);
    ASSERT_EQ(AmbrelWaveMixActivate(session, 1), 0);
    const MixerPlace good{sizeof(MixerPlace), 180, -90, 10000, 180, 1.0f};
    const MixerPlace tooFar{sizeof(MixerPlace), 0, 0, 10001, 0, 1.0f};
    EXPECT_EQ(AmbrelWaveMixSetPlace(session, 0, 0, &good), AMBREL_WAVEMIX_ERR_CHANNEL_NOT_OPEN);
    ASSERT_EQ(AmbrelWaveMixOpenChannel(session, 0, 1), 0);
    EXPECT_EQ(AmbrelWaveMixSetPlace(session, 0, 0, &good), 0);
    EXPECT_EQ(AmbrelWaveMixSetPlace(session, 0, 0, &tooFar), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixSetPlace(session, 0, 0, nullptr), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixCloseSession(session), 0);
}

}  // namespace

// 24- and 32-bit integers and floats play as floats at the level of the same 16-bit tone, and
// floats that are not numbers play as silence.
TEST(WaveBackend, DeepSamplesPlayAtTheLevelOfSixteenBits) {
    const auto tone = MakeTone(kRate, kRate / 5, 1000.0, 16);
    DoneCounter done;
    const StereoCapture reference = PlayThroughWriter(tone, MakeFormat(kRate, 1, 16), 0, &done);
    const Span heard = Audible(reference);
    ASSERT_GT(heard.end - heard.begin, 44100u / 10);
    const double level = MiddleLevels(reference, heard.begin, heard.end).first;
    struct Deep {
        uint16_t tag, bits;
    };
    for (const Deep deep : {Deep{1, 24}, Deep{1, 32}, Deep{3, 32}}) {
        SCOPED_TRACE(deep.bits + 100 * deep.tag);
        const size_t width = deep.bits / 8u;
        std::vector<unsigned char> samples(tone.size() / 2 * width);
        for (size_t i = 0; i < tone.size() / 2; ++i) {
            const auto value = static_cast<int16_t>(tone[2 * i] | tone[2 * i + 1] << 8);
            if (deep.tag == 3) {
                const float f = static_cast<float>(value) / 32768.0f;
                std::memcpy(&samples[i * width], &f, sizeof f);
            } else {
                const uint32_t v = static_cast<uint32_t>(value) << (8 * (width - 2));
                std::memcpy(&samples[i * width], &v, width);
            }
        }
        MixerPcmFormat format = MakeFormat(kRate, 1, deep.bits);
        format.formatTag = deep.tag;
        DoneCounter deepDone;
        const StereoCapture capture = PlayThroughWriter(samples, format, 0, &deepDone);
        const Span span = Audible(capture);
        ASSERT_GT(span.end - span.begin, 44100u / 10);
        EXPECT_LE(std::fabs(Db(MiddleLevels(capture, span.begin, span.end).first / level)), 0.1);
    }
    std::vector<unsigned char> nan(kRate / 10 * 4);
    for (size_t i = 0; i < nan.size(); i += 4) {
        const float f = std::nanf("");
        std::memcpy(&nan[i], &f, sizeof f);
    }
    MixerPcmFormat floats = MakeFormat(kRate, 1, 32);
    floats.formatTag = 3;
    DoneCounter nanDone;
    const StereoCapture quiet = PlayThroughWriter(nan, floats, 0, &nanDone);
    const Span none = Audible(quiet);
    EXPECT_EQ(none.end, none.begin);
}
