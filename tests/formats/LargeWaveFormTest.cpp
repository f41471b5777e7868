// WAV files past the plain form's size, with the limit lowered so a few megabytes stand for
// 4 GiB: the form and data sizes, the ds64 chunk, the samples and the chunks after them, and
// what sox and libsndfile read from the result.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/CWaveFile.h"
#include "platform/CFile.h"
#include "support/FileBytes.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

// Lowers the limit for one case and puts it back.
class PlainFormLimit {
  public:
    explicit PlainFormLimit(uint64_t bytes) { CWaveFile::SetPlainFormLimit(bytes); }
    ~PlainFormLimit() { CWaveFile::SetPlainFormLimit(0); }
};

uint32_t U32At(const Bytes& bytes, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

uint64_t U64At(const Bytes& bytes, size_t at) {
    uint64_t value = 0;
    std::memcpy(&value, bytes.data() + at, 8);
    return value;
}

std::string IdAt(const Bytes& bytes, size_t at) {
    return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

struct LargeCase {
    const char* name;
    uint64_t limit;          // 0: the plain 4 GiB
    uint32_t dataBytes;      // written
    uint32_t expectedBytes;  // told to CreateHeader
    bool bReserve;           // the writer asks for the room from the start
    const char* largeId;     // null: RF64
    const char* formId;      // expected
    bool bJunk;              // room expected after the form type
    bool bAllowed = true;    // the large form may be written, as exports allow it
};

const LargeCase kCases[] = {
    {"within the limit, plain as ever", 0, 3000, 3000, false, nullptr, "RIFF", false},
    {"kept room that stays unused", 0, 3000, 3000, true, "BW64", "RIFF", true},
    {"expected data near the limit, plain while it fits", 0, 3000, 0xFFFFFFF0u, false, nullptr,
     "RIFF", false},
    {"data past the limit moves up at close", 4096, 10000, 10000, false, nullptr, "RF64", false},
    {"room kept on request, another id", 4096, 10000, 0, true, "BW64", "BW64", false},
    {"data of several moves goes up at close", 2u << 20, 6u << 20, 0, false, nullptr, "RF64",
     false},
    {"not allowed, as a save: plain past a lowered limit", 4096, 10000, 10000, true, nullptr,
     "RIFF", false, false},
    {"the chunks after the data cross the limit", 3050, 3000, 0, false, nullptr, "RF64", false},
};

TEST(LargeWaveFormTest, WritesTheLargeFormPastTheLimit) {
    TempDir dir;
    const PcmFormat format = MakeFormat(2, 48000, 16);
    const Bytes tail = Pattern(41, 7);  // odd: its pad byte counts too
    for (const LargeCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(std::string(c.name) + ".wav");
        const Bytes samples = Pattern(c.dataBytes, c.dataBytes);
        {
            const PlainFormLimit limit(c.limit);
            CWaveFile wave(path);
            if (c.bAllowed) {
                wave.AllowLargeForm();
            }
            if (c.bReserve) {
                wave.ReserveLargeHeader();
            }
            if (c.largeId != nullptr) {
                wave.SetLargeFormId(ChunkId("BW64"));
            }
            ASSERT_TRUE(wave.CreateHeader(format, c.expectedBytes));
            // Several writes, as the exports hand over blocks.
            for (uint32_t at = 0; at < c.dataBytes; at += 65536) {
                ASSERT_TRUE(wave.WriteSamples(samples.data() + at,
                                              std::min<uint32_t>(65536, c.dataBytes - at)));
            }
            ASSERT_TRUE(wave.CloseSamples());
            ASSERT_TRUE(wave.WriteWholeChunk(ChunkId("tail"), tail));
            ASSERT_TRUE(wave.CloseFile());
        }
        const Bytes file = ReadBytes(path);
        const bool bLarge = std::string(c.formId) != "RIFF";
        EXPECT_EQ(IdAt(file, 0), c.formId);
        EXPECT_EQ(IdAt(file, 8), "WAVE");
        size_t at = 12;
        if (bLarge) {
            EXPECT_EQ(U32At(file, 4), 0xFFFFFFFFu);
            ASSERT_EQ(IdAt(file, 12), "ds64");
            EXPECT_EQ(U32At(file, 16), CWaveFile::kDs64Bytes);
            EXPECT_EQ(U64At(file, 20), file.size() - 8);
            EXPECT_EQ(U64At(file, 28), c.dataBytes);
            EXPECT_EQ(U64At(file, 36), c.dataBytes / format.blockAlign);
            EXPECT_EQ(U32At(file, 44), 0u);
            at += 8 + CWaveFile::kDs64Bytes;
        } else {
            EXPECT_EQ(U32At(file, 4), file.size() - 8);
            if (c.bJunk) {
                EXPECT_EQ(IdAt(file, 12), "JUNK");
                at += 8 + CWaveFile::kDs64Bytes;
            }
        }
        ASSERT_EQ(IdAt(file, at), "fmt ");
        at += 8 + 16;
        ASSERT_EQ(IdAt(file, at), "data");
        EXPECT_EQ(U32At(file, at + 4), bLarge ? 0xFFFFFFFFu : c.dataBytes);
        EXPECT_EQ(Bytes(file.begin() + at + 8, file.begin() + at + 8 + c.dataBytes), samples);
        at += 8 + c.dataBytes;
        ASSERT_EQ(IdAt(file, at), "tail");
        EXPECT_EQ(U32At(file, at + 4), tail.size());
        EXPECT_EQ(Bytes(file.begin() + at + 8, file.begin() + at + 8 + tail.size()), tail);
        EXPECT_EQ(file.size(), at + 8 + tail.size() + 1);

        if (SoxTools::Available() && std::string(c.formId) != "BW64") {
            const std::string frames = std::to_string(c.dataBytes / format.blockAlign);
            EXPECT_EQ(SoxTools::Info("-s", path), frames);
            const SoxTools::Outcome info =
                SoxTools::Command("sndfile-info " + SoxTools::Quote(path));
            EXPECT_EQ(info.status, 0) << info.output;
            EXPECT_NE(info.output.find("Frames      : " + frames), std::string::npos)
                << info.output;
        }
    }
}

}  // namespace
