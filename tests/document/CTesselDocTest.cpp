#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "formats/CSoundFile.h"
#include "peaks/MasterOverview.h"
#include "peaks/PeakSummary.h"
#include "platform/CFile.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

using Icon = UserPrompts::Icon;
using Points = std::vector<std::pair<uint32_t, int32_t>>;

Points PointsOf(const CTesselDoc& doc) {
    Points out;
    for (const PanPoint* p = doc.NextPoint(nullptr); p; p = doc.NextPoint(p)) {
        out.emplace_back(p->position, p->Pan());
    }
    return out;
}

std::vector<std::string> ChunkIdsOf(const Bytes& file) {
    std::vector<std::string> ids;
    const bool be = file[0] == 'F';
    for (size_t at = 12; at + 8 <= file.size();) {
        ids.emplace_back(file.begin() + long(at), file.begin() + long(at) + 4);
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32_t byte = file[at + 4 + size_t(i)];
            size |= be ? byte << (24 - 8 * i) : byte << (8 * i);
        }
        at += 8 + size + (size & 1);
    }
    return ids;
}

class DocumentTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const TestSound& sound) {
        const std::string path = dir.File(name);
        WriteBytes(path, BuildSoundFile(sound));
        return path;
    }
    std::unique_ptr<CTesselDoc> Open(const std::string& path) {
        auto doc = std::make_unique<CTesselDoc>(host);
        if (!DocumentOpen(*doc).Open(path)) {
            return nullptr;
        }
        return doc;
    }

    TempDir dir;
    TestDocumentHost host;
};

TestSound RichWave() {
    TestSound sound;
    sound.format = MakeFormat(2, 44100, 16);
    sound.samples = Pattern(4002, 9);  // 1000 frames and two bytes of a partial frame
    sound.points = {{0, -90}, {500, 45}, {1000, 90}};
    sound.chunkFrames = 1000;
    sound.bCarriedFlag = true;
    sound.carriedValue = 0xBEEF;
    sound.chunksBefore = Chunk("LIST", Bytes{'I', 'N', 'F', 'O', 1, 2, 3}, false);
    sound.chunksAfter = Chunk("junk", Bytes{9, 8, 7}, false);
    Append(sound.chunksAfter, Chunk("zero", Bytes{}, false));
    return sound;
}

}  // namespace

TEST_F(DocumentTest, AHostWithoutViewsGetsNoOverviewButTheSameSamplesAndStages) {
    host.showsViews = false;
    const TestSound sound = RichWave();
    auto doc = Open(Write("take.wav", sound));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetOverview(), nullptr);
    EXPECT_EQ(Bytes(doc->GetSamples(), doc->GetSamples() + 4002), sound.samples);
    EXPECT_EQ(PointsOf(*doc), (Points{{0, -90}, {500, 45}, {1000, 90}}));
    EXPECT_EQ(host.prompts.ProcessingTexts(),
              (std::vector<std::string>{"Loading Waveform...", "Creating Waveform Overview...",
                                        "Parseing AmbrelChunk..."}));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_TRUE(doc->CanExport());
}

TEST_F(DocumentTest, OpenReadsEverythingAndShowsEachStage) {
    const TestSound sound = RichWave();
    auto doc = Open(Write("take.wav", sound));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetDataBytes(), 4002u);
    EXPECT_EQ(doc->GetFrameCount(), 1000u);
    EXPECT_EQ(Bytes(doc->GetSamples(), doc->GetSamples() + 4002), sound.samples);
    EXPECT_EQ(PointsOf(*doc), (Points{{0, -90}, {500, 45}, {1000, 90}}));
    EXPECT_TRUE(doc->GetChunkFlag());
    EXPECT_EQ(doc->GetChunkValue(), 0xBEEF);
    EXPECT_EQ(doc->GetFileType(), "WAVE");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->GetTitle(), "take.wav");
    ASSERT_NE(doc->GetOverview(), nullptr);
    EXPECT_EQ(doc->GetOverview()->Width(), 1000);
    ASSERT_NE(doc->GetUnrecognized(), nullptr);
    const auto chunks = doc->GetUnrecognized()->ListChunks();
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].id, "LIST");
    EXPECT_EQ(chunks[1].id, "junk");
    EXPECT_EQ(chunks[2].id, "zero");
    EXPECT_EQ(host.prompts.ProcessingTexts(),
              (std::vector<std::string>{"Loading Waveform...", "Creating Waveform Overview...",
                                        "Parseing AmbrelChunk..."}));
    EXPECT_FALSE(host.prompts.IsProcessingWindowOpen());
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(host.openFolder, dir.Path().string() + "/");
    EXPECT_FALSE(doc->CanSave());
    EXPECT_TRUE(doc->CanExport());
}

// The summary the open builds stretch by stretch, as the samples arrive and are converted,
// is the one built from the finished samples; a host without views gets none.
TEST_F(DocumentTest, OpenBuildsThePeakSummaryWhileReading) {
    for (const bool bAiff : {false, true}) {
        for (const uint16_t bits : {8, 16}) {
            SCOPED_TRACE(std::string(bAiff ? "AIFF " : "WAVE ") + std::to_string(bits));
            TestSound sound;
            sound.format = MakeFormat(2, 44100, bits);
            sound.samples = Pattern(3000001, bits);  // a few read stretches, a partial frame
            sound.bAiff = bAiff;
            const std::string path = Write(bAiff ? "long.aif" : "long.wav", sound);
            host.showsViews = true;
            auto doc = Open(path);
            ASSERT_NE(doc, nullptr);
            const SampleData data = doc->GetSampleData();
            ASSERT_NE(data.summary, nullptr);
            ASSERT_TRUE(data.summary->IsComplete());
            SampleData plain = data;
            plain.summary = nullptr;
            const auto after = PeakSummary::Build(plain);
            ASSERT_EQ(data.summary->Blocks(), after->Blocks());
            for (uint64_t b = 0; b < after->Blocks(); b += 1 + b / 2) {
                for (uint32_t r = 0; r < after->Stride(); ++r) {
                    SamplePeak x[2] = {{99999, -99999}, {99999, -99999}};
                    SamplePeak y[2] = {{99999, -99999}, {99999, -99999}};
                    data.summary->Merge(r, b, b + 1, x);
                    after->Merge(r, b, b + 1, y);
                    for (int c = 0; c < 2; ++c) {
                        ASSERT_EQ(x[c].min, y[c].min) << b;
                        ASSERT_EQ(x[c].max, y[c].max) << b;
                    }
                }
            }
            ScriptedPrompts prompts;
            const auto overview = BuildMasterOverview(plain, prompts);
            for (int x = 0; x < overview->Width(); ++x) {
                for (int y = 0; y < overview->Height(); ++y) {
                    ASSERT_EQ(doc->GetOverview()->IsBlack(x, y), overview->IsBlack(x, y));
                }
            }

            host.showsViews = false;
            auto headless = Open(path);
            ASSERT_NE(headless, nullptr);
            EXPECT_EQ(headless->GetSampleData().summary, nullptr);
        }
    }
}

TEST_F(DocumentTest, SaveWritesSamplesPanChunkAndCarriedChunksInTheFixedOrder) {
    const std::string path = Write("take.wav", RichWave());
    auto doc = Open(path);
    ASSERT_NE(doc, nullptr);
    doc->AddPoint(250, -10);
    doc->SetModifiedFlag(true);
    ASSERT_TRUE(DocumentSave(*doc).Save());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(host.saveFolder, dir.Path().string() + "/");
    EXPECT_TRUE(host.saveRequests.empty());  // Save asks nothing

    const Bytes saved = ReadBytes(path);
    EXPECT_EQ(ChunkIdsOf(saved),
              (std::vector<std::string>{"fmt ", "data", "achk", "LIST", "junk", "zero"}));
    auto again = Open(path);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Bytes(again->GetSamples(), again->GetSamples() + again->GetDataBytes()),
              Bytes(doc->GetSamples(), doc->GetSamples() + doc->GetDataBytes()));
    EXPECT_EQ(PointsOf(*again), (Points{{0, -90}, {250, -10}, {500, 45}, {1000, 90}}));
    EXPECT_TRUE(again->GetChunkFlag());
    EXPECT_EQ(again->GetChunkValue(), 0xBEEF);
    EXPECT_EQ(again->GetUnrecognized()->GetBytes(), doc->GetUnrecognized()->GetBytes());
    EXPECT_TRUE(host.prompts.Boxes().empty());
}

TEST_F(DocumentTest, TheSaveFolderIsTheOneSavedIntoAndOnlyOnceTheFileIsInPlace) {
    auto doc = Open(Write("take.wav", RichWave()));
    ASSERT_NE(doc, nullptr);
    host.saveFolder = "/start/";

    // The rename onto a folder of that name fails after the whole file was written.
    std::filesystem::create_directories(dir.Path() / "busy" / "inside");
    for (const bool bModified : {false, true}) {
        doc->SetModifiedFlag(bModified);
        host.prompts.Clear();
        EXPECT_FALSE(DocumentSave(*doc).SaveWithName(dir.File("busy"), true));
        EXPECT_EQ(host.prompts.Boxes().size(), 1u);
        EXPECT_EQ(doc->IsModified(), bModified) << "as it was before the save";
        EXPECT_EQ(host.saveFolder, "/start/");
    }

    // Saved through a link: the folder is the link's, where the user saved.
    std::filesystem::create_directory(dir.Path() / "real");
    std::filesystem::create_directory(dir.Path() / "links");
    WriteBytes(dir.File("real/take.wav"), BuildSoundFile(RichWave()));
    std::filesystem::create_symlink(dir.Path() / "real" / "take.wav",
                                    dir.Path() / "links" / "take.wav");
    ASSERT_TRUE(DocumentSave(*doc).SaveWithName(dir.File("links/take.wav"), true));
    EXPECT_EQ(host.saveFolder, dir.File("links/"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "links" / "take.wav"));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(DocumentTest, AiffRoundTripKeepsEightBitSamplesAndItsChunks) {
    TestSound sound;
    sound.bAiff = true;
    sound.format = MakeFormat(1, 11025, 8);
    sound.samples = Pattern(777, 3);  // odd: the sound data gets a pad byte
    sound.points = {{10, 5}};
    sound.chunkFrames = 777;
    sound.chunksAfter = Chunk("ANNO", Bytes{'h', 'i', '!'}, true);
    const std::string path = Write("take.aif", sound);
    auto doc = Open(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetFileType(), "AIFF");
    EXPECT_EQ(Bytes(doc->GetSamples(), doc->GetSamples() + 777), sound.samples);
    doc->SetModifiedFlag(true);
    ASSERT_TRUE(DocumentSave(*doc).Save());
    EXPECT_EQ(ReadBytes(path), BuildSoundFile(sound));
}

// An AIFF whose "SSND" offset field puts padding before the samples.
Bytes PaddedAiff(uint32_t offset, uint32_t padding, const Bytes& fileSamples) {
    Bytes ssnd;
    AppendU32(ssnd, offset, true);
    AppendU32(ssnd, 0, true);
    ssnd.insert(ssnd.end(), padding, 0x5A);
    Append(ssnd, fileSamples);
    Bytes chunks =
        Chunk("COMM", CommPayload(2, 0, 16, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}), true);
    Append(chunks, Chunk("SSND", ssnd, true));
    return Form("FORM", "AIFF", chunks, true);
}

TEST_F(DocumentTest, AnAiffWithAnSsndOffsetOpensWithItsSamplesOnlyAndSavesWithoutIt) {
    const Bytes fileSamples = Pattern(4411 * 4, 7);
    const std::string path = dir.File("padded.aif");
    WriteBytes(path, PaddedAiff(8192, 8192, fileSamples));
    auto doc = Open(path);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(doc->GetFrameCount(), 4411u);
    Bytes memory = fileSamples;
    for (size_t i = 0; i + 1 < memory.size(); i += 2) {
        std::swap(memory[i], memory[i + 1]);
    }
    EXPECT_EQ(Bytes(doc->GetSamples(), doc->GetSamples() + memory.size()), memory);

    doc->SetModifiedFlag(true);
    ASSERT_TRUE(DocumentSave(*doc).Save());
    TestSound saved;
    saved.bAiff = true;
    saved.format = MakeFormat(2, 44100, 16);
    saved.samples = memory;
    EXPECT_EQ(ReadBytes(path), BuildSoundFile(saved));  // offset 0, block size 0
}

TEST_F(DocumentTest, NoPanPointsMeansNoPanChunkAndZeroCarriedFields) {
    TestSound sound = RichWave();
    const std::string path = Write("take.wav", sound);
    auto doc = Open(path);
    ASSERT_NE(doc, nullptr);
    while (const PanPoint* p = doc->NextPoint(nullptr)) {
        EXPECT_TRUE(doc->RemovePoint(p));
    }
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->CanExport());
    ASSERT_TRUE(DocumentSave(*doc).Save());
    EXPECT_EQ(ChunkIdsOf(ReadBytes(path)),
              (std::vector<std::string>{"fmt ", "data", "LIST", "junk", "zero"}));
    auto again = Open(path);
    EXPECT_TRUE(PointsOf(*again).empty());
    EXPECT_FALSE(again->GetChunkFlag());
    EXPECT_EQ(again->GetChunkValue(), 0);
}

TEST_F(DocumentTest, RefusedFilesShowTheirMessageAndLeaveNoDocument) {
    struct Case {
        const char* name;
        Bytes bytes;
        unsigned helpId;
    };
    TestSound mono;
    auto withFormat = [&](uint16_t channels, uint32_t rate, uint16_t bits) {
        TestSound s = mono;
        s.format = MakeFormat(channels, rate, bits);
        return BuildSoundFile(s);
    };
    TestSound empty = mono;
    empty.samples.clear();
    const Case cases[] = {
        {"length zero", {}, 104},
        {"not a sound", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!'}, 104},
        {"no sample data", BuildSoundFile(empty), 104},
        {"SSND offset past its samples", PaddedAiff(9, 4, Bytes{1, 2, 3, 4}), 104},
        {"12 bit", withFormat(1, 22050, 12), 105},
        {"three channels", withFormat(3, 22050, 16), 105},
        {"5999 Hz", withFormat(1, 5999, 16), 105},
        {"48001 Hz", withFormat(1, 48001, 16), 105},
    };
    for (const Case& c : cases) {
        host.prompts.Clear();
        const std::string path = dir.File("bad.wav");
        WriteBytes(path, c.bytes);
        EXPECT_EQ(Open(path), nullptr) << c.name;
        ASSERT_EQ(host.prompts.Boxes().size(), 1u) << c.name;
        const auto& box = host.prompts.Boxes()[0];
        EXPECT_EQ(box.helpId, c.helpId) << c.name;
        EXPECT_EQ(box.icon, Icon::None) << c.name;
        EXPECT_EQ(box.text,
                  c.helpId == 104
                      ? "Error loading wave information... is this a valid '.wav' or '.aif' file?"
                      : "Invalid file format!\nFile must be mono or stereo, 8 or 16 bit, and the "
                        "sample rate must be in the range 8k - 48k.")
            << c.name;
        EXPECT_EQ(host.prompts.ProcessingWindowOpenCount(), 0) << c.name;
    }
    TestSound lowest = mono;
    lowest.format = MakeFormat(1, 6000, 16);
    EXPECT_NE(Open(Write("6000.wav", lowest)), nullptr);
}

TEST_F(DocumentTest, AMissingFileIsReportedAsSuch) {
    EXPECT_EQ(Open(dir.File("nowhere.wav")), nullptr);
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_NE(host.prompts.Boxes()[0].text.find("was not found"), std::string::npos);
}

TEST_F(DocumentTest, ChunkPointsInAnyOrderOpenSortedWithEqualPositionsInChunkOrder) {
    TestSound sound;
    sound.samples = Pattern(2000);  // 1000 frames
    sound.points = {{700, 1}, {5, 2}, {700, 3}, {1001, 4}, {0, 5}, {700, 6}, {5, 7}, {1000, 8}};
    sound.chunkFrames = 1000;
    auto doc = Open(Write("shuffled.wav", sound));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(PointsOf(*doc),
              (Points{{0, 5}, {5, 2}, {5, 7}, {700, 1}, {700, 3}, {700, 6}, {1000, 8}}));
}

TEST_F(DocumentTest, PanChunkVersionAndLengthRules) {
    TestSound sound;
    sound.samples = Pattern(2000);  // 1000 frames
    sound.points = {{100, 10}, {1000, 20}, {1001, 30}};
    sound.chunkFrames = 1000;
    sound.bCarriedFlag = true;
    sound.carriedValue = 5;

    TestSound wrongVersion = sound;
    wrongVersion.chunkVersion = 5;
    auto doc = Open(Write("v5.wav", wrongVersion));
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(PointsOf(*doc).empty());
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(doc->GetChunkFlag());
    EXPECT_EQ(doc->GetChunkValue(), 0);
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, "Bad AmbrelChunk version!");
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 106u);

    // Same length: the point at the frame count stays, the one past it goes, silently.
    host.prompts.Clear();
    doc = Open(Write("same.wav", sound));
    EXPECT_EQ(PointsOf(*doc), (Points{{100, 10}, {1000, 20}}));
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_FALSE(doc->IsModified());

    TestSound longer = sound;
    longer.chunkFrames = 900;
    host.prompts.Clear();
    doc = Open(Write("longer.wav", longer));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text,
              "This file has been modified outside of Sonomap.\n\nIt is longer than it was when "
              "the AmbrelChunk was created.");
    EXPECT_EQ(host.prompts.Boxes()[0].icon, Icon::Exclamation);
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 107u);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(doc->GetChunkFlag());

    TestSound shorter = sound;
    shorter.chunkFrames = 1001;
    host.prompts.Clear();
    doc = Open(Write("shorter.wav", shorter));
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text,
              "This file has been modified outside of Sonomap.\n\nIt is shorter than it was when "
              "the AmbrelChunk was created.\nAny pan points which fall beyond the end of the file "
              "will be removed!");
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 107u);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(PointsOf(*doc), (Points{{100, 10}, {1000, 20}}));
}

TEST_F(DocumentTest, SaveAsToTheOtherTypeDropsCarriedChunksAtThePrompt) {
    const std::string path = Write("take.wav", RichWave());
    auto doc = Open(path);
    host.saveFolder = "/start/";
    host.saveNames.push_back(TestDocumentHost::Name(dir.File("take.aif"), 2));
    ASSERT_TRUE(DocumentSave(*doc).SaveAs());

    ASSERT_EQ(host.saveRequests.size(), 1u);
    const SaveNameRequest& request = host.saveRequests[0];
    EXPECT_EQ(request.title, "Save As");
    EXPECT_EQ(request.filterIndex, 1);
    ASSERT_EQ(request.filters.size(), 2u);
    EXPECT_EQ(request.filters[0].name, "Windows Wave");
    EXPECT_EQ(request.filters[0].pattern, "*.WAV");
    EXPECT_EQ(request.filters[1].name, "Macintosh AIFF");
    EXPECT_EQ(request.filters[1].pattern, "*.AIF");
    EXPECT_EQ(request.proposedName, "take.wav");
    EXPECT_EQ(request.startFolder, "/start/");
    EXPECT_TRUE(request.bOwnDocument);
    EXPECT_EQ(request.ownDocumentPath, path);

    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text,
              "Due to file type conversion, unrecognized chunks will NOT be translated to the new "
              "output file!");
    EXPECT_EQ(host.prompts.Boxes()[0].icon, Icon::Exclamation);
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 108u);
    EXPECT_EQ(doc->GetUnrecognized(), nullptr);
    EXPECT_EQ(doc->GetFileType(), "AIFF");
    EXPECT_EQ(doc->GetPathName(), dir.File("take.aif"));
    EXPECT_EQ(ChunkIdsOf(ReadBytes(dir.File("take.aif"))),
              (std::vector<std::string>{"COMM", "SSND", "achk"}));
    auto aiff = Open(dir.File("take.aif"));
    ASSERT_NE(aiff, nullptr);
    EXPECT_EQ(PointsOf(*aiff), PointsOf(*doc));
    EXPECT_EQ(Bytes(aiff->GetSamples(), aiff->GetSamples() + 4002),
              Bytes(doc->GetSamples(), doc->GetSamples() + 4002));

    // Within one type nothing is said and the chunks stay.
    TestSound plain;
    auto other = Open(Write("plain.wav", plain));
    host.prompts.Clear();
    host.saveNames.push_back(TestDocumentHost::Name(dir.File("plain2.wav"), 1));
    ASSERT_TRUE(DocumentSave(*other).SaveAs());
    EXPECT_TRUE(host.prompts.Boxes().empty());
}

TEST_F(DocumentTest, CancelledSaveAsChangesNothing) {
    const std::string path = Write("take.wav", RichWave());
    auto doc = Open(path);
    const Bytes before = ReadBytes(path);
    host.saveNames.push_back(std::nullopt);
    EXPECT_FALSE(DocumentSave(*doc).SaveAs());
    EXPECT_EQ(doc->GetFileType(), "WAVE");
    EXPECT_NE(doc->GetUnrecognized(), nullptr);
    EXPECT_EQ(doc->GetPathName(), path);
    EXPECT_TRUE(host.prompts.Boxes().empty());
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(DocumentTest, TheTypeChosenStandsWhenTheSaveThenFails) {
    auto doc = Open(Write("take.wav", RichWave()));
    host.saveNames.push_back(TestDocumentHost::Name(dir.File("no/such/folder/x.aif"), 2));
    doc->SetModifiedFlag(true);
    EXPECT_FALSE(DocumentSave(*doc).SaveAs());
    EXPECT_EQ(doc->GetFileType(), "AIFF");
    EXPECT_EQ(doc->GetPathName(), dir.File("take.wav"));
    EXPECT_TRUE(doc->IsModified());
    ASSERT_EQ(host.prompts.Boxes().size(), 2u);  // the conversion warning, then the failure
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 108u);
}

TEST_F(DocumentTest, SaveFailuresShowTheirMessageAndKeepTheOldFile) {
    const std::string path = Write("take.wav", RichWave());
    const Bytes before = ReadBytes(path);
    auto doc = Open(path);

    // A type no writer knows.
    host.saveNames.push_back(TestDocumentHost::Name(path, 3));
    doc->SetModifiedFlag(true);
    EXPECT_FALSE(DocumentSave(*doc).SaveAs());
    ASSERT_FALSE(host.prompts.Boxes().empty());
    EXPECT_EQ(host.prompts.Boxes().back().text, "Error creating file!");
    EXPECT_EQ(host.prompts.Boxes().back().helpId, 103u);
    EXPECT_EQ(ReadBytes(path), before);

    // More points than a chunk can count: nothing is dropped, the save fails.
    auto crowded = Open(path);
    host.prompts.Clear();
    for (uint32_t i = 0; i < 65536; ++i) {
        crowded->AddPoint(1000, 0);  // after the last point: appended at once
    }
    crowded->SetModifiedFlag(true);
    EXPECT_FALSE(DocumentSave(*crowded).Save());
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, "Error saving achunk!");
    EXPECT_EQ(host.prompts.Boxes()[0].helpId, 103u);
    EXPECT_TRUE(crowded->IsModified());
    EXPECT_EQ(crowded->GetPanPoints().GetCount(), 65536u + 3u);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(DocumentTest, SaveGoesThroughSaveAsWhenTheFileIsReadOnlyOrGone) {
    const std::string path = Write("take.wav", RichWave());
    auto doc = Open(path);
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    host.saveNames.push_back(std::nullopt);
    EXPECT_FALSE(DocumentSave(*doc).Save());
    EXPECT_EQ(host.saveRequests.size(), 1u);

    std::filesystem::remove(path);
    host.saveNames.push_back(TestDocumentHost::Name(path, 1));
    EXPECT_TRUE(DocumentSave(*doc).Save());
    EXPECT_EQ(host.saveRequests.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(DocumentTest, ClosingAModifiedDocumentAsksToSave) {
    const std::string path = Write("take.wav", RichWave());
    auto doc = Open(path);
    EXPECT_TRUE(DocumentSave(*doc).SaveModified());  // unmodified: no question
    EXPECT_TRUE(host.prompts.Boxes().empty());

    doc->AddPoint(5, 5);
    doc->SetModifiedFlag(true);
    host.prompts.Script(UserPrompts::Answer::Cancel);
    EXPECT_FALSE(DocumentSave(*doc).SaveModified());
    ASSERT_EQ(host.prompts.Boxes().size(), 1u);
    EXPECT_EQ(host.prompts.Boxes()[0].text, "Save changes to take.wav?");
    EXPECT_EQ(host.prompts.Boxes()[0].buttons, UserPrompts::Buttons::YesNoCancel);

    host.prompts.Script(UserPrompts::Answer::No);
    EXPECT_TRUE(DocumentSave(*doc).SaveModified());
    EXPECT_EQ(PointsOf(*Open(path)).size(), 3u);

    host.prompts.Script(UserPrompts::Answer::Yes);
    EXPECT_TRUE(DocumentSave(*doc).SaveModified());
    EXPECT_EQ(PointsOf(*Open(path)).size(), 4u);
}

TEST_F(DocumentTest, SampleAccessorsReadSilencePastTheEnd) {
    TestSound sound;
    sound.format = MakeFormat(2, 8000, 8);
    sound.samples = {1, 2, 3, 4, 5};  // two frames and a stray byte
    auto doc = Open(Write("tiny.wav", sound));
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->GetFrameCount(), 2u);
    EXPECT_EQ(doc->GetSample8(1, 2), 4);
    EXPECT_EQ(doc->GetSample8(2, 1), 128);
    EXPECT_EQ(doc->GetSample8(0, 3), 128);
}
