// ADM files end to end: a document exported, its chunks read field by field and its blocks
// against the points, what sox and libsndfile read from it, and the import giving the same
// points back; then files whose metadata import refuses, and the message naming what they hold.
#include "deliver/AdmExportCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <pugixml.hpp>

#include "document/CTesselDoc.h"
#include "document/SoundImport.h"
#include "formats/AdmMetadata.h"
#include "formats/CWaveFile.h"
#include "support/DocumentTestFiles.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"

namespace {

struct ExportCase {
    const char* name;
    uint16_t channels;
    uint16_t bits;
    bool bFloat;
    uint32_t rate;
    uint32_t frames;
    std::vector<PanPoint> points;
    uint64_t limit;  // 0: the plain 4 GiB
};

const ExportCase kExports[] = {
    {"mono, behind, above and far",
     1,
     16,
     false,
     48000,
     24000,
     {PlacePoint(1000, 30), PlacePoint(9000, -120, 20, 250), PlacePoint(15000, 180, -10, 50),
      PlacePoint(24000, -179, 90, 10000)},
     0},
    {"mono 8-bit, a point at frame 0, held to the end",
     1,
     8,
     false,
     22050,
     11025,
     {PlacePoint(0, -45, 0, 10), PlacePoint(5000, 90)},
     0},
    {"stereo around the back with odd widths",
     2,
     16,
     false,
     44100,
     12000,
     {PlacePoint(0, 10, 0, 100, 30), PlacePoint(7000, -170, 45, 300, 91),
      PlacePoint(9000, 179, 0, 100, 5), PlacePoint(11000, 90, 0, 100, 180)},
     0},
    {"float stereo past a lowered limit", 2, 32, true, 48000, 4000,
     std::vector<PanPoint>{PlacePoint(2000, -60, -30, 1000, 0)}, 4096},
    {"24-bit mono past a lowered limit", 1, 24, false, 32000, 3000,
     std::vector<PanPoint>{PlacePoint(100, 1), PlacePoint(2999, -1, 1, 11)}, 8192},
};

class PlainFormLimit {
  public:
    explicit PlainFormLimit(uint64_t bytes) { CWaveFile::SetPlainFormLimit(bytes); }
    ~PlainFormLimit() { CWaveFile::SetPlainFormLimit(0); }
};

std::unique_ptr<CTesselDoc> Document(TestDocumentHost& host, const ExportCase& c) {
    TestSound sound;
    sound.format = MakeFormat(c.channels, c.rate, c.bits);
    if (c.bFloat) {
        sound.format.formatTag = kFormatTagFloat;
    }
    sound.samples = Pattern(size_t{c.frames} * sound.format.blockAlign, c.frames);
    auto doc = MemoryDocument(host, sound);
    doc->LoadTrajectory(c.points);
    return doc;
}

struct FileChunk {
    std::string id;
    Bytes data;
    uint32_t declared;
};

// The chunks after the form type, data sized from ds64 when the form is large.
std::vector<FileChunk> ChunksOf(const Bytes& file) {
    std::vector<FileChunk> chunks;
    uint64_t dataSize = 0;
    for (size_t at = 12; at + 8 <= file.size();) {
        FileChunk chunk;
        chunk.id.assign(reinterpret_cast<const char*>(file.data() + at), 4);
        std::memcpy(&chunk.declared, file.data() + at + 4, 4);
        uint64_t size = chunk.declared;
        if (chunk.id == "ds64") {
            std::memcpy(&dataSize, file.data() + at + 16, 8);
        } else if (chunk.id == "data" && size == 0xFFFFFFFFu) {
            size = dataSize;
        }
        chunk.data.assign(file.begin() + at + 8, file.begin() + at + 8 + size);
        chunks.push_back(chunk);
        at += 8 + size + (size & 1u);
    }
    return chunks;
}

// A time of the form hh:mm:ss.zzzzz in units of 10 us, read apart from the code under test.
int64_t Units(const std::string& text) {
    EXPECT_EQ(text.size(), 14u) << text;
    return std::stoll(text.substr(0, 2)) * 360000000 + std::stoll(text.substr(3, 2)) * 6000000 +
           std::stoll(text.substr(6, 2)) * 100000 + std::stoll(text.substr(9, 5));
}

uint32_t FrameOfUnits(int64_t units, uint32_t rate) {
    return static_cast<uint32_t>(std::llround(static_cast<double>(units) * rate / 100000.0));
}

// The model's azimuth of a channel at a point: half the width to its side, negated.
double ModelAzimuth(const PanPoint& point, int channel, int channels) {
    const double offset = channels == 2 ? (channel == 0 ? -0.5 : 0.5) * point.width : 0.0;
    double azimuth = point.azimuth + offset;
    if (azimuth > 180) {
        azimuth -= 360;
    } else if (azimuth <= -180) {
        azimuth += 360;
    }
    return azimuth == 0 ? 0 : -azimuth;
}

TEST(AdmExportTest, ChunksBlocksAndImportFollowTheTrajectory) {
    TempDir dir;
    for (const ExportCase& c : kExports) {
        SCOPED_TRACE(c.name);
        TestDocumentHost host;
        const auto doc = Document(host, c);
        const std::string path = dir.File(std::string(c.name) + ".wav");
        {
            const PlainFormLimit limit(c.limit);
            ASSERT_TRUE(AdmExportCommand(*doc).RenderTo(path));
        }
        EXPECT_EQ(host.prompts.Texts(), std::vector<std::string>());
        const Bytes file = ReadBytes(path);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), c.limit != 0 ? "RF64" : "RIFF");
        const std::vector<FileChunk> chunks = ChunksOf(file);
        ASSERT_GE(chunks.size(), 5u);
        EXPECT_EQ(chunks[0].id, c.limit != 0 ? "ds64" : "JUNK");
        EXPECT_EQ(chunks[1].id, "fmt ");
        EXPECT_EQ(chunks[2].id, "chna");
        EXPECT_EQ(chunks[3].id, "axml");
        EXPECT_EQ(chunks[4].id, "data");
        EXPECT_EQ(chunks[4].data,
                  Bytes(doc->GetSamples(), doc->GetSamples() + doc->GetDataBytes()));

        // chna: track and UID counts, then per track its index, UID, track format and pack.
        const Bytes& chna = chunks[2].data;
        ASSERT_EQ(chna.size(), 4u + 40u * c.channels);
        EXPECT_EQ(chna[0] | chna[1] << 8, c.channels);
        EXPECT_EQ(chna[2] | chna[3] << 8, c.channels);
        for (int n = 1; n <= c.channels; ++n) {
            const uint8_t* entry = chna.data() + 4 + 40 * (n - 1);
            EXPECT_EQ(entry[0] | entry[1] << 8, n);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 2), 12),
                      "ATU_0000000" + std::to_string(n));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 14), 14),
                      "AT_0003100" + std::to_string(n) + "_01");
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry + 28), 11),
                      "AP_0003100" + std::to_string(n));
            EXPECT_EQ(entry[39], 0);
        }

        // axml: per channel one Objects object whose blocks cover the sound without a gap and
        // end at the points, azimuth negated, distance over 100 m.
        pugi::xml_document xml;
        ASSERT_TRUE(xml.load_buffer(chunks[3].data.data(), chunks[3].data.size()));
        const pugi::xml_node model = xml.child("ebuCoreMain")
                                         .child("coreMetadata")
                                         .child("format")
                                         .child("audioFormatExtended");
        ASSERT_TRUE(model);
        for (int n = 1; n <= c.channels; ++n) {
            const std::string suffix = "0003100" + std::to_string(n);
            const pugi::xml_node object = model.find_child_by_attribute(
                "audioObject", "audioObjectID", ("AO_100" + std::to_string(n)).c_str());
            ASSERT_TRUE(object);
            EXPECT_STREQ(object.child_value("audioPackFormatIDRef"), ("AP_" + suffix).c_str());
            const pugi::xml_node pack = model.find_child_by_attribute(
                "audioPackFormat", "audioPackFormatID", ("AP_" + suffix).c_str());
            EXPECT_STREQ(pack.attribute("typeLabel").value(), "0003");
            EXPECT_STREQ(pack.attribute("absoluteDistance").value(), "100");
            const pugi::xml_node channel = model.find_child_by_attribute(
                "audioChannelFormat", "audioChannelFormatID", ("AC_" + suffix).c_str());
            ASSERT_TRUE(channel);
            EXPECT_STREQ(channel.attribute("typeDefinition").value(), "Objects");
            int64_t reached = 0;
            size_t point = 0;
            for (pugi::xml_node block : channel.children("audioBlockFormat")) {
                const int64_t rtime = Units(block.attribute("rtime").value());
                const int64_t end = rtime + Units(block.attribute("duration").value());
                EXPECT_EQ(rtime, reached);
                reached = end;
                if (block.child("jumpPosition")) {
                    continue;  // the start straight ahead, or the hold after the last point
                }
                ASSERT_LT(point, c.points.size());
                const PanPoint& p = c.points[point++];
                EXPECT_EQ(FrameOfUnits(end, c.rate), p.position);
                for (pugi::xml_node position : block.children("position")) {
                    const std::string coordinate = position.attribute("coordinate").value();
                    const double value = position.text().as_double();
                    if (coordinate == "azimuth") {
                        EXPECT_DOUBLE_EQ(value, ModelAzimuth(p, n - 1, c.channels));
                    } else if (coordinate == "elevation") {
                        EXPECT_DOUBLE_EQ(value, p.elevation);
                    } else {
                        EXPECT_NEAR(value * 10000, p.distanceCm, 1e-6);
                    }
                }
            }
            EXPECT_EQ(point, c.points.size());
            EXPECT_EQ(FrameOfUnits(reached, c.rate), c.frames);
        }

        if (SoxTools::Available()) {
            EXPECT_EQ(SoxTools::Info("-s", path), std::to_string(c.frames));
            const SoxTools::Outcome info =
                SoxTools::Command("sndfile-info " + SoxTools::Quote(path));
            EXPECT_EQ(info.status, 0) << info.output;
        }

        CTesselDoc back(host);
        ASSERT_TRUE(SoundImport(host).ImportInto(back, path));
        EXPECT_EQ(back.GetPanPoints().Values(), c.points);
        EXPECT_EQ(back.GetFrameCount(), c.frames);
        if (c.limit != 0) {
            // The same large form under the id broadcast tools write imports the same.
            Bytes renamed = file;
            std::memcpy(renamed.data(), "BW64", 4);
            const std::string bw64 = dir.File(std::string(c.name) + "-bw64.wav");
            WriteBytes(bw64, renamed);
            CTesselDoc fromBw64(host);
            ASSERT_TRUE(SoundImport(host).ImportInto(fromBw64, bw64));
            EXPECT_EQ(fromBw64.GetPanPoints().Values(), c.points);
            EXPECT_EQ(fromBw64.GetFrameCount(), c.frames);
        }
    }
}

// A file with these chunks around mono or stereo 16-bit samples.
void WriteAdmFile(const std::string& path, uint16_t channels, const std::optional<Bytes>& chna,
                  const Bytes& axml) {
    CWaveFile wave(path);
    if (chna) {
        wave.AddLeadingChunk(kChnaChunkId, *chna);
    }
    wave.AddLeadingChunk(kAxmlChunkId, axml);
    const PcmFormat format = MakeFormat(channels, 48000, 16);
    const Bytes samples = Pattern(size_t{4800} * format.blockAlign);
    ASSERT_TRUE(wave.CreateHeader(format, static_cast<uint32_t>(samples.size())));
    ASSERT_TRUE(wave.WriteSamples(samples.data(), static_cast<uint32_t>(samples.size())));
    ASSERT_TRUE(wave.CloseSamples());
    ASSERT_TRUE(wave.CloseFile());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

struct RefusalCase {
    const char* name;
    uint16_t fileChannels;
    uint16_t modelChannels;
    bool bChna;
    std::string from, to;  // a change to the XML Sonomap writes
    const char* reason;    // empty: imported
};

const RefusalCase kRefusals[] = {
    {"speakers", 1, 1, true, "typeLabel=\"0003\" typeDefinition=\"Objects\"",
     "typeLabel=\"0001\" typeDefinition=\"DirectSpeakers\"",
     "it holds DirectSpeakers audio (AP_00031001), not Objects"},
    {"scene-based", 1, 1, true, "typeLabel=\"0003\" typeDefinition=\"Objects\"",
     "typeLabel=\"0004\"", "it holds HOA audio (AP_00031001), not Objects"},
    {"two objects for one channel", 1, 2, true, "", "",
     "it holds 2 audio objects for a mono sound, which takes 1"},
    {"one object for two channels", 2, 1, true, "", "",
     "it holds 1 audio object for a stereo sound, which takes 2"},
    {"cartesian blocks", 1, 1, true, "<position coordinate=\"azimuth\">",
     "<cartesian>1</cartesian><position coordinate=\"azimuth\">",
     "AC_00031001 places its blocks in Cartesian coordinates"},
    {"no chna", 1, 1, false, "", "", "its chna chunk names no object pack for track 1"},
    {"broken XML", 1, 1, true, "</audioFormatExtended>", "",
     "its axml chunk is not well-formed XML (Start-end tags mismatch)"},
    {"unreadable block time", 1, 1, true, "rtime=\"00:00:00.00000\"", "rtime=\"soon\"",
     "the block times of AC_00031001 cannot be read"},
    {"XML of another kind", 1, 1, true, "audioFormatExtended", "somethingElse", ""},
};

TEST(AdmExportTest, ImportRefusesWhatItCannotTakeNamingIt) {
    TempDir dir;
    for (const RefusalCase& c : kRefusals) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<AdmBlock>> blocks(c.modelChannels,
                                                  AdmBlocksOf({{2400, 30.0, 0.0, 100.0}}, 4800));
        const Bytes axml = BuildAxmlChunk(blocks, "take", 48000, 16, 4800);
        std::string text(axml.begin(), axml.end());
        if (!c.from.empty()) {
            text = Replaced(text, c.from, c.to);
        }
        const std::string path = dir.File(std::string(c.name) + ".wav");
        WriteAdmFile(path, c.fileChannels,
                     c.bChna ? std::optional<Bytes>(BuildChnaChunk(c.modelChannels)) : std::nullopt,
                     Bytes(text.begin(), text.end()));
        TestDocumentHost host;
        CTesselDoc doc(host);
        const bool bImported = SoundImport(host).ImportInto(doc, path);
        if (*c.reason == '\0') {
            EXPECT_TRUE(bImported);
            EXPECT_TRUE(doc.GetPanPoints().IsEmpty());
            continue;
        }
        EXPECT_FALSE(bImported);
        EXPECT_EQ(host.prompts.Texts(),
                  std::vector<std::string>{"Can't import " + std::string(c.name) +
                                           ".wav!\nIts ADM metadata is not one trajectory "
                                           "Sonomap can take: " +
                                           c.reason + "."});
    }
}

struct RefusedExport {
    const char* name;
    std::optional<SampleFormat> sampleFormat;
    bool bPoints;
    const char* message;
};

TEST(AdmExportTest, TheCommandAsksForANameAndRefusesBeforeWritingAnything) {
    TempDir dir;
    const ExportCase& sound = kExports[0];
    const RefusedExport refusals[] = {
        {"no points", SampleFormat::S16, false, "No Pan Events to track!"},
        {"no points at the sound's own depth", std::nullopt, false, "No Pan Events to track!"},
    };
    for (const RefusedExport& c : refusals) {
        SCOPED_TRACE(c.name);
        TestDocumentHost host;
        auto doc = Document(host, sound);
        if (!c.bPoints) {
            doc = MemoryDocument(host, TestSound{});
        }
        EXPECT_FALSE(AdmExportCommand(*doc).RenderTo(dir.File("refused.wav"), c.sampleFormat));
        EXPECT_EQ(host.prompts.Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(FilesIn(dir.Path()), 0u);
    }

    TestDocumentHost host;
    const auto doc = Document(host, sound);
    host.saveNames.push_back(std::nullopt);  // Cancel
    EXPECT_FALSE(AdmExportCommand(*doc).Run());
    EXPECT_EQ(FilesIn(dir.Path()), 0u);
    SaveNameResult name;
    name.fullPath = dir.File("chosen.wav");
    name.filterIndex = 1;
    host.saveNames.push_back(name);
    EXPECT_TRUE(AdmExportCommand(*doc).Run());
    ASSERT_EQ(host.saveRequests.size(), 2u);
    EXPECT_EQ(host.saveRequests[0].title, "Export ADM BW64 File As...");
    EXPECT_EQ(host.saveRequests[0].proposedName, "memory-adm.wav");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
    EXPECT_EQ(host.prompts.StatusTexts().size(), 1u);
}

}  // namespace
