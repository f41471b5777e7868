#include <gtest/gtest.h>

#include "formats/CAiffFile.h"
#include "formats/CWaveFile.h"
#include "support/FileBytes.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"

namespace {

TEST(SoundFile, TypeNamesAndIds) {
    EXPECT_EQ(SoundTypeName(0), "WAVE");
    EXPECT_EQ(SoundTypeName(1), "AIFF");
    EXPECT_EQ(SoundTypeName(2), "unknown");
    EXPECT_EQ(SoundTypeName(-1), "unknown");
    EXPECT_EQ(SoundTypeId("WAVE"), 0);
    EXPECT_EQ(SoundTypeId("AIFF"), 1);
    EXPECT_EQ(SoundTypeId("wave"), -1);
    EXPECT_EQ(SoundTypeId("unknown"), -1);
}

TEST(SoundFile, OpenProbesWaveThenAiff) {
    TempDir dir;
    const std::string wav = dir.File("a.wav");
    const std::string aif = dir.File("a.aif");
    const std::string neither = dir.File("a.bin");
    WriteBytes(wav, WaveFile(MakeFormat(1, 8000, 8), {1, 2}));
    WriteBytes(aif, AiffFile(1, 8, 8000, {1, 2}));
    WriteBytes(neither, Form("RIFF", "AVI ", Chunk("data", {1, 2}, false), false));

    CFile wavFile(wav, CFile::Mode::Read);
    auto wave = OpenSoundFile(wavFile);
    ASSERT_NE(wave, nullptr);
    EXPECT_EQ(wave->GetTypeName(-1), "WAVE");
    EXPECT_EQ(wave->GetTypeName(1), "AIFF");
    EXPECT_EQ(wave->GetFile(), &wavFile);

    CFile aifFile(aif, CFile::Mode::Read);
    auto aiff = OpenSoundFile(aifFile);
    ASSERT_NE(aiff, nullptr);
    EXPECT_EQ(aiff->GetTypeName(-1), "AIFF");
    EXPECT_EQ(aiff->GetTypeName(0), "WAVE");
    EXPECT_EQ(aiff->GetFormat().sampleRate, 8000u);

    CFile otherFile(neither, CFile::Mode::Read);
    EXPECT_EQ(OpenSoundFile(otherFile), nullptr);
    // The file is the caller's: still open after the probe's objects are gone.
    EXPECT_TRUE(otherFile.IsOpen());
}

TEST(SoundFile, CreateByNameAndByType) {
    TempDir dir;
    CFile file(dir.File("x"), CFile::Mode::ReadWriteCreate);
    EXPECT_NE(dynamic_cast<CWaveFile*>(CreateSoundFileByName(file, "WAVE").get()), nullptr);
    EXPECT_NE(dynamic_cast<CAiffFile*>(CreateSoundFileByName(file, "AIFF").get()), nullptr);
    EXPECT_EQ(CreateSoundFileByName(file, "aiff"), nullptr);
    EXPECT_EQ(CreateSoundFileByType(2, dir.File("y")), nullptr);
    EXPECT_EQ(CreateSoundFileByType(-1, dir.File("y")), nullptr);

    // By type: owns the file at the path and opens it on first use.
    const std::string path = dir.File("owned.aif");
    {
        auto writer = CreateSoundFileByType(1, path);
        ASSERT_NE(writer, nullptr);
        EXPECT_EQ(writer->GetFile(), nullptr);
        uint8_t samples[2] = {0x80, 0x80};
        ASSERT_TRUE(writer->CreateHeader(MakeFormat(1, 8000, 8), 2));
        ASSERT_TRUE(writer->WriteSamples(samples, 2));
        ASSERT_TRUE(writer->CloseSamples());
        ASSERT_TRUE(writer->CloseFile());
    }
    EXPECT_EQ(ReadBytes(path), AiffFile(1, 8, 8000, {0, 0}));
}

TEST(SoundFile, WritingToAnUnopenablePathFailsEveryStep) {
    TempDir dir;
    auto writer = CreateSoundFileByType(0, dir.File("missing/folder/x.wav"));
    uint8_t samples[2] = {1, 2};
    EXPECT_FALSE(writer->WriteSamples(samples, 2));
    EXPECT_FALSE(writer->CreateHeader(MakeFormat(1, 8000, 8), 2));
    EXPECT_FALSE(writer->WriteSamples(samples, 2));
    EXPECT_FALSE(writer->CloseSamples());
    EXPECT_FALSE(writer->CloseFile());
}

TEST(SoundFile, AFailedWriteFailsEveryLaterStep) {
    TempDir dir;
    const std::string path = dir.File("ro.wav");
    WriteBytes(path, {});
    CFile readOnly(path, CFile::Mode::Read);
    auto writer = CreateSoundFileByName(readOnly, "WAVE");
    uint8_t samples[2] = {1, 2};
    EXPECT_FALSE(writer->CreateHeader(MakeFormat(1, 8000, 8), 2));
    EXPECT_FALSE(writer->WriteSamples(samples, 2));
    EXPECT_FALSE(writer->CloseFile());
}

// After a look-up misses, reading stays failed until ScanChunks; the order the document uses
// still gets every chunk.
TEST(SoundFile, ReadingOrderAfterAMissedPanChunk) {
    TempDir dir;
    const std::string path = dir.File("a.wav");
    WriteBytes(path, WaveFile(MakeFormat(1, 8000, 8), {1, 2, 3}, Chunk("note", {9}, false)));
    CFile file(path, CFile::Mode::Read);
    auto sound = OpenSoundFile(file);
    ASSERT_NE(sound, nullptr);
    EXPECT_FALSE(sound->HasPanChunk());
    EXPECT_FALSE(sound->IsOk());
    Bytes buffer(3);
    EXPECT_FALSE(sound->ReadAllSamples(buffer.data(), 3));
    EXPECT_EQ(sound->ScanChunks(), 3u);
    auto block = sound->CollectUnrecognizedChunks();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(BlockChunks(*block), Chunk("note", {9}, false));
}

// Bad input of every kind: a clean result, no crash, nothing sized beyond the file.
class BadInput : public ::testing::Test {
  protected:
    SoundContents Read(const Bytes& bytes) {
        const std::string path = m_dir.File("bad.bin");
        WriteBytes(path, bytes);
        SoundContents read = ReadSound(path);
        EXPECT_LE(read.samples.size(), bytes.size());
        if (read.pan) {
            EXPECT_LE(read.pan->size(), kPanChunkMaxBytes);
        }
        if (read.unrecognized) {
            EXPECT_LE(read.unrecognized->GetLength(), bytes.size());
        }
        return read;
    }

    static Bytes RichWave() {
        Bytes extra = Chunk("achk", *BuildPanChunk({{1, 5}, {2, -5}}, 3, true, 7), false);
        Append(extra, Chunk("odd ", {1, 2, 3}, false));
        Append(extra, Chunk("LIST", Chunk("INFO", {}, false), false));
        return WaveFile(MakeFormat(2, 22050, 16), Pattern(12), extra);
    }

    static Bytes RichAiff() {
        PanChunkBytes pan = *BuildPanChunk({{1, 5}, {2, -5}}, 3, true, 7);
        PanChunkToBigEndian(pan.data(), pan.size());
        Bytes extra = Chunk("achk", pan, true);
        Append(extra, Chunk("NAME", {'a', 'b', 'c'}, true));
        return AiffFile(1, 8, 8000, Pattern(7), extra);
    }

    TempDir m_dir;
};

TEST_F(BadInput, EveryPrefixOfAValidFile) {
    for (const Bytes& whole : {RichWave(), RichAiff()}) {
        for (size_t length = 0; length <= whole.size(); ++length) {
            SCOPED_TRACE(length);
            const SoundContents read = Read(Bytes(whole.begin(), whole.begin() + length));
            if (length == whole.size()) {
                EXPECT_TRUE(read.bOpened);
                EXPECT_TRUE(read.pan.has_value());
                ASSERT_NE(read.unrecognized, nullptr);
            }
        }
    }
}

TEST_F(BadInput, FormSizes) {
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false);
    Append(chunks, Chunk("data", {1, 2}, false));
    EXPECT_FALSE(Read(FormDeclaring("RIFF", "WAVE", 0, chunks, false)).bOpened);
    for (uint32_t size : {1000u, 0x7FFFFFFFu, 0xFFFFFFF7u, 0xFFFFFFFFu}) {
        const SoundContents read = Read(FormDeclaring("RIFF", "WAVE", size, chunks, false));
        EXPECT_TRUE(read.bOpened);
        EXPECT_EQ(read.samples, (Bytes{1, 2}));
    }
}

TEST_F(BadInput, ChunkSizesNearTheTop) {
    for (uint32_t size : {0xFFFFFFF7u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        // Before the format chunk: nothing after it can be found.
        Bytes chunks = ChunkDeclaring("JUNK", size, {1, 2}, false);
        Append(chunks, Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false));
        Append(chunks, Chunk("data", {1, 2}, false));
        EXPECT_FALSE(Read(Form("RIFF", "WAVE", chunks, false)).bOpened);
        // As the data chunk: capped at the file.
        Bytes wave = Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false);
        Append(wave, ChunkDeclaring("data", size, {5, 6, 7}, false));
        const SoundContents read = Read(Form("RIFF", "WAVE", wave, false));
        EXPECT_EQ(read.samples, (Bytes{5, 6, 7}));
        // As an AIFF pan chunk.
        Bytes aiff = AiffFile(1, 8, 8000, {1, 2}, ChunkDeclaring("achk", size, {0, 0, 0, 6}, true));
        const SoundContents pan = Read(aiff);
        ASSERT_TRUE(pan.pan.has_value());
        EXPECT_EQ(pan.pan->size(), kPanChunkMaxBytes);
        EXPECT_EQ(ParsePanChunk(*pan.pan)->version, 6u);
    }
}

TEST_F(BadInput, EmptyAndTinyFiles) {
    EXPECT_FALSE(Read({}).bOpened);
    EXPECT_FALSE(Read({'R'}).bOpened);
    EXPECT_FALSE(Read({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}).bOpened);
    EXPECT_FALSE(Read(Bytes(64, 0)).bOpened);
    EXPECT_FALSE(Read(Bytes(64, 0xFF)).bOpened);
}

TEST_F(BadInput, AchkWhoseCountRunsPastItsSize) {
    PanChunkBytes pan = *BuildPanChunk({{1, 5}, {2, -5}}, 3, false, 0);
    pan[4] = 200;  // claims 200 points, holds 2
    const SoundContents read =
        Read(WaveFile(MakeFormat(1, 8000, 8), {1, 2, 3}, Chunk("achk", pan, false)));
    ASSERT_TRUE(read.pan.has_value());
    EXPECT_EQ(read.pan->size(), pan.size());
    EXPECT_EQ(ParsePanChunk(*read.pan)->points.size(), 2u);

    // The AIFF conversion must not walk past the bytes either.
    PanChunkBytes bigEndian = pan;
    PanChunkToBigEndian(bigEndian.data(), bigEndian.size());
    const SoundContents aiff = Read(AiffFile(1, 8, 8000, {1, 2}, Chunk("achk", bigEndian, true)));
    ASSERT_TRUE(aiff.pan.has_value());
    EXPECT_EQ(*aiff.pan, pan);
}

TEST_F(BadInput, ManyTinyUnknownChunksBeforeTheData) {
    Bytes chunks = Chunk("fmt ", FmtPayload(MakeFormat(1, 8000, 8)), false);
    for (int i = 0; i < 100000; ++i) {
        Append(chunks, Chunk("tiny", {}, false));
    }
    Append(chunks, Chunk("data", {4, 5}, false));
    const SoundContents read = Read(Form("RIFF", "WAVE", chunks, false));
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.samples, (Bytes{4, 5}));
    ASSERT_NE(read.unrecognized, nullptr);
    EXPECT_EQ(read.unrecognized->GetLength(), 100000u * 8);
}

}  // namespace
