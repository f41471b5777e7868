// Places all around the listener: how two points are joined, and how the places travel
// through a file beside the frontal fold that readers of the pan points alone see.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/SoundImport.h"
#include "formats/CSoundFile.h"
#include "formats/ImportResampler.h"
#include "formats/PlaceChunk.h"
#include "platform/CFile.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "support/Trajectory.h"
#include "trajectory/SoundPlace.h"

namespace {

// The angle between two directions, degrees.
double Apart(double az1, double el1, double az2, double el2) {
    const double d = 3.14159265358979323846 / 180.0;
    const double c = std::sin(el1 * d) * std::sin(el2 * d) +
                     std::cos(el1 * d) * std::cos(el2 * d) * std::cos((az1 - az2) * d);
    return std::acos(std::fmin(1.0, std::fmax(-1.0, c))) / d;
}

TEST(SoundPlace, FoldAndNamesOfAzimuth) {
    const struct {
        int64_t azimuth;
        int32_t normal;
        int32_t pan;
    } cases[] = {{0, 0, 0},         {90, 90, 90},     {-90, -90, -90}, {120, 120, 60},
                 {-120, -120, -60}, {180, 180, 0},    {-180, 180, 0},  {-179, -179, -1},
                 {540, 180, 0},     {-450, -90, -90}, {91, 91, 89}};
    for (const auto& c : cases) {
        PanPoint point;
        SetAzimuth(point, c.azimuth);
        EXPECT_EQ(point.azimuth, c.normal) << c.azimuth;
        EXPECT_EQ(point.Pan(), c.pan) << c.azimuth;
    }
}

TEST(SoundPlace, MovesAlongTheShorterGreatCircle) {
    // 170 to -170 passes behind, not through the front.
    const SoundPlace behind = InterpolatePlace(PlacePoint(0, 170), PlacePoint(100, -170), 0.5);
    EXPECT_NEAR(std::fabs(behind.azimuth), 180.0, 1e-6);
    EXPECT_NEAR(behind.elevation, 0.0, 1e-9);
    // A flight over the top from ahead to behind keeps to the median plane: no swing round.
    const PanPoint ahead = PlacePoint(0, 0, 30);
    const PanPoint back = PlacePoint(100, 180, 30);
    for (double t = 0.05; t < 1.0; t += 0.05) {
        const SoundPlace p = InterpolatePlace(ahead, back, t);
        const bool bMedian = std::fabs(p.azimuth) < 1e-6 || std::fabs(p.azimuth - 180.0) < 1e-6;
        EXPECT_TRUE(bMedian || p.elevation > 89.999) << t << " " << p.azimuth;
        // Equal steps of the fraction are equal steps of angle (120 degrees in all).
        EXPECT_NEAR(Apart(0, 30, p.azimuth, p.elevation), 120.0 * t, 1e-6) << t;
    }
    EXPECT_NEAR(InterpolatePlace(ahead, back, 0.5).elevation, 90.0, 1e-6);
    // Distance and width go in a straight line.
    const SoundPlace half =
        InterpolatePlace(PlacePoint(0, 0, 0, 100, 0), PlacePoint(1, 10, 0, 300, 90), 0.5);
    EXPECT_DOUBLE_EQ(half.distanceCm, 200.0);
    EXPECT_DOUBLE_EQ(half.width, 45.0);
}

TEST(SoundPlace, OppositePointsTurnByTheRuleAndEndsAreExact) {
    // Ahead to behind turns through the right; left to right through the front (90 right of
    // -90), as a pan from full left to full right always has; right to left through behind.
    EXPECT_NEAR(InterpolatePlace(PlacePoint(0, 0), PlacePoint(1, 180), 0.5).azimuth, 90.0, 1e-6);
    EXPECT_NEAR(InterpolatePlace(PlacePoint(0, -90), PlacePoint(1, 90), 0.5).azimuth, 0.0, 1e-6);
    EXPECT_NEAR(std::fabs(InterpolatePlace(PlacePoint(0, 90), PlacePoint(1, -90), 0.5).azimuth),
                180.0, 1e-6);
    // Straight up to straight down passes through the front.
    const SoundPlace middle = InterpolatePlace(PlacePoint(0, 45, 90), PlacePoint(1, 0, -90), 0.5);
    EXPECT_NEAR(middle.azimuth, 0.0, 1e-6);
    EXPECT_NEAR(middle.elevation, 0.0, 1e-6);
    const SoundPlace end =
        InterpolatePlace(PlacePoint(0, 30, 10), PlacePoint(1, -150, -10, 500), 1.0);
    EXPECT_EQ(end.azimuth, -150.0);
    EXPECT_EQ(end.elevation, -10.0);
    EXPECT_EQ(end.distanceCm, 500.0);
}

TEST(SoundPlace, PlaceAtWalksTheListAndTheCursorAgrees) {
    PanPointList list;
    for (const PanPoint& p : {PlacePoint(100, 120, 20, 200), PlacePoint(300, -100, -40, 50, 60)}) {
        list.AddPoint(p);
    }
    EXPECT_FALSE(IsFrontal(list));
    PlaceCursor cursor(list);
    PlaceCursor distances(list);
    for (uint32_t s = 0; s < 400; s += 7) {
        const SoundPlace a = PlaceAt(list, s);
        const SoundPlace b = cursor.At(s);
        EXPECT_EQ(a.azimuth, b.azimuth) << s;
        EXPECT_EQ(a.distanceCm, b.distanceCm) << s;
        // The distance alone, as the delays of sound that travels read it: the same number.
        EXPECT_EQ(distances.DistanceCmAt(s), a.distanceCm) << s;
    }
    // After an edit the cursor turns along the new pair, not the one it held; and every walk
    // gives the single call's numbers to the bit.
    list.AddPoint(PlacePoint(200, 10, 60, 300));
    cursor.Invalidate();
    for (uint32_t s = 150; s < 300; s += 11) {
        const SoundPlace a = PlaceAt(list, s);
        const SoundPlace b = cursor.At(s);
        EXPECT_EQ(a.azimuth, b.azimuth) << s;
        EXPECT_EQ(a.elevation, b.elevation) << s;
        const PanPoint* before = list.PointAtOrBefore(s);
        const PanPoint* after = list.NextPoint(before);
        const double t = static_cast<double>(s - before->position) /
                         static_cast<double>(after->position - before->position);
        const SoundPlace c = PlaceSegment(*before, *after).At(t);
        const SoundPlace d = InterpolatePlace(*before, *after, t);
        EXPECT_EQ(c.azimuth, b.azimuth) << s;
        EXPECT_EQ(d.elevation, b.elevation) << s;
    }
    EXPECT_EQ(PlaceCursor(PanPointList()).DistanceCmAt(5), 100.0);
    EXPECT_NEAR(PlaceAt(list, 50).distanceCm, 150.0, 1e-9);  // from 1 m ahead at frame 0
    EXPECT_EQ(PlaceAt(list, 399).azimuth, -100.0);           // the last point holds
    EXPECT_EQ(PlaceAt(PanPointList(), 5).distanceCm, 100.0);
}

// A file whose trajectory leaves the front, in both byte orders.
class TrajectoryPlacesFile : public ::testing::TestWithParam<bool> {
  protected:
    std::vector<PanPoint> Around() const {
        return {PlacePoint(0, -170, 10, 250, 30), PlacePoint(500, 120),
                PlacePoint(999, 180, -90, 10, 180), PlacePoint(2000, 45, 90, 10000, 0)};
    }
    TestSound Sound() const {
        TestSound sound;
        sound.bAiff = GetParam();
        sound.samples = Pattern(4000);
        sound.chunkFrames = FramesOf(sound);
        return sound;
    }
    // The points a reader of achk alone finds in the file at path.
    std::vector<PanChunkPoint> PanPointsIn(const std::string& path) {
        CFile file(path, CFile::Mode::Read);
        std::unique_ptr<CSoundFile> reader = OpenSoundFile(file);
        PcmFormat format{};
        EXPECT_NE(reader->ReadFormat(format), 0u);
        EXPECT_TRUE(reader->HasPanChunk());
        return ParsePanChunk(*reader->ReadPanChunk())->points;
    }
    // An ach3 chunk of points in the file's byte order, the header's version replaced.
    Bytes PlacesChunk(const std::vector<PanPoint>& points, uint16_t version = 1) const {
        std::vector<PlaceChunkPoint> stored;
        for (const PanPoint& p : points) {
            stored.push_back({p.position, static_cast<int16_t>(p.azimuth),
                              static_cast<int16_t>(p.elevation),
                              static_cast<uint16_t>(p.distanceCm), static_cast<uint16_t>(p.width)});
        }
        Bytes data = *BuildPlaceChunk(stored, 2000, GetParam());
        data[GetParam() ? 1 : 0] = static_cast<uint8_t>(version);
        return Chunk("ach3", data, GetParam());
    }
    std::string Name(const std::string& stem) const {
        return dir.File(stem + (GetParam() ? ".aif" : ".wav"));
    }

    TempDir dir;
    TestDocumentHost host;
};

TEST_P(TrajectoryPlacesFile, SaveAndReopenKeepEveryPlace) {
    std::unique_ptr<CTesselDoc> doc = OpenTestDocument(host, Name("take"), Sound());
    doc->BeginGroup(UndoKind::Replace);
    for (const PanPoint& p : Around()) {
        doc->AddPoint(p);
    }
    doc->EndGroup();
    ASSERT_TRUE(DocumentSave(*doc).WriteTo(Name("around")));

    CTesselDoc reopened(host);
    ASSERT_TRUE(DocumentOpen(reopened).Open(Name("around")));
    EXPECT_EQ(reopened.GetPanPoints().Values(), Around());
    EXPECT_EQ(reopened.GetUnrecognized(), nullptr);  // our own ach3 is not carried as well

    std::vector<int32_t> folds;
    for (const PanChunkPoint& p : PanPointsIn(Name("around"))) {
        folds.push_back(p.pan);
    }
    EXPECT_EQ(folds, (std::vector<int32_t>{-10, 60, 0, 45}));

    // Back to the front half-circle: the file holds achk alone again.
    reopened.BeginGroup(UndoKind::Replace);
    while (const PanPoint* first = reopened.NextPoint(nullptr)) {
        reopened.RemovePoint(first);
    }
    reopened.AddPoint(10, 20);
    reopened.EndGroup();
    ASSERT_TRUE(DocumentSave(reopened).WriteTo(Name("front")));
    const Bytes front = ReadBytes(Name("front"));
    EXPECT_EQ(std::search(front.begin(), front.end(), std::begin("ach3"), std::end("ach3") - 1),
              front.end());
}

TEST_P(TrajectoryPlacesFile, AnAch3ThatNoLongerMatchesIsSetAsideWithALine) {
    const std::vector<PanPoint> around = Around();
    struct Case {
        const char* name;
        std::function<Bytes(std::vector<PanPoint>)> chunk;
        bool bTaken;
        const char* line;  // part of the status line; empty: none
        // The achk pans; none: the folds of the points. An empty list: no achk at all.
        std::optional<std::vector<PanChunkPoint>> pans = std::nullopt;
    };
    auto moved = [&](std::vector<PanPoint> p) {
        p[1].position += 1;
        return PlacesChunk(p);
    };
    auto turned = [&](std::vector<PanPoint> p) {
        SetAzimuth(p[2], 170);  // its pan is no longer the achk one
        return PlacesChunk(p);
    };
    auto shortOfPoints = [&](std::vector<PanPoint> p) {
        Bytes chunk = PlacesChunk(p);
        chunk.resize(chunk.size() - 12);  // the count says four, the bytes hold three
        const uint32_t size = static_cast<uint32_t>(chunk.size() - 8);
        for (int i = 0; i < 4; ++i) {
            chunk[4 + i] = static_cast<uint8_t>(size >> (GetParam() ? 24 - 8 * i : 8 * i));
        }
        return chunk;
    };
    auto outOfRange = [&](std::vector<PanPoint> p) {
        p[0].elevation = 120;
        p[0].distanceCm = 5;
        return PlacesChunk(p);
    };
    const Case cases[] = {
        {"matching", [&](std::vector<PanPoint> p) { return PlacesChunk(p); }, true, ""},
        {"a frame moved", moved, false, "no longer matched its pan points and was set aside"},
        {"a pan differs", turned, false, "no longer matched its pan points"},
        {"count beyond bytes", shortOfPoints, false, "no longer matched its pan points"},
        {"zero length", [](std::vector<PanPoint>) { return Chunk("ach3", {}, false); }, false,
         "was damaged and was set aside"},
        {"out of range", outOfRange, true, "lay outside their ranges and were brought inside"},
        // Left by a save that knew only achk: nothing stands beside it any more.
        {"no achk beside it", [&](std::vector<PanPoint> p) { return PlacesChunk(p); }, false,
         "had no pan points beside it", std::vector<PanChunkPoint>{}},
        // A pan past the front half-circle is held at its edge, never read as a place behind.
        {"pans past the front", [](std::vector<PanPoint>) { return Bytes{}; }, false,
         "lay beyond full left or full right and were held there",
         std::vector<PanChunkPoint>{{0, -32768}, {500, 91}, {999, 90}, {2000, -90}}},
    };
    for (const Case& c : cases) {
        TestSound sound = Sound();
        for (const PanPoint& p : around) {
            sound.points.push_back({p.position, p.Pan()});
        }
        sound.points = c.pans.value_or(sound.points);
        sound.chunksAfter = c.chunk(around);
        host.prompts.Clear();
        std::unique_ptr<CTesselDoc> doc = OpenTestDocument(host, Name("case"), sound);
        EXPECT_TRUE(host.prompts.Boxes().empty()) << c.name;
        EXPECT_EQ(!IsFrontal(doc->GetPanPoints()), c.bTaken) << c.name;
        const auto& lines = host.prompts.StatusTexts();
        if (*c.line == '\0') {
            EXPECT_TRUE(lines.empty()) << c.name << ": " << (lines.empty() ? "" : lines.back());
        } else {
            ASSERT_EQ(lines.size(), 1u) << c.name;
            EXPECT_NE(lines.back().find(c.line), std::string::npos) << lines.back();
        }
        // The pans always survive, each within the front, and a set-aside ach3 is not carried
        // into the next save.
        EXPECT_EQ(doc->GetPanPoints().GetCount(), sound.points.size()) << c.name;
        for (const PanPoint& p : doc->GetPanPoints().Values()) {
            EXPECT_EQ(WhyOutOfRange(p), "") << c.name;
            EXPECT_LE(std::abs(p.azimuth), c.bTaken ? 180 : 90) << c.name;
        }
        EXPECT_EQ(doc->GetUnrecognized(), nullptr) << c.name;
    }
    const PanPoint clamped = [&] {
        TestSound sound = Sound();
        for (const PanPoint& p : around) {
            sound.points.push_back({p.position, p.Pan()});
        }
        sound.chunksAfter = outOfRange(around);
        return OpenTestDocument(host, Name("clamped"), sound)->GetPanPoints().Values()[0];
    }();
    EXPECT_EQ(clamped.elevation, 90);
    EXPECT_EQ(clamped.distanceCm, 10u);
}

TEST_P(TrajectoryPlacesFile, AnAch3OfAnotherVersionIsCarriedUntilTheDocumentWritesItsOwn) {
    TestSound sound = Sound();
    sound.points = {{0, 10}, {500, -20}};
    const Bytes later = PlacesChunk({PlacePoint(0, 10), PlacePoint(500, -20)}, 2);
    sound.chunksAfter = later;
    host.prompts.Clear();
    std::unique_ptr<CTesselDoc> doc = OpenTestDocument(host, Name("later"), sound);
    EXPECT_TRUE(IsFrontal(doc->GetPanPoints()));
    ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
    EXPECT_NE(host.prompts.StatusTexts().back().find("another version or byte order"),
              std::string::npos);
    ASSERT_NE(doc->GetUnrecognized(), nullptr);
    ASSERT_TRUE(DocumentSave(*doc).WriteTo(Name("kept")));
    Bytes kept = ReadBytes(Name("kept"));
    EXPECT_NE(std::search(kept.begin(), kept.end(), later.begin(), later.end()), kept.end());

    doc->BeginEdit(doc->NextPoint(nullptr), UndoKind::Modify);
    doc->NextPoint(nullptr)->elevation = 30;
    doc->EndEdit();
    ASSERT_TRUE(DocumentSave(*doc).WriteTo(Name("own")));
    const Bytes own = ReadBytes(Name("own"));
    EXPECT_EQ(std::search(own.begin(), own.end(), later.begin(), later.end()), own.end());
    CTesselDoc reopened(host);
    ASSERT_TRUE(DocumentOpen(reopened).Open(Name("own")));
    EXPECT_EQ(reopened.GetPanPoints().Values()[0].elevation, 30);
}

// An import keeps the places as an open does, at the moments they had before the rate changed.
TEST_P(TrajectoryPlacesFile, AnImportCarriesThePlacesToTheNewRate) {
    TestSound sound = Sound();
    sound.format = MakeFormat(1, 96000, 16);
    for (const PanPoint& p : Around()) {
        sound.points.push_back({p.position, p.Pan()});
    }
    sound.chunksAfter = PlacesChunk(Around());
    WriteBytes(Name("high"), BuildSoundFile(sound));
    CTesselDoc doc(host);
    ASSERT_TRUE(SoundImport(host).ImportInto(doc, Name("high"), ImportOptions{16}));
    EXPECT_EQ(doc.GetFormat().sampleRate, 48000u);
    std::vector<PanPoint> expected = Around();
    for (PanPoint& p : expected) {
        p.position = static_cast<uint32_t>(ImportResampler::MapPosition(p.position, 96000, 48000));
    }
    EXPECT_EQ(doc.GetPanPoints().Values(), expected);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TrajectoryPlacesFile, ::testing::Bool(),
                         [](const auto& param) { return param.param ? "aiff" : "wav"; });

}  // namespace
