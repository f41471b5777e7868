#include <gtest/gtest.h>

#include "formats/CChunkFile.h"
#include "formats/ChunkIndex.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

// A piece of a source: a chunk header (id, declared size) and the data bytes really there, pad
// byte included; with no id, bare bytes. "FORM" stands for the form id of the byte order.
struct Piece {
    const char* id;
    uint32_t declared;
    size_t bytes;
};
struct Want {
    const char* id;
    uint64_t headerOffset;
    uint32_t size, heldBytes;
};
struct Case {
    const char* name;
    std::vector<Piece> source;
    uint64_t start;
    std::vector<Want> chunks;
};

const Case kCases[] = {
    {"OddSizesStepOverPadBytes",
     {{"odd1", 1, 2}, {"zero", 0, 0}, {"odd3", 3, 4}, {"even", 2, 2}},
     0,
     {{"odd1", 0, 1, 1}, {"zero", 10, 0, 0}, {"odd3", 18, 3, 3}, {"even", 30, 2, 2}}},
    {"AMissingLastPadByteLeavesTheChunkWhole", {{"odd3", 3, 3}}, 0, {{"odd3", 0, 3, 3}}},
    {"AChunkRunningPastTheEndIsTheLast",
     {{"keep", 2, 2}, {"long", 100, 4}, {"hide", 2, 2}},
     0,
     {{"keep", 0, 2, 2}, {"long", 10, 100, 14}}},
    {"TheLargestSizeNeitherWrapsNorLoops",
     {{"huge", 0xFFFFFFFFu, 1}, {"next", 0, 0}},
     0,
     {{"huge", 0, 0xFFFFFFFFu, 9}}},
    {"AHeaderCutShortEndsTheWalk", {{"full", 2, 2}, {nullptr, 0, 5}}, 0, {{"full", 0, 2, 2}}},
    {"AFormShorterThanTheFileDoesNotEndIt",
     {{"FORM", 4, 4}, {"in  ", 2, 2}, {"out ", 1, 2}},
     12,
     {{"in  ", 12, 2, 2}, {"out ", 22, 1, 1}}},
    {"AFormLongerThanTheFileEndsWithIt",
     {{"FORM", 1000, 4}, {"only", 2, 2}},
     12,
     {{"only", 12, 2, 2}}},
    {"TheFormIsATopLevelChunk", {{"FORM", 1000, 4}, {"only", 2, 2}}, 0, {{"FORM", 0, 1000, 14}}},
    {"NothingPastTheEnd", {{"only", 2, 2}}, 10, {}},
};

const char* IdIn(const char* id, bool bBigEndian) {
    return std::string(id) == "FORM" && !bBigEndian ? "RIFF" : id;
}

class ChunkIndexTest : public ::testing::TestWithParam<std::tuple<Case, bool>> {};

TEST_P(ChunkIndexTest, IndexesEveryChunkWhoseHeaderFits) {
    const auto& [c, big] = GetParam();
    Bytes bytes;
    for (const Piece& piece : c.source) {
        if (piece.id != nullptr) {
            Append(bytes, ChunkDeclaring(IdIn(piece.id, big), piece.declared, {}, big));
        }
        Append(bytes, Pattern(piece.bytes));
    }
    TempDir dir;
    WriteBytes(dir.File("in.bin"), bytes);
    CFile file(dir.File("in.bin"), CFile::Mode::Read);
    std::vector<ChunkIndex> indexes = {ChunkIndex::OfFile(file, c.start, big)};
    if (c.start == 0) {
        indexes.push_back(ChunkIndex::OfBytes(bytes.data(), bytes.size(), big));
    }
    for (const ChunkIndex& index : indexes) {
        ASSERT_EQ(index.Entries().size(), c.chunks.size());
        for (size_t i = 0; i < c.chunks.size(); ++i) {
            const ChunkIndex::Entry& got = index.Entries()[i];
            const Want& want = c.chunks[i];
            EXPECT_EQ(std::string(got.id.data(), 4), IdIn(want.id, big)) << i;
            EXPECT_EQ(got.headerOffset, want.headerOffset) << i;
            EXPECT_EQ(got.size, want.size) << i;
            EXPECT_EQ(got.heldBytes, want.heldBytes) << i;
            EXPECT_EQ(index.Find(got.Id()), &got) << i;  // no id comes twice
        }
        EXPECT_EQ(index.Find(ChunkId("none")), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ChunkIndexTest,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).name) +
                                    (std::get<1>(p.param) ? "Iff" : "Riff");
                         });

// The look-ups keep their own ends: a chunk is found up to the end of the file, while the
// directory of the form stops at its declared end.
TEST(ChunkIndex, FindChunkPassesTheFormsDeclaredEndWhereTheDirectoryStops) {
    TempDir dir;
    Bytes chunks = Chunk("in  ", {1, 2}, false);
    Append(chunks, Chunk("out ", {3}, false));
    WriteBytes(dir.File("short.wav"), FormDeclaring("RIFF", "TEST", 4 + 10, chunks, false));
    CFile file(dir.File("short.wav"), CFile::Mode::Read);
    CChunkFile reader(file);
    ASSERT_NE(reader.FindForm(ChunkId("RIFF"), ChunkId("TEST")), 0u);
    EXPECT_EQ(reader.FindChunk(ChunkId("out ")), 1u);
    EXPECT_EQ(reader.ScanChunks(), 1u);
}

}  // namespace
