// ADM files end to end: a document exported, its chunks read field by field and its blocks
// against the points, what sox and libsndfile read from it, and the import giving the same
// points back; then files whose metadata import refuses, and the message naming what they hold.
#include "deliver/AdmExportCommand.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <pugixml.hpp>

#include "document/CTesselDoc.h"
#include "document/SoundImport.h"
#include "formats/AdmMetadata.h"
#include "formats/CWaveFile.h"
#include "render/LoudnessMeter.h"
#include "scene/RenderInput.h"
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
    {"a sweep stored as two points, a still stretch, a step, and from 10 cm to 100 m",
     1,
     16,
     false,
     48000,
     48000,
     {PlacePoint(0, -90), PlacePoint(12000, 90), PlacePoint(20000, 90), PlacePoint(20000, -30),
      PlacePoint(30000, -30, 0, 10), PlacePoint(40000, -30, 0, 10000)},
     0},
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

struct ModelPlace {
    double azimuth = 0, elevation = 0, distance = 1;
};

// Degrees between two model directions along the great circle.
double Turn(const ModelPlace& a, const ModelPlace& b) {
    const double r = 3.14159265358979323846 / 180;
    const double cosine = std::sin(a.elevation * r) * std::sin(b.elevation * r) +
                          std::cos(a.elevation * r) * std::cos(b.elevation * r) *
                              std::cos((a.azimuth - b.azimuth) * r);
    return std::acos(std::clamp(cosine, -1.0, 1.0)) / r;
}

// The loudness of the sound's samples, measured apart from the export.
AdmLoudness Measured(const CTesselDoc& doc) {
    const std::unique_ptr<RenderInput> input = RenderInput::OfDocument(doc);
    std::vector<float> samples(size_t{doc.GetFrameCount()} *
                               static_cast<size_t>(input->Channels()));
    input->Read(0, doc.GetFrameCount(), samples.data());
    LoudnessMeter meter(
        doc.GetFormat().sampleRate,
        std::vector<LoudnessWeight>(static_cast<size_t>(input->Channels()), LoudnessWeight::Unit));
    meter.AddFrames(samples.data(), doc.GetFrameCount());
    return {meter.IntegratedLoudness(), meter.TruePeak()};
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

        // axml: per channel one Objects object whose blocks cover the sound without a gap,
        // turn at most 10 degrees and change the distance by at most 1.25 times each, reach
        // every point at its frame (a step by a jump), azimuth negated, distance in metres.
        pugi::xml_document xml;
        ASSERT_TRUE(xml.load_buffer(chunks[3].data.data(), chunks[3].data.size()));
        const pugi::xml_node model = xml.child("ebuCoreMain")
                                         .child("coreMetadata")
                                         .child("format")
                                         .child("audioFormatExtended");
        ASSERT_TRUE(model);
        // The programme's loudness is the samples', left out where they are too short or
        // too quiet to have one.
        const pugi::xml_node loudness = model.child("audioProgramme").child("loudnessMetadata");
        const AdmLoudness measured = Measured(*doc);
        for (const auto& [name, value] : {std::pair{"integratedLoudness", measured.integratedLufs},
                                          std::pair{"maxTruePeak", measured.truePeakDbtp}}) {
            if (std::isfinite(value)) {
                EXPECT_NEAR(loudness.child(name).text().as_double(1.0), value, 0.006) << name;
            } else {
                EXPECT_FALSE(loudness.child(name)) << name;
            }
        }
        for (int n = 1; n <= c.channels; ++n) {
            const std::string suffix = "0003100" + std::to_string(n);
            const pugi::xml_node object = model.find_child_by_attribute(
                "audioObject", "audioObjectID", ("AO_100" + std::to_string(n)).c_str());
            ASSERT_TRUE(object);
            EXPECT_STREQ(object.child_value("audioPackFormatIDRef"), ("AP_" + suffix).c_str());
            const pugi::xml_node pack = model.find_child_by_attribute(
                "audioPackFormat", "audioPackFormatID", ("AP_" + suffix).c_str());
            EXPECT_STREQ(pack.attribute("typeLabel").value(), "0003");
            EXPECT_STREQ(pack.child_value("absoluteDistance"), "1");
            EXPECT_FALSE(pack.attribute("absoluteDistance"));
            const pugi::xml_node channel = model.find_child_by_attribute(
                "audioChannelFormat", "audioChannelFormatID", ("AC_" + suffix).c_str());
            ASSERT_TRUE(channel);
            EXPECT_STREQ(channel.attribute("typeDefinition").value(), "Objects");
            int64_t reached = 0;
            std::optional<ModelPlace> last;
            std::vector<std::pair<uint32_t, ModelPlace>> reachedAt;
            for (pugi::xml_node block : channel.children("audioBlockFormat")) {
                const int64_t rtime = Units(block.attribute("rtime").value());
                const int64_t end = rtime + Units(block.attribute("duration").value());
                EXPECT_EQ(rtime, reached);
                reached = end;
                ModelPlace here;
                for (pugi::xml_node position : block.children("position")) {
                    const std::string coordinate = position.attribute("coordinate").value();
                    (coordinate == "azimuth"     ? here.azimuth
                     : coordinate == "elevation" ? here.elevation
                                                 : here.distance) = position.text().as_double();
                }
                const bool bJump = block.child("jumpPosition").text().as_int() == 1;
                if (bJump) {
                    EXPECT_STREQ(
                        block.child("jumpPosition").attribute("interpolationLength").value(), "0");
                } else if (last) {
                    EXPECT_LE(Turn(*last, here), 10.0 + 1e-9)
                        << block.attribute("audioBlockFormatID").value();
                    EXPECT_LE(
                        std::max(here.distance / last->distance, last->distance / here.distance),
                        1.25 + 1e-9);
                }
                reachedAt.push_back({FrameOfUnits(bJump ? rtime : end, c.rate), here});
                last = here;
            }
            EXPECT_EQ(FrameOfUnits(reached, c.rate), c.frames);
            // Each point's place is reached at its frame: the first point of a frame by a
            // block's end, the last by a jump there.
            for (size_t i = 0; i < c.points.size(); ++i) {
                const PanPoint& p = c.points[i];
                const bool bLastOfFrame =
                    i + 1 == c.points.size() || c.points[i + 1].position != p.position;
                const bool bFirstOfFrame = i == 0 || c.points[i - 1].position != p.position;
                const ModelPlace want{ModelAzimuth(p, n - 1, c.channels), double(p.elevation),
                                      p.distanceCm / 100.0};
                const bool bFound =
                    std::any_of(reachedAt.begin(), reachedAt.end(), [&](const auto& r) {
                        return r.first == p.position && Turn(r.second, want) < 1e-6 &&
                               std::abs(r.second.distance - want.distance) < 1e-9;
                    });
                EXPECT_TRUE(bFound || (!bFirstOfFrame && !bLastOfFrame)) << "point " << i;
            }
        }
        if (std::string(c.name).starts_with("a sweep")) {
            // The still stretch between 12000 and 20000 is one block.
            EXPECT_EQ(xml.select_nodes("//audioBlockFormat[@rtime='00:00:00.25000']").size(), 1u);
            EXPECT_EQ(xml.select_nodes("//audioBlockFormat[@rtime='00:00:00.25000']")
                          .first()
                          .node()
                          .attribute("duration")
                          .as_string(),
                      std::string("00:00:00.16667"));
        }

        if (SoxTools::Available()) {
            EXPECT_EQ(SoxTools::Info("-s", path), std::to_string(c.frames));
            const SoxTools::Outcome info =
                SoxTools::Command("sndfile-info " + SoxTools::Quote(path));
            EXPECT_EQ(info.status, 0) << info.output;
        }

        CTesselDoc back(host);
        ASSERT_TRUE(SoundImport(host).ImportInto(back, path))
            << testing::PrintToString(host.prompts.Texts());
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
                  const Bytes& axml, uint32_t frames = 4800) {
    CWaveFile wave(path);
    if (chna) {
        wave.AddLeadingChunk(kChnaChunkId, *chna);
    }
    wave.AddLeadingChunk(kAxmlChunkId, axml);
    const PcmFormat format = MakeFormat(channels, 48000, 16);
    const Bytes samples = Pattern(size_t{frames} * format.blockAlign);
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
    {"a channel without a block", 1, 1, true, "audioBlockFormat", "somethingBlock",
     "AC_00031001 has no audioBlockFormat, so no place"},
    {"unreadable block time", 1, 1, true, "rtime=\"00:00:00.00000\"", "rtime=\"soon\"",
     "the block times of AC_00031001 cannot be read"},
    {"XML of another kind", 1, 1, true, "audioFormatExtended", "somethingElse", ""},
};

TEST(AdmExportTest, ImportRefusesWhatItCannotTakeNamingIt) {
    TempDir dir;
    for (const RefusalCase& c : kRefusals) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<AdmBlock>> blocks(c.modelChannels,
                                                  {{0, 2400, {2400, 30.0, 0.0, 100.0}, false},
                                                   {2400, 2400, {4800, 30.0, 0.0, 100.0}, false}});
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

// ADM as BS.2076 writes it by hand: one object of 4800 frames at 48 kHz (0.1 s), its pack
// and channel with the blocks given, and the pack's absoluteDistance in the form given.
std::string HandWrittenAxml(const std::string& objectTimes, const std::string& packDistance,
                            const std::string& blocks) {
    return R"(<?xml version="1.0"?><ebuCoreMain xmlns="urn:ebu:metadata-schema:ebuCore_2016"><coreMetadata><format><audioFormatExtended version="ITU-R_BS.2076-2">
<audioProgramme audioProgrammeID="APR_1001"><audioContentIDRef>ACO_1001</audioContentIDRef></audioProgramme>
<audioContent audioContentID="ACO_1001"><audioObjectIDRef>AO_1001</audioObjectIDRef></audioContent>
<audioObject audioObjectID="AO_1001" )" +
           objectTimes +
           R"(><audioPackFormatIDRef>AP_00031001</audioPackFormatIDRef><audioTrackUIDRef>ATU_00000001</audioTrackUIDRef></audioObject>
<audioPackFormat audioPackFormatID="AP_00031001" typeLabel="0003" )" +
           packDistance + R"(</audioPackFormat>
<audioChannelFormat audioChannelFormatID="AC_00031001" typeLabel="0003">)" +
           blocks +
           "</audioChannelFormat></audioFormatExtended></format></coreMetadata></ebuCoreMain>";
}

// A block from its times (seconds), ID number, position and any further element.
std::string Block(int id, const char* rtime, const char* duration, const char* azimuth,
                  const char* distance = "1", const char* more = "") {
    return "<audioBlockFormat audioBlockFormatID=\"AB_00031001_0000000" + std::to_string(id) +
           "\" rtime=\"" + rtime + "\" duration=\"" + duration + "\">" + more +
           "<position coordinate=\"azimuth\">" + azimuth +
           "</position><position coordinate=\"elevation\">0</position><position "
           "coordinate=\"distance\">" +
           distance + "</position></audioBlockFormat>";
}

constexpr const char* kPlainPack =
    "><audioChannelFormatIDRef>AC_00031001</audioChannelFormatIDRef>";

struct ImportCase {
    const char* name;
    std::string objectTimes, pack, blocks;
    std::vector<PanPoint> points;  // as imported, or
    const char* reason;            // the refusal, when not empty
};

// A zig-zag of count blocks of 1 frame each, no three in line.
std::string ZigZag(int count) {
    std::string blocks;
    for (int i = 0; i < count; ++i) {
        char time[32];
        std::snprintf(time, sizeof time, "00:00:00.%uS48000", i);
        blocks += "<audioBlockFormat rtime=\"" + std::string(time) +
                  "\" duration=\"00:00:00.1S48000\"><position coordinate=\"azimuth\">" +
                  (i % 2 ? "20" : "-20") +
                  "</position><position coordinate=\"elevation\">0</position></audioBlockFormat>";
    }
    return blocks;
}

TEST(AdmExportTest, ImportPlacesTheObjectWhereTheModelsRendererDoesOrSaysWhyNot) {
    const std::string plainPack = kPlainPack;
    const std::string timesOfAll = "start=\"00:00:00.00000\" duration=\"00:00:00.10000\"";
    const ImportCase cases[] = {
        {"a first block holds its place from its start",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.01000", "00:00:00.05000", "-45"),
         {PlacePoint(480, 45)},
         ""},
        {"a later block reaches its place at its end, a jump after its interpolationLength",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.02000", "30") +
             Block(2, "00:00:00.02000", "00:00:00.02000", "-30") +
             Block(3, "00:00:00.04000", "00:00:00.04000", "60", "1",
                   "<jumpPosition interpolationLength=\"0.01\">1</jumpPosition>") +
             Block(4, "00:00:00.08000", "00:00:00.02000", "0", "1",
                   "<jumpPosition>1</jumpPosition>"),
         {PlacePoint(0, -30), PlacePoint(960, -30), PlacePoint(1920, 30), PlacePoint(2400, -60),
          PlacePoint(3840, -60), PlacePoint(3840, 0)},
         ""},
        {"the object's start offsets its blocks and its duration cuts them",
         "start=\"00:00:00.02000\" duration=\"00:00:00.05000\"",
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.01000", "10") +
             Block(2, "00:00:00.01000", "00:00:00.06000", "-10"),
         {PlacePoint(960, -10), PlacePoint(1440, -10), PlacePoint(3360, 10)},
         ""},
        {"absoluteDistance as an element",
         timesOfAll,
         plainPack + "<absoluteDistance>10</absoluteDistance>",
         Block(1, "00:00:00.00000", "00:00:00.10000", "0", "0.5"),
         {PlacePoint(0, 0, 0, 500)},
         ""},
        {"absoluteDistance as an attribute",
         timesOfAll,
         "absoluteDistance=\"4\"" + plainPack,
         Block(1, "00:00:00.00000", "00:00:00.10000", "0", "0.5"),
         {PlacePoint(0, 0, 0, 200)},
         ""},
        {"no absoluteDistance: the distance in metres",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.10000", "0", "2.5"),
         {PlacePoint(0, 0, 0, 250)},
         ""},
        {"more places than a trajectory holds",
         "",
         plainPack,
         ZigZag(66000),
         {},
         "it moves through 66001 places after thinning to within 0.5 degrees, more than the "
         "65535 a trajectory holds"},
        {"an azimuth that is no number",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.10000", "NaN"),
         {},
         "the azimuth of block AB_00031001_00000001 is not a number (\"NaN\")"},
        {"an empty azimuth",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.05000", "0") +
             Block(2, "00:00:00.05000", "00:00:00.05000", ""),
         {},
         "the azimuth of block AB_00031001_00000002 is not a number (\"\")"},
        {"a distance in words",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.10000", "0", "far"),
         {},
         "the distance of block AB_00031001_00000001 is not a number (\"far\")"},
        {"Cartesian coordinates",
         timesOfAll,
         plainPack,
         Block(1, "00:00:00.00000", "00:00:00.10000", "0", "1", "<cartesian>1</cartesian>"),
         {},
         "AC_00031001 places its blocks in Cartesian coordinates"},
    };
    TempDir dir;
    for (const ImportCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = HandWrittenAxml(c.objectTimes, c.pack, c.blocks);
        const std::string path = dir.File("hand.wav");
        WriteAdmFile(path, 1, BuildChnaChunk(1), Bytes(text.begin(), text.end()), 70000);
        TestDocumentHost host;
        CTesselDoc doc(host);
        const bool bImported = SoundImport(host).ImportInto(doc, path);
        if (*c.reason == '\0') {
            EXPECT_TRUE(bImported);
            EXPECT_EQ(host.prompts.Texts(), std::vector<std::string>());
            EXPECT_EQ(doc.GetPanPoints().Values(), c.points);
        } else {
            EXPECT_FALSE(bImported);
            EXPECT_EQ(
                host.prompts.Texts(),
                std::vector<std::string>{"Can't import hand.wav!\nIts ADM metadata is not one "
                                         "trajectory Sonomap can take: " +
                                         std::string(c.reason) + "."});
        }
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
    EXPECT_NE(host.saveRequests[0].reason.find(
                  "1 m on its loudspeakers' circle; nearer than 1 m sounds inside"),
              std::string::npos);
    EXPECT_EQ(host.saveRequests[0].proposedName, "memory-adm.wav");
    EXPECT_EQ(FilesIn(dir.Path()), 1u);
    EXPECT_EQ(host.prompts.StatusTexts().size(), 1u);
}

}  // namespace
