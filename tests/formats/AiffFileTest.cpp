#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "formats/CAiffFile.h"
#include "support/FileBytes.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"

namespace {

Bytes Raw80(std::initializer_list<uint8_t> bytes) {
    return Bytes(bytes);
}

Bytes Raw80(double value) {
    const Extended80 e = DoubleToExtended(value);
    return Bytes(e.begin(), e.end());
}

TEST(Extended, KnownRatesAndEdges) {
    EXPECT_EQ(Raw80(44100.0), (Bytes{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Raw80(22050.0), (Bytes{0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Raw80(0.0), Bytes(10, 0));
    EXPECT_EQ(Raw80(-1.0), (Bytes{0xBF, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Raw80(std::numeric_limits<double>::infinity()),
              (Bytes{0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Raw80(std::nan("")), (Bytes{0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}));

    for (double value :
         {1.0, 6000.0, 8000.0, 22050.5, 48000.0, 96000.0, 0.1, -3.75, 1e300, 1e-300, 4.9e-324}) {
        SCOPED_TRACE(value);
        EXPECT_EQ(ExtendedToDouble(DoubleToExtended(value)), value);
    }
    Extended80 infinity{0x7F, 0xFF, 0x12, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_TRUE(std::isinf(ExtendedToDouble(infinity)));
}

class AiffFileTest : public ::testing::Test {
  protected:
    std::string Put(const Bytes& bytes, const std::string& name = "in.aif") {
        const std::string path = m_dir.File(name);
        WriteBytes(path, bytes);
        return path;
    }
    // Opens a mono 8-bit AIFF whose COMM carries these raw rate bytes.
    uint32_t RateOf(const Bytes& rate80) {
        Bytes chunks = Chunk("COMM", CommPayload(1, 4, 8, rate80), true);
        Append(chunks, Chunk("SSND", SsndPayload({1, 2, 3, 4}), true));
        CFile file(Put(Form("FORM", "AIFF", chunks, true)), CFile::Mode::Read);
        CAiffFile aiff(file);
        PcmFormat format{};
        EXPECT_EQ(aiff.ReadFormat(format), 4u);
        return format.sampleRate;
    }

    TempDir m_dir;
};

TEST_F(AiffFileTest, RatesTruncateAndUnusableOnesReadAsZero) {
    EXPECT_EQ(RateOf(Raw80(22050.5)), 22050u);
    EXPECT_EQ(RateOf(Raw80(44100.0)), 44100u);
    EXPECT_EQ(RateOf(Raw80(2147483647.0)), 2147483647u);
    EXPECT_EQ(RateOf(Raw80(2147483648.0)), 0u);
    EXPECT_EQ(RateOf(Raw80(1e30)), 0u);
    EXPECT_EQ(RateOf(Raw80(-8000.0)), 0u);
    EXPECT_EQ(RateOf(Raw80({0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0})), 0u);     // infinity
    EXPECT_EQ(RateOf(Raw80({0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0})), 0u);  // not a number
    EXPECT_EQ(RateOf(Raw80({0x00, 0x00, 0x40, 0, 0, 0, 0, 0, 0, 0})), 0u);  // denormal
    EXPECT_EQ(RateOf(Raw80({0x7F, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})), 0u);
}

TEST_F(AiffFileTest, FormatFromComm) {
    Bytes chunks = Chunk("COMM", CommPayload(2, 999, 16, Raw80(32000.0)), true);
    // The block size is not 0 and is ignored.
    Bytes ssnd = {0, 0, 0, 0, 0, 0, 0, 9, 0x12, 0x34, 0xAB, 0xCD};
    Append(chunks, Chunk("SSND", ssnd, true));
    const SoundContents read = ReadSound(Put(Form("FORM", "AIFF", chunks, true)));
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.typeName, "AIFF");
    EXPECT_EQ(FmtPayload(read.format), FmtPayload(MakeFormat(2, 32000, 16)));
    EXPECT_EQ(read.dataBytes, 4u) << "the frame count of COMM is not used";
    EXPECT_EQ(read.samples, (Bytes{0x34, 0x12, 0xCD, 0xAB}));
}

TEST_F(AiffFileTest, CommMustBe18AndSsndMoreThan8) {
    for (size_t commSize : {16u, 17u, 18u, 20u}) {
        for (size_t samples : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << commSize << " " << samples);
            Bytes comm = CommPayload(1, 1, 8, Raw80(8000.0));
            comm.resize(commSize, 0);
            Bytes chunks = Chunk("COMM", comm, true);
            Append(chunks, Chunk("SSND", SsndPayload(Bytes(samples, 5)), true));
            CFile file(Put(Form("FORM", "AIFF", chunks, true)), CFile::Mode::Read);
            CAiffFile aiff(file);
            PcmFormat format{};
            EXPECT_EQ(aiff.ReadFormat(format), commSize == 18 && samples == 1 ? 1u : 0u);
        }
    }
}

// "SSND" with its offset field set and that many padding bytes before the samples.
Bytes SsndWithOffset(uint32_t offset, const Bytes& fileSamples, uint8_t padding = 0xEE) {
    Bytes payload;
    AppendU32(payload, offset, true);
    AppendU32(payload, 4096, true);  // block size: ignored
    payload.insert(payload.end(), offset, padding);
    Append(payload, fileSamples);
    return Chunk("SSND", payload, true);
}

TEST_F(AiffFileTest, SamplesBeginOffsetBytesAfterTheOffsetFields) {
    for (uint32_t offset : {4u, 8192u}) {
        SCOPED_TRACE(offset);
        Bytes chunks = Chunk("COMM", CommPayload(1, 3, 16, Raw80(22050.0)), true);
        Append(chunks, SsndWithOffset(offset, {0x12, 0x34, 0xAB, 0xCD, 0x00, 0x01}));
        const SoundContents read = ReadSound(Put(Form("FORM", "AIFF", chunks, true)));
        ASSERT_TRUE(read.bOpened);
        EXPECT_EQ(read.dataBytes, 6u);
        EXPECT_EQ(read.samples, (Bytes{0x34, 0x12, 0xCD, 0xAB, 0x01, 0x00}));
    }
    // 8-bit, in a chunk that declares more samples than the file holds: capped at the file.
    Bytes payload;
    AppendU32(payload, 100, true);
    AppendU32(payload, 0, true);
    payload.insert(payload.end(), 100, 0xEE);
    Append(payload, {0x01, 0x02, 0x03});
    Bytes chunks = Chunk("COMM", CommPayload(1, 3, 8, Raw80(8000.0)), true);
    Append(chunks, ChunkDeclaring("SSND", 8 + 100 + 50, payload, true));
    const SoundContents read = ReadSound(Put(Form("FORM", "AIFF", chunks, true)));
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.dataBytes, 3u);
    EXPECT_EQ(read.samples, (Bytes{0x81, 0x82, 0x83}));
}

TEST_F(AiffFileTest, AnOffsetThatLeavesNoSamplesIsAChunkWithoutSamples) {
    // Offsets equal to and past the bytes after the two fields, one far enough to overflow a
    // 32-bit sum, and a chunk that ends inside the fields.
    for (uint32_t offset : {2u, 3u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(offset);
        Bytes payload;
        AppendU32(payload, offset, true);
        AppendU32(payload, 0, true);
        Append(payload, {1, 2});
        Bytes chunks = Chunk("COMM", CommPayload(1, 2, 8, Raw80(8000.0)), true);
        Append(chunks, Chunk("SSND", payload, true));
        CFile file(Put(Form("FORM", "AIFF", chunks, true)), CFile::Mode::Read);
        CAiffFile aiff(file);
        PcmFormat format{};
        EXPECT_EQ(aiff.ReadFormat(format), 0u);
    }
    Bytes chunks = Chunk("COMM", CommPayload(1, 2, 8, Raw80(8000.0)), true);
    Append(chunks, ChunkDeclaring("SSND", 20, {0, 0, 0}, true));
    CFile file(Put(Form("FORM", "AIFF", chunks, true)), CFile::Mode::Read);
    CAiffFile aiff(file);
    PcmFormat format{};
    EXPECT_EQ(aiff.ReadFormat(format), 0u);
}

TEST_F(AiffFileTest, SsndSizeIsCappedAtTheFile) {
    Bytes chunks = Chunk("COMM", CommPayload(1, 1, 8, Raw80(8000.0)), true);
    Append(chunks, ChunkDeclaring("SSND", 0xFFFFFFFFu, SsndPayload({1, 2, 3}), true));
    const SoundContents read = ReadSound(Put(Form("FORM", "AIFF", chunks, true)));
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.samples, (Bytes{0x81, 0x82, 0x83}));
}

TEST_F(AiffFileTest, SamplesConvertBothWaysAndTheBufferComesBack) {
    // 8-bit: 0x00 in the file is silence, 0x80 in memory.
    const std::string out8 = m_dir.File("out8.aif");
    Bytes mono8 = {0x80, 0x00, 0xFF, 0x7F, 0x81};
    ASSERT_TRUE(WriteSound(out8, "AIFF", MakeFormat(1, 8000, 8), mono8));
    EXPECT_EQ(ReadBytes(out8), AiffFile(1, 8, 8000, {0x00, 0x80, 0x7F, 0xFF, 0x01}));
    EXPECT_EQ(ReadSound(out8).samples, mono8);

    // 16-bit: 0x1234 in the file is 34 12 in memory.
    const std::string out16 = m_dir.File("out16.aif");
    Bytes stereo16 = {0x34, 0x12, 0xCD, 0xAB, 0x00, 0x80, 0xFF, 0x7F};
    ASSERT_TRUE(WriteSound(out16, "AIFF", MakeFormat(2, 44100, 16), stereo16));
    EXPECT_EQ(ReadBytes(out16),
              AiffFile(2, 16, 44100, {0x12, 0x34, 0xAB, 0xCD, 0x80, 0x00, 0x7F, 0xFF}));
    EXPECT_EQ(ReadSound(out16).samples, stereo16);
}

TEST_F(AiffFileTest, PanChunkIsBigEndianInTheFile) {
    PanChunkBytes pan = *BuildPanChunk({{0x01020304, -2}}, 0x0A0B0C0D, true, 0x1122);
    const std::string out = m_dir.File("out.aif");
    Bytes samples = {1, 2, 3};
    ASSERT_TRUE(WriteSound(out, "AIFF", MakeFormat(1, 8000, 8), samples, pan));
    const Bytes bytes = ReadBytes(out);
    Bytes expected = {0, 0, 0, 6, 0, 1, 0x0A, 0x0B, 0x0C, 0x0D, 0, 1, 0x11, 0x22};
    expected.resize(32, 0);
    Append(expected, {1, 2, 3, 4, 0xFF, 0xFE});
    EXPECT_EQ(Bytes(bytes.end() - 38, bytes.end()), expected);

    const SoundContents read = ReadSound(out);
    ASSERT_TRUE(read.pan.has_value());
    EXPECT_EQ(*read.pan, pan);
}

TEST_F(AiffFileTest, CommIsBuiltFromTheFormatAndTheDataSize) {
    const std::string out = m_dir.File("out.aif");
    CFile file(out, CFile::Mode::ReadWriteCreate);
    CAiffFile writer(file);
    // 11 bytes of stereo 16-bit: 2 whole frames.
    ASSERT_TRUE(writer.CreateHeader(MakeFormat(2, 22050, 16), 11));
    Bytes samples = Pattern(11);
    ASSERT_TRUE(writer.WriteSamples(samples.data(), 11));
    ASSERT_TRUE(writer.CloseSamples());
    ASSERT_TRUE(writer.CloseFile());
    const Bytes bytes = ReadBytes(out);
    EXPECT_EQ(Bytes(bytes.begin() + 20, bytes.begin() + 38), CommPayload(2, 2, 16, Raw80(22050.0)));
    EXPECT_EQ(Bytes(bytes.begin() + 38, bytes.begin() + 46),
              (Bytes{'S', 'S', 'N', 'D', 0, 0, 0, 8 + 11}));
    EXPECT_EQ(bytes.size(), 46u + 8 + 11 + 1);

    // A format no frame count can describe does not divide by zero.
    CAiffFile odd(file);
    EXPECT_TRUE(odd.CreateHeader(PcmFormat{1, 0, 8000, 0, 0, 4}, 10));
}

// WAV to AIFF and back keeps every sample, 8 and 16 bit, mono and stereo.
TEST_F(AiffFileTest, WaveToAiffAndBack) {
    for (const PcmFormat& format : {MakeFormat(1, 8000, 8), MakeFormat(2, 11025, 8),
                                    MakeFormat(1, 22050, 16), MakeFormat(2, 48000, 16)}) {
        SCOPED_TRACE(testing::Message() << format.channels << "ch " << format.bitsPerSample);
        const Bytes samples = Pattern(1001, format.bitsPerSample + format.channels);
        const Bytes original = WaveFile(format, samples);
        SoundContents wave = ReadSound(Put(original, "a.wav"));
        ASSERT_TRUE(wave.bOpened);
        const std::string aif = m_dir.File("b.aif");
        ASSERT_TRUE(WriteSound(aif, "AIFF", wave.format, wave.samples));
        SoundContents aiff = ReadSound(aif);
        ASSERT_TRUE(aiff.bOpened);
        EXPECT_EQ(FmtPayload(aiff.format), FmtPayload(format));
        EXPECT_EQ(aiff.samples, samples);
        const std::string back = m_dir.File("c.wav");
        ASSERT_TRUE(WriteSound(back, "WAVE", aiff.format, aiff.samples));
        EXPECT_EQ(ReadBytes(back), original);
    }
}

}  // namespace

// A read of several stretches: each one the callback hears of is already in memory form, the
// stretches join up as one read would, and a file that ends early reads on as converted zeros.
TEST_F(AiffFileTest, LongReadsConvertAndReportStretchByStretch) {
    for (const uint16_t bits : {8, 16}) {
        SCOPED_TRACE(bits);
        const Bytes file = Pattern((5u << 19) + 2);  // 2.5 MiB and a frame or two
        CFile in(Put(AiffFile(2, bits, 44100, file), "long.aif"), CFile::Mode::Read);
        CAiffFile aiff(in);
        PcmFormat format{};
        ASSERT_EQ(aiff.ReadFormat(format), file.size());
        Bytes expected = file;
        for (size_t i = 0; i < expected.size(); ++i) {
            if (bits == 8) {
                expected[i] = static_cast<uint8_t>(expected[i] ^ 0x80);
            } else if (i % 2 == 1) {
                std::swap(expected[i - 1], expected[i]);
            }
        }
        // Half again as much as the file holds, an odd count: past its end, zeros before the
        // conversion.
        expected.resize(file.size() + file.size() / 2 + 1, bits == 8 ? 0x80 : 0x00);

        Bytes buffer(expected.size(), 0xEE);
        std::vector<uint32_t> steps;
        const bool bRead = aiff.ReadSamples(
            buffer.data(), 0, static_cast<uint32_t>(buffer.size()), [&](uint32_t ready) {
                steps.push_back(ready);
                ASSERT_LE(ready, buffer.size());
                EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + ready, expected.begin()))
                    << "at " << ready;
            });
        ASSERT_TRUE(bRead);
        EXPECT_EQ(buffer, expected);
        ASSERT_GE(steps.size(), 3u);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        EXPECT_EQ(steps.back(), buffer.size());
    }
}
