// Play Through Binaural Renderer following a head tracker, on the null back end: the feed the
// mixer reads gives the export's floats while the head is straight, brings a turn in at the
// block it names, and takes an edit over from any frame; the playback opens it when tracking is
// on; and /sonomap/place sent by oscsend performs the path in each recording mode.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../binaural/SofaTestSets.h"
#include "AppOnMixerTest.h"
#include "deliver/BinauralExportCommand.h"
#include "playback/OscPlaceFeed.h"
#include "playback/TrackedBinauralFeed.h"
#include "sofa/SofaBinauralRenderer.h"
#include "support/FreeUdpPort.h"
#include "support/SoundIo.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr uint32_t kFrames = 30000;  // 22050 Hz

std::vector<float> Floats(const Bytes& bytes) {
    std::vector<float> floats(bytes.size() / 4);
    std::memcpy(floats.data(), bytes.data(), floats.size() * 4);
    return floats;
}

// What the mixer would read of feed, frames first .. last of its span, in uneven pieces.
std::vector<float> ReadFeed(TrackedBinauralFeed& feed, uint32_t from, uint32_t to,
                            const std::function<void(uint32_t)>& before = {}) {
    const MixerWaveReader reader = feed.Reader();
    std::vector<float> out(size_t{to - from} * 2);
    const uint32_t pieces[] = {441, 97, 1024, 300, 5};
    for (uint32_t at = from, i = 0; at < to; ++i) {
        const uint32_t count = std::min(pieces[i % 5], to - at);
        if (before) {
            before(at);
        }
        reader.read(reader.user, at, count, out.data() + size_t{at - from} * 2);
        at += count;
    }
    return out;
}

class TrackedPlaybackTest : public AppOnMixerTest {
  protected:
    void SetUp() override {
        Preferences prefs = m_app.GetPreferences();
        prefs.output.binauralSet = SofaSetPath("default");
        m_app.SetPreferences(prefs);
        m_app.OnBinauralSetChosen();
    }
    std::vector<float> Exported(CTesselDoc& doc) {
        const std::string out = m_dir.File("export.wav");
        EXPECT_TRUE(BinauralExportCommand(doc).RenderTo(out, 0, SampleFormat::F32));
        return Floats(ReadSound(out).samples);
    }
    std::shared_ptr<const HrtfFilterBank> Bank() { return PreparedBank("default", 22050); }
};

}  // namespace

TEST_F(TrackedPlaybackTest, TheFeedGivesTheExportStraightAheadAndBringsATurnInAtTheBlockItNames) {
    auto doc = PlacedNoise("around", 1, kFrames, 3, "0:-150:20:3,12000:120:-10:0.4,25000:10:60");
    const std::vector<float> exported = Exported(*doc);
    ASSERT_EQ(exported.size(), size_t{kFrames} * 2);
    auto head = std::make_shared<TrackedHead>();
    for (const auto& [first, last] : {std::pair{0u, kFrames}, {5001u, 17001u}}) {
        SCOPED_TRACE(first);
        TrackedBinauralFeed feed(*doc, Bank(), head, first, last);
        const std::vector<float> read = ReadFeed(feed, 0, last - first);
        EXPECT_TRUE(std::equal(read.begin(), read.end(), exported.begin() + first * 2));
    }

    // The head turns while the mixer reads, at frame 8000 of the span and again at 20000; each
    // read after a turn tells where it came in.
    TrackedBinauralFeed turning(*doc, Bank(), head, 0, kFrames);
    std::vector<TrackedBinauralFeed::Turned> turns(2);
    std::vector<uint32_t> setAt(2);
    int set = 0;
    const auto note = [&] {
        const TrackedBinauralFeed::Turned last = turning.LastTurned();
        if (last.version >= 1 && last.version <= 2) {
            turns[last.version - 1] = last;
        }
    };
    const std::vector<float> turned = ReadFeed(turning, 0, kFrames, [&](uint32_t at) {
        note();
        if ((set == 0 && at >= 8000) || (set == 1 && at >= 20000)) {
            head->Set(HeadRotation::Of({set == 0 ? 90.0 : -45.0, 10.0, 0.0}));
            setAt[set] = at;
            ++set;
        }
    });
    note();
    ASSERT_EQ(turns[0].version, 1u);
    ASSERT_EQ(turns[1].version, 2u);
    // Straight until the first turn's block: the export's samples up to there, then not.
    size_t differs = 0;
    while (differs < turned.size() && turned[differs] == exported[differs]) {
        ++differs;
    }
    const uint32_t firstDiffering = static_cast<uint32_t>(differs / 2);
    EXPECT_GE(firstDiffering, turns[0].frame);
    EXPECT_LT(firstDiffering, turns[0].frame + 4);
    // Each turn comes in at the first block not yet begun when the read that saw it started.
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_GE(turns[i].frame, setAt[i]) << i;
        EXPECT_LT(turns[i].frame, setAt[i] + SofaBinauralRenderer::kBlockFrames) << i;
    }
}

TEST_F(TrackedPlaybackTest, ARenewalIsTakenOverFromTheNextFrameTheMixerReads) {
    auto doc = PlacedNoise("edit", 1, kFrames, 4, "0:-90,29999:90");
    auto head = std::make_shared<TrackedHead>();
    TrackedBinauralFeed feed(*doc, Bank(), head, 0, kFrames);
    const std::vector<float> before = ReadFeed(feed, 0, 10000);
    // The path moves behind and up; the next read renders it from there.
    doc->BeginGroup(UndoKind::Modify);
    for (PanPoint* point = doc->NextPoint(nullptr); point; point = doc->NextPoint(point)) {
        SetAzimuth(*point, 150);
        point->elevation = 30;
    }
    doc->TrajectoryChanged();
    doc->EndGroup();
    feed.Renew(*doc, Bank());
    const std::vector<float> after = ReadFeed(feed, 10000, kFrames);
    const std::vector<float> edited = Exported(*doc);
    EXPECT_TRUE(std::equal(after.begin(), after.end(), edited.begin() + 10000 * 2));
    EXPECT_FALSE(std::equal(before.begin(), before.end(), edited.begin()));
}

TEST_F(TrackedPlaybackTest, WithTrackingOnTheRendererFollowsTheHeadTheMixerReadsIt) {
    auto doc = PlacedNoise("play", 1, kFrames, 5, "0:0");
    ASSERT_EQ(m_app.TrackHeadForRun(FreeUdpPort()), "");
    m_app.OnPlayThroughBinaural();
    PlaybackSession& playback = m_app.GetPlayback();
    ASSERT_TRUE(playback.Play(*doc, 0, -1));
    ASSERT_NE(playback.GetTrackedFeed(), nullptr);
    ASSERT_FALSE(m_mixer.openedReaders.empty());
    EXPECT_EQ(m_mixer.openedReaders.back().channels, 2);
    EXPECT_NE(m_prompts.StatusTexts().back().find("following the head tracker on UDP"),
              std::string::npos)
        << m_prompts.StatusTexts().back();
    // The mixer's own thread reads the feed: a turn is rendered within its next buffers.
    m_app.GetHeadTracker().Head()->Set(HeadRotation::Of({90.0, 0.0, 0.0}));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (playback.GetTrackedFeed()->LastTurned().version == 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(playback.GetTrackedFeed()->LastTurned().version, 1u);
    playback.Stop();
    // Off again: the renderer renders ahead as before.
    m_app.GetHeadTracker().Stop();
    ASSERT_TRUE(playback.Play(*doc, 0, -1));
    EXPECT_EQ(playback.GetTrackedFeed(), nullptr);
    EXPECT_TRUE(playback.IsPlayingThroughBinaural());
}

TEST_F(TrackedPlaybackTest, PlacesSentOverOscArePerformedAtTheFramesHeardInEachMode) {
    if (std::system("command -v oscsend >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "oscsend (liblo-tools) is not installed: no OSC peer to test with";
    }
    const int port = FreeUdpPort();
    ASSERT_EQ(m_app.TrackHeadForRun(port), "");
    struct Mode {
        PlaybackSession::RecordMode mode;
        bool bHoldsAfter;  // the last place stays after the release
    };
    for (const Mode& m : {Mode{PlaybackSession::RecordMode::Touch, false},
                          Mode{PlaybackSession::RecordMode::Latch, true},
                          Mode{PlaybackSession::RecordMode::Write, true}}) {
        SCOPED_TRACE(static_cast<int>(m.mode));
        // Three seconds at 22050 Hz, straight ahead at 1 m until performed.
        auto doc = PlacedNoise("perform", 1, 66150, 6, "0:0:0:1");
        doc->Recording().SetAllAround(true);  // as the all-around view sets it
        OscPlaceFeed feed(m_app.GetHeadTracker(), m_app.GetPlayback(), m_prompts);
        PlaybackSession& playback = m_app.GetPlayback();
        playback.SetRecordMode(m.mode);
        playback.SetRecordArmed(true);
        ASSERT_TRUE(playback.Play(*doc, 0, -1));
        struct Sent {
            int azimuth, elevation, distanceCm;
            uint32_t after, next;  // heard frames: once it was in, and before the next went
        };
        std::vector<Sent> sent;
        for (int i = 0; i < 12 && playback.IsPlaying(); ++i) {
            m_pClock->tick();
            const uint32_t before = playback.ReadHeardFrameNow().value_or(0);
            if (!sent.empty()) {
                sent.back().next = before;
            }
            const Sent s{-60 + 11 * i, (i % 5) * 7 - 10, 150 + 20 * i, 0, 0};
            const std::string message = "oscsend 127.0.0.1 " + std::to_string(port) +
                                        " /sonomap/place fff " + std::to_string(s.azimuth) + " " +
                                        std::to_string(s.elevation) + " " +
                                        std::to_string(s.distanceCm / 100.0);
            ASSERT_EQ(std::system(message.c_str()), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            feed.Poll();
            sent.push_back(s);
            sent.back().after = playback.ReadHeardFrameNow().value_or(0);
            m_pClock->tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
        // Silence lets go; the sound plays on a little, then stops.
        std::this_thread::sleep_for(std::chrono::milliseconds(OscPlaceFeed::kReleaseMs + 50));
        feed.Poll();
        EXPECT_FALSE(feed.IsHeld());
        m_pClock->tick();
        // The last place holds at least until the pause began to count.
        sent.back().next = sent.back().after;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_pClock->tick();
        const uint32_t late = playback.ReadHeardFrameNow().value_or(0);
        ASSERT_TRUE(playback.IsPlaying()) << "the machine was too slow for the sound's length";
        playback.Stop();
        ASSERT_EQ(sent.size(), 12u);

        // The heard frame moves in the device's steps, so a message lands somewhere between
        // the frame heard after the one before it and the frame heard before the next: there
        // the path passes through it, in order, and between two it goes from one to the next.
        const PanPointList& points = doc->GetPanPoints();
        double worst = 0.0;
        uint32_t from = 0;
        for (size_t i = 0; i < sent.size(); ++i) {
            const Sent& s = sent[i];
            ASSERT_LE(s.after, s.next);
            std::optional<uint32_t> met;
            double nearest = 360.0;
            for (uint32_t frame = from; frame <= s.next; ++frame) {
                const SoundPlace place = PlaceAt(points, frame);
                const double off = std::max(std::abs(place.azimuth - s.azimuth),
                                            std::abs(place.elevation - s.elevation));
                if (off < nearest && std::abs(place.distanceCm - s.distanceCm) <= 1.0) {
                    nearest = off;
                    met = frame;
                }
            }
            met = nearest <= 1.0 ? met : std::nullopt;
            worst = std::max(worst, nearest);
            ASSERT_TRUE(met.has_value()) << "message " << i << " never heard; off by " << nearest;
            if (i > 0) {
                // From the last message's frame to this one's, between the two values.
                const Sent& p = sent[i - 1];
                for (uint32_t frame = from; frame <= *met; frame += 16) {
                    const SoundPlace place = PlaceAt(points, frame);
                    EXPECT_GE(place.azimuth, std::min(p.azimuth, s.azimuth) - 1.0) << frame;
                    EXPECT_LE(place.azimuth, std::max(p.azimuth, s.azimuth) + 1.0) << frame;
                }
            }
            from = *met;
        }
        std::printf("[ measured ] mode %d: the path off the messages by at most %.2f degrees\n",
                    static_cast<int>(m.mode), worst);
        // After the release: the old path again, or the last place held until the stop.
        const SoundPlace after = PlaceAt(points, late - 1);
        EXPECT_NEAR(after.azimuth, m.bHoldsAfter ? sent.back().azimuth : 0, 1.0);
        // One take, one step, in Write too, where playback began a pass of the azimuth that the
        // first place ended.
        EXPECT_EQ(doc->GetUndoHistory().UndoCount(), 1u);
        ASSERT_TRUE(doc->Undo());
        EXPECT_EQ(PlaceAt(points, late - 1).azimuth, 0.0);
    }
}
