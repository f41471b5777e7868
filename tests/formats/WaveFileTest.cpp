#include <gtest/gtest.h>

#include "formats/CWaveFile.h"
#include "support/FileBytes.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"

namespace {

class WaveFileTest : public ::testing::Test {
  protected:
    std::string Put(const Bytes& bytes, const std::string& name = "in.wav") {
        const std::string path = m_dir.File(name);
        WriteBytes(path, bytes);
        return path;
    }
    uint32_t FormatOf(const Bytes& bytes, PcmFormat& format) {
        CFile file(Put(bytes), CFile::Mode::Read);
        CWaveFile wave(file);
        return wave.ReadFormat(format);
    }

    TempDir m_dir;
};

TEST_F(WaveFileTest, ReadsFormatAndSamplesAroundOtherChunks) {
    const PcmFormat format = MakeFormat(2, 22050, 16);
    const Bytes samples = Pattern(400);
    Bytes chunks = Chunk("JUNK", {1, 2, 3}, false);
    Append(chunks, Chunk("fmt ", FmtPayload(format), false));
    Append(chunks, Chunk("LIST", Pattern(9), false));
    Append(chunks, Chunk("data", samples, false));
    Append(chunks, Chunk("tail", {}, false));
    const SoundContents read = ReadSound(Put(Form("RIFF", "WAVE", chunks, false)));
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.typeName, "WAVE");
    EXPECT_EQ(FmtPayload(read.format), FmtPayload(format));
    EXPECT_EQ(read.samples, samples);
    EXPECT_FALSE(read.bHasPan);
    ASSERT_NE(read.unrecognized, nullptr);
    EXPECT_EQ(read.unrecognized->ListChunks().size(), 3u);
}

TEST_F(WaveFileTest, FormatChunkSizeAndTagDecide) {
    PcmFormat format = MakeFormat(1, 8000, 8);
    for (size_t size : {14u, 16u, 18u, 20u, 40u}) {
        SCOPED_TRACE(size);
        Bytes fmt = FmtPayload(format);
        fmt.resize(size, 0);
        Bytes chunks = Chunk("fmt ", fmt, false);
        Append(chunks, Chunk("data", {1, 2, 3, 4}, false));
        PcmFormat read{};
        EXPECT_EQ(FormatOf(Form("RIFF", "WAVE", chunks, false), read),
                  size == 16 || size == 18 ? 4u : 0u);
    }
    format.formatTag = 3;
    PcmFormat read{};
    EXPECT_EQ(FormatOf(WaveFile(format, {1, 2, 3, 4}), read), 0u);
}

TEST_F(WaveFileTest, DataSizeIsCappedAtWhatTheFileHolds) {
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false);
    Append(chunks, ChunkDeclaring("data", 0x7FFFFFF0u, Pattern(10), false));
    const Bytes bytes = Form("RIFF", "WAVE", chunks, false);
    PcmFormat read{};
    EXPECT_EQ(FormatOf(bytes, read), 10u);

    // Asking for more than is there: the rest reads as zeros, and the call succeeds.
    CFile file(Put(bytes, "b.wav"), CFile::Mode::Read);
    CWaveFile wave(file);
    Bytes buffer(14, 0xEE);
    ASSERT_TRUE(wave.ReadSamples(buffer.data(), 6, 8));
    const Bytes data = Pattern(10);
    Bytes expected(data.begin() + 6, data.end());
    expected.resize(8, 0);
    expected.resize(14, 0xEE);
    EXPECT_EQ(buffer, expected);
}

TEST_F(WaveFileTest, EmptyOrMissingDataIsNotASound) {
    PcmFormat read{};
    EXPECT_EQ(FormatOf(WaveFile(MakeFormat(1, 8000, 8), {}), read), 0u);
    EXPECT_EQ(FormatOf(Form("RIFF", "WAVE",
                            Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false), false),
                       read),
              0u);
    // The data header sits at the very end of the file.
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false);
    Append(chunks, ChunkDeclaring("data", 100, {}, false));
    EXPECT_EQ(FormatOf(Form("RIFF", "WAVE", chunks, false), read), 0u);
}

TEST_F(WaveFileTest, WritesTheFixedChunkOrderWhateverTheFileRead) {
    const PcmFormat format = MakeFormat(1, 11025, 8);
    const Bytes samples = Pattern(7);  // odd: a pad byte the size does not count
    PanChunkBytes pan = *BuildPanChunk({{0, -90}, {6, 45}}, 7, true, 0xBEEF);
    Bytes unknown = Chunk("cue ", Pattern(5), false);
    Append(unknown, Chunk("zero", {}, false));

    // The source has the unknown chunks first and the pan chunk before the data.
    Bytes chunks = Chunk("cue ", Pattern(5), false);
    Append(chunks, Chunk("achk", pan, false));
    Append(chunks, Chunk("zero", {}, false));
    Append(chunks, Chunk("data", samples, false));
    Append(chunks, Chunk("fmt ", FmtPayload(format), false));
    SoundContents read = ReadSound(Put(Form("RIFF", "WAVE", chunks, false)));
    ASSERT_TRUE(read.bOpened);
    ASSERT_TRUE(read.pan.has_value());
    EXPECT_EQ(*read.pan, pan);
    ASSERT_NE(read.unrecognized, nullptr);
    EXPECT_EQ(BlockChunks(*read.unrecognized), unknown);

    const std::string out = m_dir.File("out.wav");
    ASSERT_TRUE(
        WriteSound(out, "WAVE", read.format, read.samples, read.pan, read.unrecognized.get()));
    Bytes expected = Chunk("achk", pan, false);
    Append(expected, unknown);
    EXPECT_EQ(ReadBytes(out), WaveFile(format, samples, expected));
}

TEST_F(WaveFileTest, PanChunkNeedsHeaderAndOnePoint) {
    const PcmFormat format = MakeFormat(1, 8000, 8);
    for (size_t size : {32u, 36u, 37u, 38u}) {
        SCOPED_TRACE(size);
        PanChunkBytes pan = *BuildPanChunk({{1, 10}}, 4, false, 0);
        pan.resize(size, 0);
        const std::string path = Put(WaveFile(format, {1, 2, 3, 4}, Chunk("achk", pan, false)));
        CFile file(path, CFile::Mode::Read);
        CWaveFile wave(file);
        EXPECT_EQ(wave.HasPanChunk(), size >= 38);
        EXPECT_EQ(wave.ReadPanChunk().has_value(), size >= 38);
    }
}

TEST_F(WaveFileTest, PanChunkIsStoredAsInMemory) {
    PanChunkBytes pan = *BuildPanChunk({{3, -1}}, 4, false, 0);
    const std::string out = m_dir.File("out.wav");
    Bytes samples = {1, 2, 3, 4};
    ASSERT_TRUE(WriteSound(out, "WAVE", MakeFormat(1, 8000, 8), samples, pan));
    const Bytes bytes = ReadBytes(out);
    const Bytes tail(bytes.end() - 38 - 8, bytes.end());
    EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 12),
              (Bytes{'a', 'c', 'h', 'k', 38, 0, 0, 0, 6, 0, 0, 0}));
    EXPECT_EQ(Bytes(tail.begin() + 8, tail.end()), pan);
}

TEST_F(WaveFileTest, PanChunkDeclaredPastTheEndReadsAsZerosWithinTheCap) {
    PanChunkBytes pan = *BuildPanChunk({{1, 10}, {2, 20}}, 4, false, 0);
    const Bytes bytes = WaveFile(MakeFormat(1, 8000, 8), {1, 2, 3, 4},
                                 ChunkDeclaring("achk", 0xFFFFFFF0u, pan, false));
    CFile file(Put(bytes), CFile::Mode::Read);
    CWaveFile wave(file);
    ASSERT_TRUE(wave.HasPanChunk());
    auto read = wave.ReadPanChunk();
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->size(), kPanChunkMaxBytes);
    EXPECT_EQ(Bytes(read->begin(), read->begin() + pan.size()), pan);
    EXPECT_EQ(std::count(read->begin() + pan.size(), read->end(), 0),
              static_cast<long>(kPanChunkMaxBytes - pan.size()));
}

TEST_F(WaveFileTest, WritePanChunkRefusesAChunkShorterThanItsCount) {
    PanChunkBytes pan = *BuildPanChunk({{1, 10}, {2, 20}}, 4, false, 0);
    pan.resize(40);
    CFile file(m_dir.File("out.wav"), CFile::Mode::ReadWriteCreate);
    CWaveFile writer(file);
    uint8_t samples[2] = {1, 2};
    ASSERT_TRUE(writer.CreateHeader(MakeFormat(1, 8000, 8), 2));
    ASSERT_TRUE(writer.WriteSamples(samples, 2));
    ASSERT_TRUE(writer.CloseSamples());
    EXPECT_FALSE(writer.WritePanChunk(pan));
    EXPECT_FALSE(writer.CloseFile());
}

}  // namespace

TEST_F(WaveFileTest, AllSamplesOfALongFileArriveInGrowingStretches) {
    const Bytes samples = Pattern((3u << 20) + 6);
    CFile file(Put(WaveFile(MakeFormat(2, 44100, 16), samples), "long.wav"), CFile::Mode::Read);
    CWaveFile wave(file);
    PcmFormat format{};
    ASSERT_EQ(wave.ReadFormat(format), samples.size());
    Bytes buffer(samples.size(), 0xEE);
    uint32_t last = 0;
    int calls = 0;
    ASSERT_TRUE(wave.ReadAllSamples(buffer.data(), static_cast<uint32_t>(buffer.size()),
                                    [&](uint32_t ready) {
                                        EXPECT_GT(ready, last);
                                        EXPECT_EQ(buffer[ready - 1], samples[ready - 1]);
                                        last = ready;
                                        ++calls;
                                    }));
    EXPECT_EQ(buffer, samples);
    EXPECT_EQ(last, samples.size());
    EXPECT_GE(calls, 4);
}
