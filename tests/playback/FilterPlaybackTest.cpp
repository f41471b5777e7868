// Playing through the stereo export's filter on the null back end: the wave the mixer gets is
// the very samples Export Stereo File writes for the span played, frontal and all around, also
// after an edit while it plays; a render that falls behind starves the mixer instead of being
// overtaken; and the choice is kept and shown beside the HRTF state.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AppOnMixerTest.h"
#include "deliver/StereoExport.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "playback/CEditorApp.h"
#include "playback/PlaybackSession.h"
#include "support/DocumentTestFiles.h"
#include "support/FailingMixer.h"
#include "support/ManualPlaybackClock.h"
#include "support/MemorySettingsStore.h"
#include "support/ScriptedPrompts.h"
#include "support/SoundIo.h"
#include "support/TempDir.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr uint32_t kFrames = 60000;  // past the filter's warm-up, so a late start is a fresh one

struct PathPlace {
    uint32_t frame;
    int azimuth;
    int elevation;
    uint32_t distanceCm;
};

struct SpanCase {
    const char* name;
    std::vector<PathPlace> places;
    uint32_t first;
    int64_t last;  // -1: to the end
};

// The export's stereo data for the whole sound, as Export Stereo File writes it.
Bytes ExportedSamples(CTesselDoc& doc, const std::string& path) {
    EXPECT_TRUE(StereoExportCommand(doc).RenderTo(path, 0));
    return ReadSound(path).samples;
}

class FilterPlaybackTest : public AppOnMixerTest {
  protected:
    std::unique_ptr<CTesselDoc> Document(const std::vector<PathPlace>& places) {
        TestSound sound;
        sound.samples = Pattern(size_t{kFrames} * 2, 7);
        sound.points = {{0, 0}};
        auto doc = MemoryDocument(m_app, sound);
        doc->BeginGroup(UndoKind::Replace);
        while (const PanPoint* first = doc->NextPoint(nullptr)) {
            doc->RemovePoint(first);
        }
        for (const PathPlace& place : places) {
            PanPoint point;
            point.position = place.frame;
            SetAzimuth(point, place.azimuth);
            point.elevation = place.elevation;
            point.distanceCm = place.distanceCm;
            doc->AddPoint(point);
        }
        doc->EndGroup();
        return doc;
    }
    // The bytes of the wave the mixer was last handed, while it plays.
    Bytes HandedSamples() const {
        const MixerWaveSource& wave = m_mixer.openedWaves.back();
        const auto* data = static_cast<const uint8_t*>(wave.data);
        return Bytes(data, data + wave.byteCount);
    }

    // Ticks until the frame heard has passed frame (5 s at most); the frame heard then.
    uint32_t WaitForHeardPast(uint32_t frame) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        uint32_t heard = frame;
        while (heard <= frame && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m_pClock->tick();
            heard = m_app.GetPlayback().HeardFrame().value_or(frame);
        }
        EXPECT_GT(heard, frame) << "the playhead stood still";
        return heard;
    }
};

}  // namespace

TEST_F(FilterPlaybackTest, TheMixerGetsTheExportsSamplesOfTheSpanPlayed) {
    const std::vector<PathPlace> frontal{
        {0, -90, 0, 100}, {30000, 40, 0, 100}, {59999, 90, 0, 100}};
    const std::vector<PathPlace> around{
        {0, -150, 20, 300}, {25000, 120, -10, 40}, {50000, 10, 60, 100}};
    const SpanCase cases[] = {
        {"frontal, whole", frontal, 0, -1},
        {"frontal, selection", frontal, 2000, 9000},
        {"frontal, late start", frontal, 41000, -1},
        {"all around, whole", around, 0, -1},
        {"all around, selection", around, 100, 33333},
        {"all around, late start", around, 40001, 59000},
    };
    m_app.OnPlayThroughFilter();
    int n = 0;
    for (const SpanCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto doc = Document(c.places);
        const Bytes exported = ExportedSamples(*doc, m_dir.File("out" + std::to_string(n++)));
        ASSERT_EQ(exported.size(), size_t{kFrames} * 4);
        ASSERT_TRUE(m_app.GetPlayback().Play(*doc, c.first, c.last));
        EXPECT_TRUE(m_app.GetPlayback().IsPlayingThroughFilter());
        const uint32_t last = c.last < 0 ? kFrames : static_cast<uint32_t>(c.last);
        const Bytes handed = HandedSamples();
        EXPECT_TRUE(handed == Bytes(exported.begin() + c.first * 4, exported.begin() + last * 4));
        // The render carries the directions: the mixer is given none, and no place.
        EXPECT_TRUE(m_mixer.places.empty());
        m_pClock->tick();
        EXPECT_TRUE(m_mixer.places.empty());
        m_app.GetPlayback().Stop();
        m_mixer.directions.clear();
    }
}

TEST_F(FilterPlaybackTest, AnEditIsRenderedAgainPastWhatTheMixerTookWithoutARestart) {
    const struct {
        const char* name;
        uint32_t first;
        std::vector<PathPlace> added;  // one edit, and a tick, each
        bool bMoveStart;               // the first edit also swings the start point right
    } cases[] = {
        {"the start swings right", 0, {}, true},
        {"a point behind and above", 3000, {{30000, 150, 40, 300}}, false},
        {"an edit on each of three ticks",
         0,
         {{20000, 60, 0, 100}, {25000, -20, 0, 100}, {40000, 80, -30, 50}},
         false},
    };
    m_app.OnPlayThroughFilter();
    PlaybackSession& playback = m_app.GetPlayback();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto doc = Document({{0, -90, 0, 100}, {59999, 90, 0, 100}});
        const Bytes before = ExportedSamples(*doc, m_dir.File(std::string(c.name) + "-before"));
        const size_t opened = m_mixer.openedWaves.size();
        ASSERT_TRUE(playback.Play(*doc, c.first, -1));
        const uint32_t heardBefore = WaitForHeardPast(c.first);
        // Each edit's render, from where it began: the mixer may take some of one before the
        // next edit, however long a tick takes.
        std::vector<std::pair<uint32_t, Bytes>> renders;
        const size_t edits = std::max<size_t>(c.added.size(), 1);
        for (size_t e = 0; e < edits; ++e) {
            doc->BeginGroup(UndoKind::Modify);
            if (c.bMoveStart) {
                PanPoint* start = doc->NextPoint(nullptr);
                start->azimuth = 90;
                start->azimuth = 90;
            } else {
                PanPoint point;
                point.position = c.added[e].frame;
                SetAzimuth(point, c.added[e].azimuth);
                point.elevation = c.added[e].elevation;
                point.distanceCm = c.added[e].distanceCm;
                doc->AddPoint(point);
            }
            doc->EndGroup();
            doc->TrajectoryChanged();
            m_pClock->tick();
            const std::optional<PlaybackSession::FilterQueue> queue = playback.ReadFilterQueue();
            ASSERT_TRUE(queue);
            // Begun again past what was taken before, never before the last new render.
            EXPECT_GT(queue->renderFirst, 0u);
            EXPECT_GE(queue->renderFirst, renders.empty() ? 0u : renders.back().first);
            EXPECT_LE(queue->renderFirst, queue->fed);
            renders.emplace_back(queue->renderFirst,
                                 ExportedSamples(*doc, m_dir.File(std::string(c.name) + "-after" +
                                                                  std::to_string(e))));
        }
        // The same play goes on: no new wave, the same start, the playhead still moving.
        EXPECT_EQ(m_mixer.openedWaves.size(), opened + 1);
        EXPECT_EQ(playback.GetPlayStart(), c.first);
        EXPECT_TRUE(playback.IsPlayingThroughFilter());
        WaitForHeardPast(heardBefore);

        const std::optional<PlaybackSession::FilterQueue> queue = playback.ReadFilterQueue();
        ASSERT_TRUE(queue);
        ASSERT_EQ(queue->ready, kFrames - c.first);  // the lead reaches the end
        const Bytes handed = HandedSamples();
        const size_t at = size_t{c.first} * 4;
        // What the mixer had taken stays the old render; from each edit's cut on, that edit's
        // export, up to the next cut.
        const size_t cut = size_t{renders.front().first} * 4;
        EXPECT_TRUE(Bytes(handed.begin(), handed.begin() + cut) ==
                    Bytes(before.begin() + at, before.begin() + at + cut));
        for (size_t e = 0; e < renders.size(); ++e) {
            const size_t from = size_t{renders[e].first} * 4;
            const size_t to =
                e + 1 < renders.size() ? size_t{renders[e + 1].first} * 4 : handed.size();
            const Bytes& edited = renders[e].second;
            EXPECT_TRUE(Bytes(handed.begin() + from, handed.begin() + to) ==
                        Bytes(edited.begin() + at + from, edited.begin() + at + to))
                << "edit " << e << ", frames " << from / 4 << " to " << to / 4;
        }
        playback.Stop();
    }
}

TEST_F(FilterPlaybackTest, AStalledTickStarvesTheMixerIntoSilenceNeverIntoUnrenderedFrames) {
    m_app.OnPlayThroughFilter();
    PlaybackSession& playback = m_app.GetPlayback();
    auto doc = Document({{0, -90, 0, 100}, {59999, 90, 0, 100}});
    const uint32_t doneBefore = ManualPlaybackClock::DoneNotice();
    // A short lead, and no tick: the mixer runs to the end of the first stretch and waits.
    playback.SetFilterLeadMs(50);
    ASSERT_TRUE(playback.Play(*doc, 0, -1));
    std::optional<PlaybackSession::FilterQueue> queue = playback.ReadFilterQueue();
    ASSERT_TRUE(queue);
    const uint32_t ready = queue->ready;
    ASSERT_LT(ready, kFrames);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((queue = playback.ReadFilterQueue()) && queue->fed < ready &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(queue);
    ASSERT_EQ(queue->fed, ready) << "the mixer never reached the end of what was ready";
    // Starved well past the stretch: still at it, and not played out.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    queue = playback.ReadFilterQueue();
    ASSERT_TRUE(queue);
    EXPECT_EQ(queue->fed, ready);
    EXPECT_LE(playback.ReadHeardFrameNow().value_or(kFrames), ready);
    EXPECT_EQ(ManualPlaybackClock::DoneNotice(), doneBefore);
    EXPECT_TRUE(playback.IsPlayingThroughFilter());

    // Ticks again: the rest is rendered and played out.
    playback.SetFilterLeadMs(PlaybackSession::kFilterLeadMs);
    m_pClock->tick();
    queue = playback.ReadFilterQueue();
    ASSERT_TRUE(queue);
    EXPECT_EQ(queue->ready, kFrames);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(8);
    while (ManualPlaybackClock::DoneNotice() == doneBefore &&
           std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(ManualPlaybackClock::DoneNotice(), doneBefore);
}

TEST_F(FilterPlaybackTest, TheChoiceIsKeptAndShownBesideTheHrtfState) {
    const struct {
        bool bOn;
        const char* shown;
    } cases[] = {{false, "HRTF "}, {true, "Stereo export filter (HRTF "}};
    for (const auto& c : cases) {
        if (m_app.IsPlayThroughFilter() != c.bOn) {
            m_app.OnPlayThroughFilter();
        }
        CEditorApp again(m_prompts, m_settings, m_mixer, MakeClock(m_pClock));
        again.LoadPreferences();
        EXPECT_EQ(again.IsPlayThroughFilter(), c.bOn);
        again.ExitInstance();
        auto doc = Document({{0, 30, 0, 100}});
        ASSERT_TRUE(m_app.GetPlayback().Play(*doc, 0, 1000));
        EXPECT_EQ(m_app.GetPlayback().IsPlayingThroughFilter(), c.bOn);
        EXPECT_EQ(m_app.GetOutputStateText().rfind(c.shown, 0), 0u) << m_app.GetOutputStateText();
        EXPECT_EQ(m_prompts.StatusTexts().back(), m_app.GetOutputStateText());
        m_app.GetPlayback().Stop();
    }
}

TEST_F(FilterPlaybackTest, RenderedInStepsAsPlayingNearsTheSameBytesComeOut) {
    auto doc = Document({{0, -170, 30, 200}, {40000, 60, 0, 100}});
    const Bytes exported = ExportedSamples(*doc, m_dir.File("steps"));
    const struct {
        uint32_t first;
        uint32_t step;
    } cases[] = {{0, 1}, {0, 5000}, {20000, 8192}, {33000, 100000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        StereoExport render(RenderInput::OfDocument(*doc), doc->GetPanPoints());
        ASSERT_TRUE(render.StartSpan(c.first, kFrames));
        Bytes out((kFrames - c.first) * 4, 0);
        uint32_t ready = 0;
        for (uint32_t until = c.first; ready < kFrames - c.first; until += c.step) {
            const uint32_t now = render.RenderSpanTo(until, out.data());
            EXPECT_GE(now, std::min(until, kFrames) - c.first);
            ready = now;
        }
        EXPECT_TRUE(out == Bytes(exported.begin() + c.first * 4, exported.end()));
    }
}
