#include <gtest/gtest.h>

#include <cstring>

#include "formats/CChunkFile.h"
#include "platform/CFileException.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

// A chunk file with a chosen byte order and known ids, as the formats set them up.
class TestChunkFile : public CChunkFile {
  public:
    TestChunkFile(CFile& file, bool bBigEndian, std::vector<uint32_t> knownIds = {})
        : CChunkFile(file) {
        m_bBigEndian = bBigEndian;
        m_knownIds = std::move(knownIds);
    }
    TestChunkFile(const std::string& path, bool bBigEndian) : CChunkFile(path) {
        m_bBigEndian = bBigEndian;
    }
};

class ChunkFileTest : public ::testing::TestWithParam<bool> {
  protected:
    bool BigEndian() const { return GetParam(); }
    const char* FormId() const { return BigEndian() ? "FORM" : "RIFF"; }
    uint32_t FormIdValue() const { return BigEndian() ? ChunkId("FORM") : ChunkId("RIFF"); }

    std::string Put(const Bytes& bytes, const std::string& name = "in.bin") {
        const std::string path = m_dir.File(name);
        WriteBytes(path, bytes);
        return path;
    }

    TempDir m_dir;
};

TEST_P(ChunkFileTest, FindsFormAndChunksInTheFilesByteOrder) {
    Bytes chunks = Chunk("odd ", {1, 2, 3}, BigEndian());
    Append(chunks, Chunk("even", {4, 5, 6, 7}, BigEndian()));
    const std::string path = Put(Form(FormId(), "TEST", chunks, BigEndian()));
    CFile file(path, CFile::Mode::Read);
    TestChunkFile chunkFile(file, BigEndian());

    EXPECT_EQ(chunkFile.FindForm(FormIdValue(), ChunkId("TEST")), 4u + 12 + 12);
    EXPECT_EQ(file.GetPosition(), 12u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("even")), 4u);
    uint8_t data[4] = {};
    EXPECT_EQ(chunkFile.Read(data, 4), 4u);
    EXPECT_EQ(Bytes(data, data + 4), (Bytes{4, 5, 6, 7}));

    // Each independent look-up starts again at the form.
    EXPECT_NE(chunkFile.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("odd ")), 3u);
    EXPECT_TRUE(chunkFile.IsOk());
}

TEST_P(ChunkFileTest, FindFormLooksOnlyAtTheFirstTopLevelChunkWithTheId) {
    Bytes bytes = Chunk("junk", {9, 9, 9}, BigEndian());
    Append(bytes, Form(FormId(), "OTHR", Chunk("abcd", {1, 2}, BigEndian()), BigEndian()));
    Append(bytes, Form(FormId(), "TEST", Chunk("abcd", {1, 2}, BigEndian()), BigEndian()));
    CFile file(Put(bytes), CFile::Mode::Read);
    TestChunkFile chunkFile(file, BigEndian());

    EXPECT_EQ(chunkFile.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    EXPECT_EQ(chunkFile.FindForm(FormIdValue(), ChunkId("OTHR")), 14u);
    EXPECT_TRUE(chunkFile.IsOk()) << "FindForm never changes the status";
}

TEST_P(ChunkFileTest, MissesAndStatusRule) {
    Bytes chunks = Chunk("empt", {}, BigEndian());
    Append(chunks, Chunk("abcd", {1, 2}, BigEndian()));
    CFile file(Put(Form(FormId(), "TEST", chunks, BigEndian())), CFile::Mode::Read);
    TestChunkFile chunkFile(file, BigEndian());
    const uint32_t form = FormIdValue();
    const uint32_t type = ChunkId("TEST");

    // A present but empty chunk reads as absent, and leaves the status alone.
    ASSERT_NE(chunkFile.FindForm(form, type), 0u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("empt")), 0u);
    EXPECT_TRUE(chunkFile.IsOk());

    // Running into the end of the file fails the status, and every later look-up with it.
    ASSERT_NE(chunkFile.FindForm(form, type), 0u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("none")), 0u);
    EXPECT_FALSE(chunkFile.IsOk());
    EXPECT_EQ(chunkFile.FindForm(form, type), 0u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("abcd")), 0u);
    uint8_t scratch[2] = {7, 7};
    EXPECT_EQ(chunkFile.Read(scratch, 2), 0u);

    // ScanChunks clears it.
    EXPECT_EQ(chunkFile.ScanChunks(), 2u);
    EXPECT_TRUE(chunkFile.IsOk());
    ASSERT_NE(chunkFile.FindForm(form, type), 0u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("abcd")), 2u);

    // So do CollectUnrecognizedChunks and WriteUnrecognizedChunks.
    chunkFile.FindChunk(ChunkId("none"));
    ASSERT_FALSE(chunkFile.IsOk());
    EXPECT_NE(chunkFile.CollectUnrecognizedChunks(), nullptr);
    EXPECT_TRUE(chunkFile.IsOk());
}

TEST_P(ChunkFileTest, ChunkTooBigForTheFileEndsTheSearch) {
    Bytes chunks = ChunkDeclaring("huge", 1000, {1, 2}, BigEndian());
    Append(chunks, Chunk("want", {3, 4}, BigEndian()));
    CFile file(Put(Form(FormId(), "TEST", chunks, BigEndian())), CFile::Mode::Read);
    TestChunkFile chunkFile(file, BigEndian());

    ASSERT_NE(chunkFile.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    EXPECT_EQ(chunkFile.FindChunk(ChunkId("want")), 0u);
    EXPECT_TRUE(chunkFile.IsOk());
}

TEST_P(ChunkFileTest, HugeSizesNeitherWrapNorHang) {
    for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF7u, 0xFFFFFFFEu}) {
        SCOPED_TRACE(size);
        Bytes top = ChunkDeclaring("junk", size, {1, 2, 3, 4}, BigEndian());
        Append(top, FormDeclaring(FormId(), "TEST", size,
                                  ChunkDeclaring("abcd", size, {}, BigEndian()), BigEndian()));
        CFile file(Put(top), CFile::Mode::Read);
        TestChunkFile chunkFile(file, BigEndian());
        EXPECT_EQ(chunkFile.FindForm(FormIdValue(), ChunkId("TEST")), 0u);

        Bytes inner = ChunkDeclaring("abcd", size, {1, 2, 3, 4, 5, 6}, BigEndian());
        CFile file2(Put(FormDeclaring(FormId(), "TEST", size, inner, BigEndian()), "b.bin"),
                    CFile::Mode::Read);
        TestChunkFile chunkFile2(file2, BigEndian());
        ASSERT_EQ(chunkFile2.FindForm(FormIdValue(), ChunkId("TEST")), size);
        EXPECT_EQ(chunkFile2.FindChunk(ChunkId("none")), 0u);
        EXPECT_EQ(chunkFile2.ScanChunks(), 1u);
        // Its data runs past the end of the file, so it is not carried.
        EXPECT_EQ(chunkFile2.CollectUnrecognizedChunks(), nullptr);
    }
}

TEST_P(ChunkFileTest, WritesPadBytesAndPatchesSizes) {
    const std::string path = m_dir.File("out.bin");
    {
        TestChunkFile writer(path, BigEndian());
        writer.Truncate();
        writer.CreateForm(FormIdValue(), ChunkId("TEST"));
        // Told 100 bytes, given 3: the size field ends up holding 3.
        writer.CreateChunk(ChunkId("odd "), nullptr, 100);
        const uint8_t three[3] = {1, 2, 3};
        EXPECT_EQ(writer.Write(three, 3), 3u);
        writer.CloseChunk();
        const uint8_t two[2] = {4, 5};
        writer.CreateChunk(ChunkId("even"), two, 2);
        writer.CloseChunk();
        writer.CloseForm();
        EXPECT_TRUE(writer.IsOk());
    }
    Bytes chunks = Chunk("odd ", {1, 2, 3}, BigEndian());
    Append(chunks, Chunk("even", {4, 5}, BigEndian()));
    EXPECT_EQ(ReadBytes(path), Form(FormId(), "TEST", chunks, BigEndian()));
}

TEST_P(ChunkFileTest, TruncateEmptiesAnExistingFile) {
    const std::string path = Put(Pattern(100));
    TestChunkFile writer(path, BigEndian());
    writer.Truncate();
    writer.CreateForm(FormIdValue(), ChunkId("TEST"));
    writer.CloseForm();
    EXPECT_EQ(ReadBytes(path), Form(FormId(), "TEST", {}, BigEndian()));
}

TEST_P(ChunkFileTest, ScanStopsAtTheDeclaredEndOfTheForm) {
    Bytes chunks = Chunk("aaaa", {1}, BigEndian());
    Append(chunks, Chunk("bbbb", {2, 2}, BigEndian()));
    Append(chunks, Chunk("cccc", {3, 3}, BigEndian()));
    // Declared to end inside "bbbb".
    CFile file(Put(FormDeclaring(FormId(), "TEST", 4 + 10 + 4, chunks, BigEndian())),
               CFile::Mode::Read);
    TestChunkFile chunkFile(file, BigEndian());
    ASSERT_NE(chunkFile.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    ASSERT_EQ(chunkFile.ScanChunks(), 2u);
    const ChunkEntry& second = chunkFile.GetChunks()[1];
    EXPECT_EQ(std::string(second.id.data(), 4), "bbbb");
    EXPECT_EQ(second.size, 2u);
    EXPECT_EQ(second.dataOffset, 12u + 10 + 8);
}

TEST_P(ChunkFileTest, ScanNeedsAFormFoundBefore) {
    CFile file(Put(Form(FormId(), "TEST", Chunk("abcd", {1, 2}, BigEndian()), BigEndian())),
               CFile::Mode::Read);
    TestChunkFile chunkFile(file, BigEndian());
    EXPECT_EQ(chunkFile.ScanChunks(), 0u);
    EXPECT_EQ(chunkFile.CollectUnrecognizedChunks(), nullptr);
}

// Unknown chunks of every awkward shape, around and between the known ones, come back
// byte-identical, in order, with their pad bytes, and write out as they came.
TEST_P(ChunkFileTest, UnrecognizedChunksRoundTrip) {
    const bool big = BigEndian();
    Bytes list = Chunk("INFO", {}, big);
    Append(list, Chunk("INAM", {'t', 'i', 't', 'l', 'e'}, big));
    Bytes expected;
    Append(expected, Chunk("odd1", {0xAA}, big));
    Append(expected, Chunk("zero", {}, big));
    Append(expected, Chunk("LIST", list, big));
    Append(expected, Chunk("odd3", {1, 2, 3}, big));
    Append(expected, Chunk("last", Pattern(40), big));

    Bytes chunks = Chunk("odd1", {0xAA}, big);
    Append(chunks, Chunk("kno1", {1, 2, 3, 4}, big));
    Append(chunks, Chunk("zero", {}, big));
    Append(chunks, Chunk("LIST", list, big));
    Append(chunks, Chunk("kno2", {5}, big));
    Append(chunks, Chunk("odd3", {1, 2, 3}, big));
    Append(chunks, Chunk("last", Pattern(40), big));
    CFile file(Put(Form(FormId(), "TEST", chunks, big)), CFile::Mode::Read);
    TestChunkFile reader(file, big, {ChunkId("kno1"), ChunkId("kno2")});
    ASSERT_NE(reader.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    auto block = reader.CollectUnrecognizedChunks();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetLength(), expected.size());
    EXPECT_EQ(Bytes(block->GetChunkBytes(), block->GetChunkBytes() + block->GetLength()), expected);
    EXPECT_EQ(block->IsBigEndian(), big);
    const auto listed = block->ListChunks();
    ASSERT_EQ(listed.size(), 5u);
    EXPECT_EQ(listed[2].id, "LIST");
    EXPECT_EQ(listed[2].size, list.size());
    EXPECT_EQ(listed[3].size, 3u);

    const std::string outPath = m_dir.File("out.bin");
    {
        TestChunkFile writer(outPath, big);
        writer.Truncate();
        writer.CreateForm(FormIdValue(), ChunkId("TEST"));
        writer.CreateChunk(ChunkId("kno1"), "xy", 2);
        writer.CloseChunk();
        writer.WriteUnrecognizedChunks(*block);
        writer.CloseForm();
        EXPECT_TRUE(writer.IsOk());
    }
    Bytes written = Chunk("kno1", {'x', 'y'}, big);
    Append(written, expected);
    EXPECT_EQ(ReadBytes(outPath), Form(FormId(), "TEST", written, big));
}

TEST_P(ChunkFileTest, TruncatedChunkIsDroppedAndTheWholeOnesKept) {
    const bool big = BigEndian();
    Bytes chunks = Chunk("keep", {1, 2}, big);
    Append(chunks, Chunk("odd ", {3, 4, 5}, big, /*bPad=*/false));  // the pad byte is missing
    Bytes whole = Form(FormId(), "TEST", chunks, big);
    {
        CFile file(Put(whole), CFile::Mode::Read);
        TestChunkFile reader(file, big);
        ASSERT_NE(reader.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
        auto block = reader.CollectUnrecognizedChunks();
        ASSERT_NE(block, nullptr);
        Bytes expected = Chunk("keep", {1, 2}, big);
        Append(expected, Chunk("odd ", {3, 4, 5}, big));  // pad restored as a zero
        EXPECT_EQ(Bytes(block->GetChunkBytes(), block->GetChunkBytes() + block->GetLength()),
                  expected);
    }
    // Cut into the data of the second chunk: only it is lost.
    whole.resize(whole.size() - 1);
    CFile file(Put(whole, "cut.bin"), CFile::Mode::Read);
    TestChunkFile reader(file, big);
    ASSERT_NE(reader.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    auto block = reader.CollectUnrecognizedChunks();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Bytes(block->GetChunkBytes(), block->GetChunkBytes() + block->GetLength()),
              Chunk("keep", {1, 2}, big));
    EXPECT_TRUE(reader.IsOk());
}

TEST_P(ChunkFileTest, NothingUnrecognizedGivesNone) {
    CFile file(Put(Form(FormId(), "TEST", Chunk("kno1", {1}, BigEndian()), BigEndian())),
               CFile::Mode::Read);
    TestChunkFile reader(file, BigEndian(), {ChunkId("kno1")});
    ASSERT_NE(reader.FindForm(FormIdValue(), ChunkId("TEST")), 0u);
    EXPECT_EQ(reader.CollectUnrecognizedChunks(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothByteOrders, ChunkFileTest, ::testing::Values(false, true),
                         [](const auto& p) { return p.param ? "Iff" : "Riff"; });

TEST(ChunkFile, IdsAndWordSwaps) {
    EXPECT_EQ(ChunkId("RIFF"), 0x52494646u);
    uint32_t value = 0x11223344;
    CChunkFile::SwapLong(value);
    EXPECT_EQ(value, 0x44332211u);

    TempDir dir;
    CChunkFile chunkFile(dir.File("x"));
    uint8_t bytes[5] = {1, 2, 3, 4, 5};
    chunkFile.SwapWords(bytes, 5);
    EXPECT_EQ(Bytes(bytes, bytes + 5), (Bytes{2, 1, 4, 3, 5}));
}

TEST(ChunkFile, OwnsAPathFileAndOpensItOnFirstUse) {
    TempDir dir;
    const std::string path = dir.File("new.bin");
    {
        CChunkFile chunkFile(path);
        EXPECT_EQ(chunkFile.GetFile(), nullptr);
        chunkFile.Truncate();
        ASSERT_NE(chunkFile.GetFile(), nullptr);
        chunkFile.CreateForm(ChunkId("RIFF"), ChunkId("TEST"));
        chunkFile.CloseForm();
    }
    EXPECT_EQ(ReadBytes(path).size(), 12u);
}

TEST(ChunkFile, UnopenablePathFailsEveryOperation) {
    TempDir dir;
    CChunkFile chunkFile(dir.File("no/such/folder/x.wav"));
    EXPECT_EQ(chunkFile.FindForm(ChunkId("RIFF"), ChunkId("WAVE")), 0u);
    EXPECT_FALSE(chunkFile.IsOk());
    EXPECT_EQ(chunkFile.GetFile(), nullptr);
    chunkFile.Truncate();  // stops quietly
    EXPECT_EQ(chunkFile.Write("ab", 2), 0u);
    EXPECT_EQ(chunkFile.ScanChunks(), 0u);
    EXPECT_FALSE(chunkFile.IsOk());
}

TEST(ChunkFile, FileErrorsAreCaughtOrLetThroughByOperation) {
    TempDir dir;
    // Writing to a read-only file: caught, status failed, 0.
    const std::string path = dir.File("ro.bin");
    WriteBytes(path, Form("RIFF", "TEST", Chunk("abcd", {1, 2}, false), false));
    CFile readOnly(path, CFile::Mode::Read);
    CChunkFile writer(readOnly);
    EXPECT_EQ(writer.Write("ab", 2), 0u);
    EXPECT_FALSE(writer.IsOk());
    CChunkFile former(readOnly);
    former.CreateForm(ChunkId("RIFF"), ChunkId("TEST"));
    EXPECT_FALSE(former.IsOk());

    // Reading a folder fails in read(): look-ups absorb it, Read lets it through.
    CFile folder(dir.Path().string(), CFile::Mode::Read);
    CChunkFile reader(folder);
    EXPECT_EQ(reader.FindForm(ChunkId("RIFF"), ChunkId("TEST")), 0u);
    EXPECT_EQ(reader.FindChunk(ChunkId("abcd")), 0u);
    CChunkFile reader2(folder);
    uint8_t buffer[4];
    EXPECT_THROW(reader2.Read(buffer, 4), CFileException);
}

TEST(ChunkFile, ManyTinyChunks) {
    TempDir dir;
    Bytes chunks;
    const Bytes one = Chunk("tiny", {7}, false);
    for (int i = 0; i < 100000; ++i) {
        Append(chunks, one);
    }
    const std::string path = dir.File("many.bin");
    WriteBytes(path, Form("RIFF", "TEST", chunks, false));
    CFile file(path, CFile::Mode::Read);
    CChunkFile reader(file);
    ASSERT_NE(reader.FindForm(ChunkId("RIFF"), ChunkId("TEST")), 0u);
    EXPECT_EQ(reader.ScanChunks(), 100000u);
    auto block = reader.CollectUnrecognizedChunks();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->GetLength(), chunks.size());
    EXPECT_EQ(block->ListChunks().size(), 100000u);
}

}  // namespace
