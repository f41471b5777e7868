#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "support/FileBytes.h"
#include "support/SoundIo.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

// Files that sox wrote must read with exactly the samples sox itself decodes, and files we
// write must be accepted by sox and libsndfile with the right format and frame count.
namespace {

using SoxTools::Quote;

SoxTools::Outcome RunCommand(const std::string& command) {
    return SoxTools::Command(command);
}

bool HaveTools() {
    return SoxTools::Available() && RunCommand("command -v sndfile-info").status == 0;
}

// The samples in our in-memory convention, as sox decodes them.
Bytes SoxRaw(const std::string& path, int bits, const std::string& rawPath) {
    Bytes samples = SoxTools::SoxPcm(path, bits, false, rawPath);
    EXPECT_FALSE(samples.empty()) << "sox could not decode " << path;
    return samples;
}

struct Case {
    const char* extension;
    int channels;
    int bits;
    int rate;
};

std::string Name(const Case& c) {
    return std::string(c.extension) + "-" + std::to_string(c.rate) + "-" +
           std::to_string(c.channels) + "-" + std::to_string(c.bits);
}

class Interop : public ::testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        if (!HaveTools()) {
            GTEST_SKIP() << "sox and sndfile-programs are not installed";
        }
    }
    TempDir m_dir;
};

TEST_P(Interop, ReadsWhatSoxWrote) {
    const Case c = GetParam();
    const std::string path = m_dir.File(Name(c) + "." + c.extension);
    const SoxTools::Outcome made = RunCommand(
        "sox -D -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " -b " +
        std::to_string(c.bits) + " " + Quote(path) + " synth 0.05 sine 440 sine 1250 gain -1");
    ASSERT_EQ(made.status, 0) << made.output;

    const SoundContents read = ReadSound(path);
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.typeName, std::string(c.extension) == "wav" ? "WAVE" : "AIFF");
    EXPECT_EQ(read.format.channels, c.channels);
    EXPECT_EQ(read.format.bitsPerSample, c.bits);
    EXPECT_EQ(read.format.sampleRate, static_cast<uint32_t>(c.rate));
    EXPECT_EQ(read.format.blockAlign, c.channels * c.bits / 8);
    const Bytes expected = SoxRaw(path, c.bits, m_dir.File("sox.raw"));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(read.samples, expected);
    if (std::string(c.extension) == "aiff") {
        // sox puts a comment chunk first; it is carried as an unknown chunk.
        ASSERT_NE(read.unrecognized, nullptr);
        EXPECT_EQ(read.unrecognized->ListChunks().at(0).id, "COMT");
    }
}

TEST_P(Interop, ToolsAcceptWhatWeWrote) {
    const Case c = GetParam();
    const bool bWave = std::string(c.extension) == "wav";
    const PcmFormat format =
        MakeFormat(static_cast<uint16_t>(c.channels), static_cast<uint32_t>(c.rate),
                   static_cast<uint16_t>(c.bits));
    const uint32_t frames = 301;
    Bytes samples = Pattern(frames * format.blockAlign, static_cast<uint32_t>(c.rate));
    // A pan chunk and a carried chunk of odd size ride along; players must skip them.
    auto pan = BuildPanChunk({{0, -45}, {frames, 45}}, frames, false, 0);
    auto block = std::make_unique<UnrecognizedChunkBlock>(8 + 5 + 1, !bWave);
    Bytes note = Chunk("note", {'h', 'e', 'l', 'l', 'o'}, !bWave);
    std::copy(note.begin(), note.end(), block->GetChunkBytes());
    const std::string path = m_dir.File("ours." + std::string(c.extension));
    ASSERT_TRUE(WriteSound(path, bWave ? "WAVE" : "AIFF", format, samples, pan, block.get()));

    const SoxTools::Outcome info = RunCommand("sndfile-info " + Quote(path));
    ASSERT_EQ(info.status, 0) << info.output;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(info.output, match, std::regex("Frames +: ([0-9]+)")))
        << info.output;
    EXPECT_EQ(std::stoul(match[1]), frames);
    ASSERT_TRUE(std::regex_search(info.output, match, std::regex("Sample Rate : ([0-9]+)")));
    EXPECT_EQ(std::stoi(match[1]), c.rate);
    ASSERT_TRUE(std::regex_search(info.output, match, std::regex("Channels +: ([0-9]+)")));
    EXPECT_EQ(std::stoi(match[1]), c.channels);
    EXPECT_EQ(info.output.find("rror"), std::string::npos) << info.output;

    EXPECT_EQ(SoxTools::Info("-t", path), bWave ? "wav" : "aiff");
    EXPECT_EQ(SoxTools::Info("-s", path), std::to_string(frames));
    EXPECT_EQ(SoxTools::Info("-r", path), std::to_string(c.rate));
    EXPECT_EQ(SoxTools::Info("-c", path), std::to_string(c.channels));
    EXPECT_EQ(SoxTools::Info("-b", path), std::to_string(c.bits));
    EXPECT_EQ(SoxRaw(path, c.bits, m_dir.File("back.raw")), samples);
}

// sox honours the "SSND" offset too: a file padded before its samples reads the same in both.
TEST(InteropOffset, SoxReadsAPaddedAiffAsWeDo) {
    if (!HaveTools()) {
        GTEST_SKIP() << "sox and sndfile-programs are not installed";
    }
    TempDir dir;
    const std::string plain = dir.File("plain.aiff");
    ASSERT_EQ(
        RunCommand("sox -D -n -r 44100 -c 2 -b 16 " + Quote(plain) + " synth 0.1 sine 440 sine 660")
            .status,
        0);
    // Move the samples 8192 bytes on, behind padding that would sound as noise.
    const Bytes file = ReadBytes(plain);
    const std::string text(file.begin(), file.end());
    const size_t ssnd = text.find("SSND");
    ASSERT_NE(ssnd, std::string::npos);
    const uint32_t size = (uint32_t{file[ssnd + 4]} << 24) | (uint32_t{file[ssnd + 5]} << 16) |
                          (uint32_t{file[ssnd + 6]} << 8) | file[ssnd + 7];
    ASSERT_EQ(size % 2, 0u);
    const Bytes fileSamples(file.begin() + ssnd + 16, file.begin() + ssnd + 8 + size);
    Bytes payload;
    AppendU32(payload, 8192, true);
    AppendU32(payload, 0, true);
    for (int i = 0; i < 8192; ++i) {
        payload.push_back(static_cast<uint8_t>(i * 37));
    }
    Append(payload, fileSamples);
    Bytes chunks(file.begin() + 12, file.begin() + ssnd);
    Append(chunks, Chunk("SSND", payload, true));
    const std::string padded = dir.File("padded.aiff");
    WriteBytes(padded, Form("FORM", "AIFF", chunks, true));

    const SoundContents read = ReadSound(padded);
    ASSERT_TRUE(read.bOpened);
    EXPECT_EQ(read.dataBytes, fileSamples.size());
    EXPECT_EQ(read.samples, SoxRaw(plain, 16, dir.File("plain.raw")));
    EXPECT_EQ(read.samples, SoxRaw(padded, 16, dir.File("padded.raw")));
}

INSTANTIATE_TEST_SUITE_P(Formats, Interop,
                         ::testing::Values(Case{"wav", 1, 8, 8000}, Case{"wav", 2, 8, 22050},
                                           Case{"wav", 1, 16, 44100}, Case{"wav", 2, 16, 48000},
                                           Case{"wav", 2, 16, 11025}, Case{"aiff", 1, 8, 11025},
                                           Case{"aiff", 2, 8, 44100}, Case{"aiff", 1, 16, 6000},
                                           Case{"aiff", 2, 16, 22050}, Case{"aiff", 2, 16, 48000}),
                         [](const auto& p) {
                             std::string name = Name(p.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
