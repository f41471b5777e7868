// Recording passes, time-scaling and discarded groups on a document in memory: what each mode
// replaces, what it leaves byte for byte (the points and the path outside the span), and that
// each pass is one undo step. The document's recording control is driven as the playback and
// the view drive it, with the frame heard set by hand.
#include "document/TrajectoryRecorder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
#include <memory>

#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "document/TrajectorySpan.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"
#include "trajectory/SoundPlace.h"

namespace {

using Mode = TrajectoryRecorder::Mode;
using Value = TrajectoryRecorder::Value;

// The frame heard, as the test says.
struct HandClock : TrajectoryControl::Clock {
    uint32_t frame = 0;
    std::optional<uint32_t> HeardFrameNow() override { return frame; }
};

constexpr uint32_t kFrames = 20000;

class TrajectoryRecorderTest : public ::testing::Test {
  protected:
    std::unique_ptr<CTesselDoc> Doc() {
        TestSound sound;
        sound.samples = Pattern(kFrames * 2);
        sound.chunkFrames = kFrames;
        sound.points = {{0, -30}, {1000, 10}, {2500, 50}, {5000, 40}, {9000, -20}, {15000, 0}};
        return MemoryDocument(host, sound);
    }
    static std::vector<PanPoint> Outside(const CTesselDoc& doc, uint32_t from, uint32_t to) {
        std::vector<PanPoint> kept;
        for (const PanPoint& point : doc.GetPanPoints().Values()) {
            if (point.position < from || point.position > to) {
                kept.push_back(point);
            }
        }
        return kept;
    }
    static std::vector<PanPoint> Inside(const CTesselDoc& doc, uint32_t from, uint32_t to) {
        std::vector<PanPoint> kept;
        for (const PanPoint& point : doc.GetPanPoints().Values()) {
            if (point.position >= from && point.position <= to) {
                kept.push_back(point);
            }
        }
        return kept;
    }
    // The points a pass wrote over from .. to, without the two that carry the old path at its
    // edges.
    static std::vector<PanPoint> Written(const CTesselDoc& doc, const PanPointList& before,
                                         uint32_t from, uint32_t to) {
        std::vector<PanPoint> written = Inside(doc, from, to);
        if (!written.empty() && written.front() == TrajectoryRecorder::EdgeArriving(before, from)) {
            written.erase(written.begin());
        }
        if (!written.empty() && written.back() == TrajectoryRecorder::EdgeLeaving(before, to)) {
            written.pop_back();
        }
        return written;
    }

    TestDocumentHost host;
};

// The pointer's path in a pass: a ramp from -60 to 60 over frames 3000 .. 6000, sampled every
// 100 frames, then still.
double Pointer(uint32_t frame) {
    return frame < 3000 ? -60.0 : frame > 6000 ? 60.0 : -60.0 + 120.0 * (frame - 3000) / 3000.0;
}

TEST_F(TrajectoryRecorderTest, EachModeWritesItsSpanOnlyAsOneUndoStep) {
    const struct {
        Mode mode;
        uint32_t from, to;  // the span the pass must replace
        double held;        // the value after the release up to the stop
        Value value = Value::Azimuth;
    } kCases[] = {
        {Mode::Touch, 3000, 7000, 0},    // the old path resumes after the release
        {Mode::Latch, 3000, 12000, 60},  // the last value holds until the stop
        {Mode::Write, 2000, 12000, 60},  // from where playback started
        // Playback began a pass of the azimuth; the place ends it and goes on, in one step.
        {Mode::Write, 2000, 12000, 60, Value::Place},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.mode) * 10 + static_cast<int>(c.value));
        std::unique_ptr<CTesselDoc> doc = Doc();
        doc->Recording().SetAllAround(true);
        const std::vector<PanPoint> before = doc->GetPanPoints().Values();
        PanPointList original;
        original.AddPoints(before);
        TrajectoryControl& control = doc->Recording();
        HandClock clock;
        clock.frame = 2000;
        control.Started(2000, c.mode, clock);
        for (uint32_t frame = 2000; frame < 3000; frame += 500) {
            control.Tick(frame);
        }
        clock.frame = 3000;
        EXPECT_TRUE(control.Touch(c.value, Pointer(3000), 100).bTaken);
        for (uint32_t frame = 3100; frame <= 7000; frame += 100) {
            clock.frame = frame;
            control.Move(Pointer(frame), 100);
            if (frame % 1000 == 0) {
                control.Tick(frame);
            }
            EXPECT_TRUE(doc->IsInGroup());
        }
        EXPECT_TRUE(control.Release());
        for (uint32_t frame = 8000; frame <= 12000; frame += 1000) {
            control.Tick(frame);
        }
        control.Stopped(12000);
        EXPECT_FALSE(doc->IsInGroup());
        // Every point outside the span is what it was, field for field.
        std::vector<PanPoint> untouched;
        for (const PanPoint& point : before) {
            if (point.position < c.from || point.position > c.to) {
                untouched.push_back(point);
            }
        }
        EXPECT_EQ(Outside(*doc, c.from, c.to), untouched);
        // So is the path there, within the half degree a point at each edge rounds to.
        for (uint32_t frame = 0; frame < kFrames; frame += 50) {
            if (frame < c.from || frame > c.to) {
                EXPECT_LE(std::abs(PlaceAt(doc->GetPanPoints(), frame).azimuth -
                                   PlaceAt(original, frame).azimuth),
                          0.5)
                    << frame;
            }
        }
        const std::vector<PanPoint> written = Written(*doc, original, c.from, c.to);
        ASSERT_GE(written.size(), 2u);
        // Fewer points than samples, every one within half a degree of the pointer; the path
        // between them too, at every frame captured.
        EXPECT_LT(written.size(), 12u);
        for (const PanPoint& point : written) {
            // At 3000 a place after Write's azimuth pass steps from the value held.
            if (point.position > 3000 && point.position <= 7000) {
                EXPECT_LE(std::abs(point.azimuth - Pointer(point.position)), 0.5) << point.position;
            } else if (point.position > 7000) {
                EXPECT_EQ(point.azimuth, c.held) << point.position;
            }
        }
        for (uint32_t frame = 3000; frame < 7000; frame += 100) {
            EXPECT_LE(std::abs(PlaceAt(doc->GetPanPoints(), frame).azimuth - Pointer(frame)), 1.0)
                << frame;
        }
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), before);
    }
}

TEST_F(TrajectoryRecorderTest, EachPassIsItsOwnStepAndNothingIsWrittenWhileSilent) {
    std::unique_ptr<CTesselDoc> doc = Doc();
    const std::vector<PanPoint> before = doc->GetPanPoints().Values();
    TrajectoryControl& control = doc->Recording();
    HandClock clock;
    EXPECT_FALSE(control.Touch(Value::Azimuth, 80).bTaken);  // not playing
    EXPECT_FALSE(control.Release());
    EXPECT_EQ(doc->GetPanPoints().Values(), before);
    control.Started(0, Mode::Touch, clock);
    std::vector<std::vector<PanPoint>> states = {before};
    for (uint32_t pass = 0; pass < 3; ++pass) {
        const uint32_t at = 3000 + pass * 3000;
        clock.frame = at;
        control.Touch(Value::Azimuth, -80.0 + pass * 20);
        clock.frame = at + 1000;
        control.Move(70);
        clock.frame = at + 2000;
        control.Release();
        states.push_back(doc->GetPanPoints().Values());
    }
    control.Stopped(12000);
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 3u);
    for (size_t i = states.size() - 1; i > 0; --i) {
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), states[i - 1]) << i;
    }
}

// Elevation, distance, and azimuth with distance in one pass (the pan display's view from
// above, its pointer passing behind the listener): each pass writes its own values only, keeps
// within the tolerance of the pointer in each, follows the shorter way round behind, is one
// undo step, and comes back from the file as it was written.
TEST_F(TrajectoryRecorderTest, EveryValueIsRecordedInItsOwnPassAndSavedAsWritten) {
    const struct {
        Value value;
        std::function<double(uint32_t)> first, second;  // the pointer over frames 3000 .. 6000
    } kCases[] = {
        {Value::Elevation, [](uint32_t f) { return Pointer(f) * 1.5; }, nullptr},
        {Value::Distance, [](uint32_t f) { return 100.0 + (f - 3000) * 0.5; }, nullptr},
        // 150 through 180 to -150: behind, not round the front.
        {Value::AzimuthAndDistance,
         [](uint32_t f) {
             const double a = 150.0 + (f - 3000) * 0.02;
             return a > 180.0 ? a - 360.0 : a;
         },
         [](uint32_t f) { return 2000.0 - (f - 3000) * 0.3; }},
    };
    TempDir dir;
    for (const auto& c : kCases) {
        SCOPED_TRACE(static_cast<int>(c.value));
        TestSound sound;
        sound.samples = Pattern(kFrames * 2);
        sound.chunkFrames = kFrames;
        sound.points = {{0, -30}, {1000, 10}, {2500, 50}, {5000, 40}, {9000, -20}, {15000, 0}};
        const std::string path = dir.File("pass.wav");
        std::unique_ptr<CTesselDoc> doc = OpenTestDocument(host, path, sound);
        const std::vector<PanPoint> before = doc->GetPanPoints().Values();
        const auto second = [&](uint32_t f) { return c.second ? c.second(f) : 0.0; };
        TrajectoryControl& control = doc->Recording();
        control.SetAllAround(true);
        HandClock clock;
        clock.frame = 2000;
        control.Started(2000, Mode::Touch, clock);
        clock.frame = 3000;
        control.Touch(c.value, c.first(3000), second(3000));
        for (uint32_t frame = 3100; frame <= 6000; frame += 100) {
            clock.frame = frame;
            control.Move(c.first(frame), second(frame));
            if (frame % 1000 == 0) {
                control.Tick(frame);
            }
        }
        control.Release();
        control.Stopped(9000);
        std::vector<PanPoint> untouched;
        std::copy_if(before.begin(), before.end(), std::back_inserter(untouched),
                     [](const PanPoint& p) { return p.position < 3000 || p.position > 6000; });
        EXPECT_EQ(Outside(*doc, 3000, 6000), untouched);
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(DocumentSave(*doc).Save());
        auto again = std::make_unique<CTesselDoc>(host);
        ASSERT_TRUE(DocumentOpen(*again).Open(path));
        EXPECT_EQ(again->GetPanPoints().Values(), doc->GetPanPoints().Values());
        // Up to the release, where the old path takes over again.
        for (uint32_t frame = 3000; frame < 6000; frame += 100) {
            const SoundPlace place = PlaceAt(again->GetPanPoints(), frame);
            const SoundPlace old = PlaceAt(doc->GetPanPoints(), frame);
            switch (c.value) {
                case Value::Elevation:
                    EXPECT_LE(std::abs(place.elevation - c.first(frame)), 1.0) << frame;
                    break;
                case Value::Distance:
                    EXPECT_LE(std::abs(place.distanceCm - c.first(frame)), 1.0) << frame;
                    break;
                default:
                    EXPECT_LE(std::abs(std::remainder(place.azimuth - c.first(frame), 360.0)), 1.0)
                        << frame;
                    EXPECT_LE(std::abs(place.distanceCm - c.second(frame)), 1.0) << frame;
                    // Never round the front.
                    EXPECT_GE(std::abs(place.azimuth), 149.0) << frame;
                    break;
            }
            // What the pass does not record stays as it was: azimuth under the lanes, the
            // elevation of the view from above.
            if (c.value != Value::AzimuthAndDistance) {
                EXPECT_EQ(old.azimuth, place.azimuth);
            }
            EXPECT_TRUE(c.value == Value::Elevation || place.elevation == 0.0) << frame;
        }
        // Thinned: the 31 samples of each straight motion come down to its two ends, give or take
        // one; a pass behind breaking at 180 would need two more.
        PanPointList original;
        original.AddPoints(before);
        EXPECT_LE(Written(*again, original, 3000, 6000).size(), 3u);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), before);
    }
}

TEST_F(TrajectoryRecorderTest, StretchScalesTheSelectionAroundItsStartAsOneStep) {
    const struct {
        double factor;
        std::vector<std::pair<uint32_t, int32_t>> after;  // position, pan
        const char* error;
    } kCases[] = {
        // 1000 .. 5000 at twice the length: the point at 9000 lies under the stretched span.
        {2.0, {{0, -30}, {1000, 10}, {4000, 50}, {9000, 40}, {15000, 0}}, ""},
        {0.5, {{0, -30}, {1000, 10}, {1750, 50}, {3000, 40}, {9000, -20}, {15000, 0}}, ""},
        {5.0, {}, "pass the end of the sound"},
        {0.0, {}, "above 0"},
    };
    for (const auto& c : kCases) {
        std::unique_ptr<CTesselDoc> doc = Doc();
        const std::vector<PanPoint> before = doc->GetPanPoints().Values();
        std::string error;
        const bool bDone = TrajectorySpan::Stretch(*doc, 1000, 5000, c.factor, error);
        EXPECT_EQ(bDone, c.after.size() != 0) << c.factor;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.factor << ": " << error;
        if (!bDone) {
            EXPECT_EQ(doc->GetPanPoints().Values(), before);
            EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 0u);
            continue;
        }
        std::vector<std::pair<uint32_t, int32_t>> got;
        for (const PanPoint& point : doc->GetPanPoints().Values()) {
            got.emplace_back(point.position, point.Pan());
        }
        EXPECT_EQ(got, c.after) << c.factor;
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(doc->GetPanPoints().Values(), before);
    }
}

TEST_F(TrajectoryRecorderTest, ADiscardedGroupLeavesNoStepAndKeepsTheOldestOfAFullHistory) {
    std::unique_ptr<CTesselDoc> doc = Doc();
    for (size_t i = 0; i < UndoHistory::kDepth; ++i) {
        ASSERT_TRUE(TrajectorySpan::Replace(*doc, 19000, 19999,
                                            {PanPoint(19000 + static_cast<uint32_t>(i), 5)}));
    }
    const std::vector<PanPoint> before = doc->GetPanPoints().Values();
    const std::string oldest = doc->GetUndoHistory().UndoName();
    doc->BeginGroup(UndoKind::Replace);
    TrajectorySpan::Replace(*doc, 0, kFrames, {PanPoint(7, 7)});
    EXPECT_EQ(doc->GetPanPoints().GetCount(), 1u);
    doc->DiscardGroup();
    EXPECT_EQ(doc->GetPanPoints().Values(), before);
    EXPECT_EQ(doc->GetUndoHistory().UndoCount(), UndoHistory::kDepth);
    EXPECT_FALSE(doc->GetUndoHistory().CanRedo());
    // Every one of the hundred steps still undoes.
    for (size_t i = 0; i < UndoHistory::kDepth; ++i) {
        ASSERT_TRUE(doc->Undo()) << i;
    }
    EXPECT_EQ(Outside(*doc, 19000, 19999).size(), doc->GetPanPoints().GetCount());
    EXPECT_FALSE(oldest.empty());
}

}  // namespace
