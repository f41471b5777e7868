// 24- and 32-bit integer and 32-bit float sounds that sox writes, run through open, save in
// both types, reopen and the stereo export; and crafted files whose samples or faults are
// known, through the same open.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "platform/MonoBitmap.h"
#include "support/DocumentTestFiles.h"
#include "support/SoundIo.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"

namespace {

using SoxTools::Quote;

struct DeepCase {
    const char* name;      // its extension picks sox's file type
    const char* encoding;  // sox's options for the samples
    uint16_t tag;
    uint16_t bits;
    int channels;
};

const DeepCase kSoxCases[] = {
    {"int24.wav", "-b 24 -e signed-integer", 1, 24, 2},
    {"int32.wav", "-b 32 -e signed-integer", 1, 32, 1},
    {"float.wav", "-b 32 -e floating-point", 3, 32, 2},
    {"int24.aiff", "-b 24 -e signed-integer", 1, 24, 1},
    {"int32.aiff", "-b 32 -e signed-integer", 1, 32, 2},
    {"int24.aifc", "-b 24 -e signed-integer", 1, 24, 2},
    {"float.aifc", "-b 32 -e floating-point", 3, 32, 1},
};

// A deep sample at 16-bit scale, as the filter reads it.
double Scale16(const uint8_t* at, uint16_t tag, uint16_t bits) {
    if (tag == 3) {
        float v;
        std::memcpy(&v, at, 4);
        return v * 32768.0;
    }
    if (bits == 24) {
        return static_cast<int32_t>(uint32_t{at[0]} << 8 | uint32_t{at[1]} << 16 |
                                    uint32_t{at[2]} << 24) /
               65536.0;
    }
    int32_t v;
    std::memcpy(&v, at, 4);
    return v / 65536.0;
}

// The 16-bit sound the pictures must draw like: each deep sample rounded down to 16 bits.
Bytes Truncated16(const Bytes& deep, uint16_t tag, uint16_t bits) {
    Bytes out;
    for (size_t at = 0; at + bits / 8 <= deep.size(); at += bits / 8) {
        const double v = std::clamp(std::floor(Scale16(&deep[at], tag, bits)), -32768.0, 32767.0);
        const auto word = static_cast<uint16_t>(static_cast<int16_t>(v));
        out.push_back(static_cast<uint8_t>(word));
        out.push_back(static_cast<uint8_t>(word >> 8));
    }
    return out;
}

bool SamePixels(const MonoBitmap* a, const MonoBitmap* b) {
    if (a == nullptr || b == nullptr || a->Width() != b->Width() || a->Height() != b->Height()) {
        return false;
    }
    for (int y = 0; y < a->Height(); ++y) {
        if (std::memcmp(a->Row(y), b->Row(y), static_cast<size_t>(a->BytesPerRow())) != 0) {
            return false;
        }
    }
    return true;
}

class DeepSamplesTest : public ::testing::Test {
  protected:
    std::unique_ptr<CTesselDoc> Open(const std::string& path, const Bytes& file) {
        WriteBytes(path, file);
        return Open(path);
    }
    std::unique_ptr<CTesselDoc> Open(const std::string& path) {
        auto doc = std::make_unique<CTesselDoc>(host);
        EXPECT_TRUE(DocumentOpen(*doc).Open(path)) << path;
        return doc;
    }
    Bytes SamplesOf(const CTesselDoc& doc) {
        return Bytes(doc.GetSamples(), doc.GetSamples() + doc.GetDataBytes());
    }
    // sox's own reading of path as raw little-endian samples of the case's encoding.
    Bytes SoxRaw(const std::string& path, const DeepCase& c) {
        const std::string raw = dir.File("ref.raw");
        const std::string encoding = std::string("-b ") + std::to_string(c.bits) +
                                     (c.tag == 3 ? " -e floating-point" : " -e signed-integer");
        const SoxTools::Outcome run = SoxTools::Command("sox -D " + Quote(path) + " -t raw " +
                                                        encoding + " -L " + Quote(raw));
        EXPECT_EQ(run.status, 0) << run.output;
        return ReadBytes(raw);
    }
    // The stereo export's samples at 16-bit scale.
    std::vector<double> Export(const CTesselDoc& doc, const std::string& name, int typeId) {
        const std::string out = dir.File(name);
        EXPECT_TRUE(StereoExportCommand(doc).RenderTo(out, typeId)) << name;
        const SoundContents got = ReadSound(out);
        EXPECT_TRUE(got.bOpened);
        std::vector<double> values;
        const uint16_t width = got.format.bitsPerSample / 8;
        for (size_t at = 0; at + width <= got.samples.size(); at += width) {
            values.push_back(
                width == 2
                    ? static_cast<int16_t>(got.samples[at] | got.samples[at + 1] << 8)
                    : Scale16(&got.samples[at], got.format.formatTag, got.format.bitsPerSample));
        }
        exported = got.format;
        return values;
    }

    TempDir dir;
    TestDocumentHost host;
    PcmFormat exported{};
};

}  // namespace

TEST_F(DeepSamplesTest, SoxFilesOpenSaveReopenAndExportAtTheirDepth) {
    if (!SoxTools::Available()) {
        GTEST_SKIP() << "sox is not installed";
    }
    for (const DeepCase& c : kSoxCases) {
        SCOPED_TRACE(c.name);
        const std::string source = dir.File(c.name);
        const std::string channels = c.channels == 2 ? " sine 440 sine 660" : " sine 440";
        const SoxTools::Outcome made = SoxTools::Command(
            "sox -D -n -r 22050 -c " + std::to_string(c.channels) + " " + c.encoding + " " +
            Quote(source) + " synth 0.3" + channels + " gain -3");
        ASSERT_EQ(made.status, 0) << made.output;

        host.prompts.Clear();
        auto doc = Open(source);
        EXPECT_TRUE(host.prompts.Boxes().empty());
        const PcmFormat format = doc->GetFormat();
        EXPECT_EQ(format.formatTag, c.tag);
        EXPECT_EQ(format.bitsPerSample, c.bits);
        EXPECT_EQ(format.channels, c.channels);
        EXPECT_EQ(format.blockAlign, c.channels * c.bits / 8);
        const Bytes samples = SamplesOf(*doc);
        EXPECT_EQ(samples, SoxRaw(source, c)) << "the samples sox reads";

        // The overview draws as the 16-bit sound of the same samples rounded down.
        TestSound shallow;
        shallow.format = MakeFormat(format.channels, format.sampleRate, 16);
        shallow.samples = Truncated16(samples, c.tag, c.bits);
        auto reference = MemoryDocument(host, shallow);
        EXPECT_TRUE(SamePixels(doc->GetOverview(), reference->GetOverview()));

        const uint32_t frames = doc->GetFrameCount();
        doc->LoadTrajectory({{0, -90}, {frames / 3, 40}, {frames, 90}});
        for (const int filterIndex : {1, 2}) {
            SCOPED_TRACE(filterIndex);
            const std::string saved = dir.File(filterIndex == 1 ? "saved.wav" : "saved.aif");
            ASSERT_TRUE(
                DocumentSave(*doc).SaveAsChosen(TestDocumentHost::Name(saved, filterIndex)));
            auto reopened = Open(saved);
            EXPECT_EQ(reopened->GetFormat().formatTag, c.tag);
            EXPECT_EQ(reopened->GetFormat().bitsPerSample, c.bits);
            EXPECT_EQ(SamplesOf(*reopened), samples);
            EXPECT_EQ(PointsOf(*reopened), PointsOf(*doc));
            EXPECT_EQ(SoxRaw(saved, c), samples) << "sox reads what was saved";
            // A save of what was saved writes the very same bytes.
            const std::string again = dir.File(filterIndex == 1 ? "again.wav" : "again.aif");
            ASSERT_TRUE(
                DocumentSave(*reopened).SaveAsChosen(TestDocumentHost::Name(again, filterIndex)));
            EXPECT_EQ(ReadBytes(again), ReadBytes(saved));
        }

        // The export keeps the depth and stays within 2 LSB of the 16-bit sound's export.
        const std::vector<double> deep = Export(*doc, "deep-out.wav", 0);
        EXPECT_EQ(exported.formatTag, c.tag);
        EXPECT_EQ(exported.bitsPerSample, c.bits);
        EXPECT_EQ(exported.channels, 2);
        const std::string source16 = dir.File("sixteen.wav");
        ASSERT_EQ(SoxTools::Command("sox -D " + Quote(source) + " -b 16 -e signed-integer " +
                                    Quote(source16))
                      .status,
                  0);
        auto sixteen = Open(source16);
        sixteen->LoadTrajectory({{0, -90}, {frames / 3, 40}, {frames, 90}});
        const std::vector<double> shallowOut = Export(*sixteen, "sixteen-out.wav", 0);
        ASSERT_EQ(deep.size(), shallowOut.size());
        double worst = 0;
        for (size_t i = 0; i < deep.size(); ++i) {
            worst = std::max(worst, std::abs(deep[i] - shallowOut[i]));
        }
        EXPECT_LE(worst, 2.0);
        Export(*doc, "deep-out.aif", 1);
        EXPECT_EQ(exported.formatTag, c.tag);
        EXPECT_EQ(exported.bitsPerSample, c.bits);
    }
}

namespace {

// A crafted file: what opening it must show, and the samples it must hold when it opens.
struct CraftedCase {
    const char* name;
    Bytes file;
    const char* informative;  // the refusal's reason; empty when the file opens
    Bytes samples;            // in memory, when it opens
};

Bytes WaveFmt(uint16_t tag, uint16_t channels, uint16_t bits, uint16_t blockAlign,
              const Bytes& extra = {}) {
    Bytes fmt;
    AppendU16(fmt, tag, false);
    AppendU16(fmt, channels, false);
    AppendU32(fmt, 22050, false);
    AppendU32(fmt, 22050u * blockAlign, false);
    AppendU16(fmt, blockAlign, false);
    AppendU16(fmt, bits, false);
    Append(fmt, extra);
    return fmt;
}

// The extensible tail: extra size, valid bits, channel mask, the sub-format GUID of tag.
Bytes Extensible(uint16_t extraSize, uint16_t validBits, uint16_t subTag) {
    Bytes extra;
    AppendU16(extra, extraSize, false);
    AppendU16(extra, validBits, false);
    AppendU32(extra, 4, false);
    AppendU16(extra, subTag, false);
    Append(extra,
           {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71});
    return extra;
}

Bytes Wave(const Bytes& fmt, const Bytes& data) {
    Bytes chunks = Chunk("fmt ", fmt, false);
    Append(chunks, Chunk("data", data, false));
    return Form("RIFF", "WAVE", chunks, false);
}

Bytes FirstBytes(Bytes bytes, size_t count) {
    bytes.resize(count);
    return bytes;
}

Bytes Floats(std::initializer_list<float> values) {
    Bytes bytes(values.size() * 4);
    std::memcpy(bytes.data(), std::data(values), bytes.size());
    return bytes;
}

Bytes Aifc(uint16_t bits, const char* compression, const Bytes& fileSamples) {
    Bytes comm = CommPayload(1, static_cast<uint32_t>(fileSamples.size() / (bits / 8)), bits,
                             {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
    AppendId(comm, compression);
    Append(comm, {0, 0});  // an empty name and its pad
    Bytes chunks = Chunk("COMM", comm, true);
    Append(chunks, Chunk("SSND", SsndPayload(fileSamples), true));
    return Form("FORM", "AIFC", chunks, true);
}

}  // namespace

TEST_F(DeepSamplesTest, CraftedFilesDecodeToTheirSamplesOrSayWhyNot) {
    const Bytes nan = Floats({NAN, INFINITY, -INFINITY, 0.5f});
    const CraftedCase cases[] = {
        // 20 valid bits in 24-bit slots: the bits under them stay, as a save must keep them.
        {"valid20.wav",
         Wave(WaveFmt(0xFFFE, 1, 24, 3, Extensible(22, 20, 1)),
              {0xFF, 0x34, 0x12, 0x0F, 0xCD, 0xAB}),
         "",
         {0xFF, 0x34, 0x12, 0x0F, 0xCD, 0xAB}},
        {"sowt.aifc",
         Aifc(24, "sowt", {0x01, 0x02, 0x83, 0x04, 0x05, 0x06}),
         "",
         {0x01, 0x02, 0x83, 0x04, 0x05, 0x06}},
        {"twos.aifc", Aifc(32, "twos", {0x80, 0x01, 0x02, 0x03}), "", {0x03, 0x02, 0x01, 0x80}},
        // Not-a-number and infinities open as they are; what plays and exports them decides.
        {"nan.wav", Wave(WaveFmt(3, 1, 32, 4, {0, 0}), nan), "", nan},
        {"float64.wav",
         Wave(WaveFmt(3, 1, 64, 8), Bytes(16, 0)),
         "64-bit floating-point samples are not supported; Sonomap edits 8-, 16-, 24- and 32-bit "
         "PCM and 32-bit floating point.",
         {}},
        {"align.wav",
         Wave(WaveFmt(1, 1, 24, 4), Bytes(16, 0)),
         "its frames of 4 bytes disagree with 1 channel of 24 bits.",
         {}},
        {"align16.wav",
         Wave(WaveFmt(1, 1, 16, 4), Bytes(16, 0)),
         "its frames of 4 bytes disagree with 1 channel of 16 bits.",
         {}},
        {"align8.wav",
         Wave(WaveFmt(1, 2, 8, 0), Bytes(16, 0)),
         "its frames of 0 bytes disagree with 2 channels of 8 bits.",
         {}},
        {"fl32-24.aifc",
         Aifc(24, "fl32", Bytes(6, 0)),
         "24-bit floating-point samples are not supported; Sonomap edits 8-, 16-, 24- and 32-bit "
         "PCM and 32-bit floating point.",
         {}},
        {"short.wav",
         Wave(FirstBytes(WaveFmt(0xFFFE, 2, 24, 6, Extensible(22, 24, 1)), 30), Bytes(12, 0)),
         "its extensible 'fmt ' chunk is too short for its fields.",
         {}},
        {"three.wav",
         Wave(WaveFmt(0xFFFE, 3, 24, 9, Extensible(22, 24, 1)), Bytes(18, 0)),
         "it has 3 channels; Sonomap edits mono and stereo sounds.",
         {}},
        {"ima4.aifc",
         Aifc(24, "ima4", Bytes(6, 0)),
         "its AIFF-C compression 'ima4' is not one Sonomap reads (File > Import... may take it).",
         {}},
        {"fl64.aifc",
         Aifc(64, "fl64", Bytes(8, 0)),
         "64-bit floating-point samples are not supported; Sonomap edits 8-, 16-, 24- and 32-bit "
         "PCM and 32-bit floating point.",
         {}},
    };
    for (const CraftedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.File(c.name);
        WriteBytes(path, c.file);
        host.prompts.Clear();
        CTesselDoc doc(host);
        const bool bOpened = DocumentOpen(doc).Open(path);
        EXPECT_EQ(bOpened, std::string(c.informative).empty());
        if (bOpened) {
            EXPECT_EQ(SamplesOf(doc), c.samples);
            EXPECT_TRUE(host.prompts.Boxes().empty());
        } else {
            ASSERT_EQ(host.prompts.Boxes().size(), 1u);
            EXPECT_EQ(host.prompts.Boxes()[0].informative,
                      "Sonomap cannot open " + path + ": " + c.informative);
        }
    }
}

// A deep file's format chunk and samples come back from a save byte for byte, however few
// valid bits it claims: the count may lie, the samples do not.
TEST_F(DeepSamplesTest, ASaveKeepsTheFormatChunkAndEveryBitOfTheSamples) {
    const struct {
        const char* name;
        Bytes fmt;
    } cases[] = {
        {"one valid bit of 24", WaveFmt(0xFFFE, 1, 24, 3, Extensible(22, 1, 1))},
        {"24 valid bits of 32, stereo", WaveFmt(0xFFFE, 2, 32, 8, Extensible(22, 24, 1))},
        {"extensible floats", WaveFmt(0xFFFE, 2, 32, 8, Extensible(22, 32, 3))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = Wave(c.fmt, Pattern(2400, 7));
        std::unique_ptr<CTesselDoc> doc = Open(dir.File("in.wav"), file);
        doc->AddPoint(10, 45);
        for (const std::string& out : {dir.File("out.wav"), dir.File("in.wav")}) {
            ASSERT_TRUE(DocumentSave(*doc).WriteTo(out));
            // "fmt " and "data" come first, as they stood: the rest is the trajectory.
            const Bytes saved = ReadBytes(out);
            ASSERT_GT(saved.size(), file.size());
            EXPECT_EQ(Bytes(saved.begin() + 12, saved.begin() + long(file.size())),
                      Bytes(file.begin() + 12, file.end()));
        }
    }
}

TEST_F(DeepSamplesTest, NotANumberExportsAsSilenceAndInfinityAsFullScale) {
    const std::string path = dir.File("nan.wav");
    Bytes samples;
    for (int i = 0; i < 300; ++i) {
        Append(samples, i < 100 ? Floats({NAN}) : i < 200 ? Floats({INFINITY}) : Floats({0.0f}));
    }
    auto doc = Open(path, Wave(WaveFmt(3, 1, 32, 4, {0, 0}), samples));
    doc->LoadTrajectory({{0, 0}, {300, 0}});
    const std::vector<double> out = Export(*doc, "nan-out.wav", 0);
    ASSERT_EQ(out.size(), 600u);
    for (const double v : out) {
        ASSERT_TRUE(std::isfinite(v));
        EXPECT_LE(std::abs(v), 2 * 32768.0);
    }
    EXPECT_EQ(out[0], 0.0) << "not a number is silence";
    EXPECT_GT(std::abs(out[2 * 150]), 1000.0) << "infinity is full scale";
}

TEST_F(DeepSamplesTest, ATruncatedDeepFileOpensWithTheSixteenBitStatusLine) {
    std::vector<std::string> lines;
    for (const uint16_t bits : {16, 24}) {
        const Bytes data(size_t{600} * bits / 8, 0x11);
        Bytes file = Wave(WaveFmt(1, 1, bits, bits / 8), data);
        file.resize(file.size() - data.size() / 2);  // half the samples are missing
        host.prompts.Clear();
        auto doc = Open(dir.File("cut" + std::to_string(bits) + ".wav"), file);
        EXPECT_EQ(doc->GetFrameCount(), 300u);
        ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
        lines.push_back(host.prompts.StatusTexts().back());
    }
    // The same words and the same time; only the name and the byte counts differ.
    std::string expected = lines[0];
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"cut16", "cut24"},
                                   {"600 of 1,200", "900 of 1,800"}}) {
        ASSERT_NE(expected.find(from), std::string::npos) << expected;
        expected.replace(expected.find(from), from.size(), to);
    }
    EXPECT_EQ(lines[1], expected);
}
