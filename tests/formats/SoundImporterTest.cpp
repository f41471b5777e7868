// What import refuses and why, what it keeps (the pan chunk), and that libsndfile's errors
// come back as statuses with libsndfile's text.
#include "formats/SoundImporter.h"

#include <gtest/gtest.h>

#include <cstring>

#include "formats/ImportResampler.h"
#include "support/FileBytes.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

using Status = SoundImporter::Status;

// 24-bit samples in file order (little- or big-endian) for the values given.
Bytes Samples24(const std::vector<int32_t>& values, bool bBigEndian) {
    Bytes out;
    for (int32_t v : values) {
        const auto u = static_cast<uint32_t>(v);
        const uint8_t bytes[3] = {uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16)};
        if (bBigEndian) {
            out.insert(out.end(), {bytes[2], bytes[1], bytes[0]});
        } else {
            out.insert(out.end(), {bytes[0], bytes[1], bytes[2]});
        }
    }
    return out;
}

Bytes PanChunkData(const std::vector<PanChunkPoint>& points, uint32_t frames, bool bBigEndian) {
    PanChunkBytes chunk = *BuildPanChunk(points, frames, true, 77);
    if (bBigEndian) {
        PanChunkToBigEndian(chunk.data(), chunk.size());
    }
    return chunk;
}

Bytes FloatWave(const std::vector<float>& values) {
    PcmFormat format = MakeFormat(1, 22050, 32);
    format.formatTag = 3;
    Bytes data(values.size() * 4);
    std::memcpy(data.data(), values.data(), data.size());
    return WaveFile(format, data);
}

std::vector<int16_t> Samples(const ImportedSound& sound) {
    std::vector<int16_t> out(sound.dataBytes / 2);
    std::memcpy(out.data(), sound.samples.data(), out.size() * 2);
    return out;
}

using PointPairs = std::vector<std::pair<uint32_t, int32_t>>;

PointPairs Pairs(const std::vector<PanChunkPoint>& points) {
    PointPairs out;
    for (const PanChunkPoint& p : points) {
        out.emplace_back(p.position, p.pan);
    }
    return out;
}

class SoundImporterTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const Bytes& bytes) {
        WriteBytes(m_dir.File(name), bytes);
        return m_dir.File(name);
    }
    Status Import(const std::string& path, ImportedSound& sound, ImportOptions options = {16}) {
        options.bDither = false;
        SoundImporter importer(path, options);
        return importer.Import(sound);
    }
    TempDir m_dir;
};

const std::vector<int32_t> kValues24 = {0, 127, 128, -128, -129, 0x7FFFFF, -0x800000, 0x123456};
// Half a step up rounds up, half a step down rounds towards zero, the top clips to 32767.
const std::vector<int16_t> kValues16 = {0, 0, 1, 0, -1, 32767, -32768, 0x1234};

}  // namespace

TEST(SoundImporterRates, PlayableRatesStayAndHigherOnesFallToTheirFamily) {
    EXPECT_EQ(SoundImporter::ImportRate(5999), 8000u);
    EXPECT_EQ(SoundImporter::ImportRate(1), 8000u);
    EXPECT_EQ(SoundImporter::ImportRate(6000), 6000u);
    EXPECT_EQ(SoundImporter::ImportRate(22050), 22050u);
    EXPECT_EQ(SoundImporter::ImportRate(48000), 48000u);
    EXPECT_EQ(SoundImporter::ImportRate(48001), 48000u);
    EXPECT_EQ(SoundImporter::ImportRate(88200), 44100u);
    EXPECT_EQ(SoundImporter::ImportRate(176400), 44100u);
    EXPECT_EQ(SoundImporter::ImportRate(96000), 48000u);
    EXPECT_EQ(SoundImporter::ImportRate(384000), 48000u);
    EXPECT_EQ(ImportResampler::MapPosition(3, 96000, 48000), 2u);  // 1.5 rounds up
    EXPECT_EQ(ImportResampler::MapPosition(0xFFFFFFFFu, 96000, 48000), 0x80000000u);
    EXPECT_EQ(ImportResampler::OutputFrames(44101, 88200, 44100), 22051u);
}

TEST_F(SoundImporterTest, A24BitWaveKeepsItsPanChunkAndItsSamplesRound) {
    const std::vector<PanChunkPoint> points = {{0, -90}, {3, 10}, {8, 90}};
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 22050, 24)), false);
    Append(chunks, Chunk("data", Samples24(kValues24, false), false));
    Append(chunks, Chunk("achk", PanChunkData(points, 8, false), false));
    const std::string path = Write("take.wav", Form("RIFF", "WAVE", chunks, false));

    ImportedSound sound;
    ASSERT_EQ(Import(path, sound), Status::Ok);
    EXPECT_EQ(sound.format.channels, 1);
    EXPECT_EQ(sound.format.sampleRate, 22050u);
    EXPECT_EQ(Samples(sound), kValues16);
    ASSERT_TRUE(sound.panChunk.has_value());
    const PanChunkContents pan = *ParsePanChunk(*sound.panChunk);
    EXPECT_EQ(pan.version, kPanChunkVersion);
    EXPECT_EQ(pan.frameCount, 8u);
    EXPECT_EQ(pan.carriedFlag, 1);
    EXPECT_EQ(pan.carriedValue, 77);
    EXPECT_EQ(Pairs(pan.points), Pairs(points));
}

TEST_F(SoundImporterTest, A24BitAiffKeepsItsBigEndianPanChunk) {
    const std::vector<PanChunkPoint> points = {{1, -45}, {7, 30}};
    const std::string path =
        Write("take.aif", AiffFile(1, 24, 44100, Samples24(kValues24, true),
                                   Chunk("achk", PanChunkData(points, 8, true), true)));
    ImportedSound sound;
    ASSERT_EQ(Import(path, sound), Status::Ok);
    EXPECT_EQ(Samples(sound), kValues16);
    ASSERT_TRUE(sound.panChunk.has_value());
    EXPECT_EQ(Pairs(ParsePanChunk(*sound.panChunk)->points), Pairs(points));
    EXPECT_EQ(ParsePanChunk(*sound.panChunk)->frameCount, 8u);
}

TEST_F(SoundImporterTest, ResamplingMovesThePanPointsWithTheSound) {
    const uint32_t frames = 9600;
    const std::vector<PanChunkPoint> points = {{0, -90}, {4801, 0}, {frames, 90}};
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 96000, 24)), false);
    Append(chunks, Chunk("data", Samples24(std::vector<int32_t>(frames, 1000), false), false));
    Append(chunks, Chunk("achk", PanChunkData(points, frames, false), false));
    const std::string path = Write("hi.wav", Form("RIFF", "WAVE", chunks, false));

    ImportedSound sound;
    ASSERT_EQ(Import(path, sound), Status::Ok);
    EXPECT_EQ(sound.format.sampleRate, 48000u);
    EXPECT_EQ(sound.sourceRate, 96000u);
    EXPECT_EQ(sound.dataBytes, frames / 2 * 2);
    ASSERT_TRUE(sound.panChunk.has_value());
    const PanChunkContents pan = *ParsePanChunk(*sound.panChunk);
    EXPECT_EQ(pan.frameCount, frames / 2);
    EXPECT_EQ(Pairs(pan.points), (PointPairs{{0, -90}, {2401, 0}, {frames / 2, 90}}));
    // A steady level stays where it was, away from the filter's edges.
    EXPECT_NEAR(Samples(sound)[2400], 4, 1);
}

TEST_F(SoundImporterTest, RefusesMoreThanTwoChannelsNamingTheCount) {
    Bytes data(3 * 2 * 10, 0);
    const std::string path = Write("three.wav", WaveFile(MakeFormat(3, 22050, 16), data));
    SoundImporter importer(path, ImportOptions{16});
    EXPECT_EQ(importer.Examine(), Status::TooManyChannels);
    EXPECT_EQ(importer.GetChannels(), 3);
    ImportedSound sound;
    EXPECT_EQ(importer.Import(sound), Status::TooManyChannels);
    EXPECT_FALSE(sound.samples);
}

TEST_F(SoundImporterTest, RatesBelow6000HzAreResampledUpTo8000HzWithTheirPoints) {
    const struct {
        uint32_t rate;
        uint32_t frames;
    } sources[] = {{4000, 4000}, {5999, 5999}, {2000, 1000}};
    for (const auto& source : sources) {
        SCOPED_TRACE(source.rate);
        const uint32_t middle = source.frames / 2;
        const std::vector<PanChunkPoint> points = {{0, -90}, {middle, 30}, {source.frames, 90}};
        Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, source.rate, 16)), false);
        Append(chunks, Chunk("data", Bytes(size_t{source.frames} * 2, 0), false));
        Append(chunks, Chunk("achk", PanChunkData(points, source.frames, false), false));
        const std::string path = Write("low" + std::to_string(source.rate) + ".wav",
                                       Form("RIFF", "WAVE", chunks, false));

        ImportedSound sound;
        ASSERT_EQ(Import(path, sound), Status::Ok);
        EXPECT_EQ(sound.format.sampleRate, 8000u);
        EXPECT_EQ(sound.sourceRate, source.rate);
        const uint64_t frames = ImportResampler::OutputFrames(source.frames, source.rate, 8000);
        EXPECT_EQ(sound.dataBytes, frames * 2);
        ASSERT_TRUE(sound.panChunk.has_value());
        const PanChunkContents pan = *ParsePanChunk(*sound.panChunk);
        EXPECT_EQ(pan.frameCount, frames);
        const auto moved = [&](uint32_t at) {
            return static_cast<uint32_t>(ImportResampler::MapPosition(at, source.rate, 8000));
        };
        EXPECT_EQ(Pairs(pan.points),
                  (PointPairs{{0, -90}, {moved(middle), 30}, {moved(source.frames), 90}}));
    }
    Bytes data(2 * 100, 0);
    SoundImporter lowest(Write("ok.wav", WaveFile(MakeFormat(1, 6000, 16), data)), {});
    EXPECT_EQ(lowest.Examine(), Status::Ok);
    EXPECT_EQ(lowest.GetImportRate(), 6000u);
    // 16 bits to 16 bits at the same rate: nothing to dither.
    EXPECT_FALSE(lowest.DropsBitDepth());
}

TEST_F(SoundImporterTest, RefusesASoundWithoutFrames) {
    SoundImporter importer(Write("empty.wav", WaveFile(MakeFormat(2, 44100, 24), {})), {});
    EXPECT_EQ(importer.Examine(), Status::Empty);
}

TEST_F(SoundImporterTest, WhatLibsndfileCannotReadComesBackWithItsText) {
    SoundImporter text(Write("notes.wav", Bytes{'h', 'e', 'l', 'l', 'o', '\n'}), {});
    EXPECT_EQ(text.Examine(), Status::Unreadable);
    EXPECT_FALSE(text.GetError().empty());
    SoundImporter missing(m_dir.File("nothing-here.flac"), {});
    ImportedSound sound;
    EXPECT_EQ(missing.Import(sound), Status::Unreadable);
    EXPECT_NE(missing.GetError().find("No such file"), std::string::npos) << missing.GetError();
}

TEST_F(SoundImporterTest, ValuesBeyondFullScaleAreClippedAndCounted) {
    ImportedSound sound;
    ASSERT_EQ(Import(Write("loud.wav", FloatWave({0.25f, 1.5f, -2.0f, 1.0f, -1.0f})), sound),
              Status::Ok);
    EXPECT_EQ(Samples(sound), (std::vector<int16_t>{8192, 32767, -32768, 32767, -32768}));
    EXPECT_EQ(sound.clippedSamples, 2u);
}

TEST_F(SoundImporterTest, CutFilesNeverCrashAndKeepWhatIsThere) {
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(2, 44100, 24)), false);
    Append(chunks, Chunk("data", Samples24(std::vector<int32_t>(2000, 5000), false), false));
    const Bytes whole = Form("RIFF", "WAVE", chunks, false);
    for (size_t length = 0; length < whole.size(); length += 97) {
        SCOPED_TRACE(length);
        const std::string path =
            Write("cut.wav", Bytes(whole.begin(), whole.begin() + long(length)));
        SoundImporter importer(path, ImportOptions{16});
        ImportedSound sound;
        const Status status = importer.Import(sound);
        if (status == Status::Ok) {
            // Only whole frames that the file holds.
            EXPECT_LE(sound.dataBytes, (length / 6) * 4);
            EXPECT_EQ(sound.dataBytes % 4, 0u);
        } else {
            EXPECT_TRUE(status == Status::Unreadable || status == Status::Empty ||
                        status == Status::ReadFailed)
                << int(status);
        }
    }
}

class SoundImporterSox : public SoundImporterTest {
  protected:
    void SetUp() override {
        if (!SoxTools::Available()) {
            GTEST_SKIP() << "sox and sndfile-programs are not installed";
        }
    }
    std::string Flac() {
        const std::string path = m_dir.File("take.flac");
        const SoxTools::Outcome made = SoxTools::Command(
            "sox -n -r 44100 -c 2 -b 24 " + SoxTools::Quote(path) + " synth 0.5 sine 440");
        EXPECT_EQ(made.status, 0) << made.output;
        return path;
    }
};

TEST_F(SoundImporterSox, ATruncatedFlacFailsWithLibsndfilesText) {
    const Bytes whole = ReadBytes(Flac());
    const std::string path = Write("cut.flac", Bytes(whole.begin(), whole.begin() + 4000));
    SoundImporter importer(path, ImportOptions{16});
    ImportedSound sound;
    EXPECT_EQ(importer.Import(sound), Status::ReadFailed);
    EXPECT_FALSE(importer.GetError().empty());
}

// A FLAC stream stores its length in 36 bits of its STREAMINFO block.
TEST_F(SoundImporterSox, ADeclaredLengthIsAHintNotATrust) {
    Bytes flac = ReadBytes(Flac());
    ASSERT_GT(flac.size(), 26u);
    const auto declare = [&](uint64_t frames) {
        flac[21] = static_cast<uint8_t>((flac[21] & 0xF0) | ((frames >> 32) & 0x0F));
        for (int i = 0; i < 4; ++i) {
            flac[22 + size_t(i)] = static_cast<uint8_t>(frames >> (24 - 8 * i));
        }
    };
    // Beyond what a WAV file can hold: refused before anything is read.
    declare((uint64_t{1} << 36) - 1);
    SoundImporter huge(Write("huge.flac", flac), ImportOptions{16});
    EXPECT_EQ(huge.Examine(), Status::TooLong);
    EXPECT_EQ(huge.GetFrames(), (int64_t{1} << 36) - 1);
    // Large but possible: the import holds what the file really has.
    declare(300000000);
    SoundImporter lying(Write("lying.flac", flac), ImportOptions{16});
    ImportedSound sound;
    ASSERT_EQ(lying.Import(sound), Status::Ok) << lying.GetError();
    EXPECT_EQ(sound.dataBytes, 22050u * 4);
}
