#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/DocumentListener.h"
#include "platform/ListenerList.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "trajectory/TrajectoryControl.h"
#include "trevant/trevant.h"

class PlaybackClock;
class PlaybackHost;
class PlaybackListener;
class SofaSetChoice;
class SpeakerLayout;
class TrackedBinauralFeed;

// The one owner of what plays: the document, the range, the mixer wave made from it, the
// cursor along its trajectory, the tick and the frame being heard. Play starts a document's
// sound through the application's mixer; each tick steps the direction along the trajectory
// and reads the frame being heard; Stop, the end of the wave and the playing document's
// closing all end it through one path. Listeners (views, the overview bar, the frame) hear of
// start, each tick and the end. An edit of the playing trajectory is heard from the next tick
// on; through the stereo export's filter or the binaural renderer, from the first frame the
// mixer has not taken yet, rendered again without a restart (so is a new binaural set). It is also
// the transport of Record Trajectory: armed, it starts, ticks and stops the playing document's
// recording control with the frames heard, and it keeps Loop Playback. Plain C++: the clock is
// handed in. Frames throughout; the mixer's play position counts from the start of the played
// range. The host outlives the session.
class PlaybackSession : public DocumentListener, private TrajectoryControl::Clock {
  public:
    static constexpr int kTickPeriodMs = 33;

    using RecordMode = TrajectoryControl::Mode;

    PlaybackSession(PlaybackHost& host, std::unique_ptr<PlaybackClock> clock);
    ~PlaybackSession() override;
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // Plays frames [start, end) of document, or from start to its end when end is -1, after
    // stopping whatever plays. Failures are shown to the user and leave the program silent;
    // false then.
    bool Play(CTesselDoc& document, uint32_t start, int64_t end);
    // Ends what plays; nothing when nothing plays.
    void Stop();
    // Ends what plays when it is document's sound (the document or its window is going).
    void StopDocument(const CTesselDoc& document);
    bool IsPlaying() const { return m_pDoc != nullptr; }
    bool IsPlaying(const CTesselDoc& document) const { return m_pDoc == &document; }
    CTesselDoc* GetPlayingDocument() const { return m_pDoc; }
    // The frame being heard at the last tick (the start until the first); none when nothing
    // plays or the position could not be read.
    std::optional<uint32_t> HeardFrame() const { return m_heard; }
    // The frame being heard now, read from the output (a recording samples it between
    // ticks); none when nothing plays or it could not be read.
    std::optional<uint32_t> ReadHeardFrameNow() {
        return m_pDoc != nullptr ? ReadHeardFrame() : std::nullopt;
    }
    uint32_t GetPlayStart() const { return m_playStart; }
    // The wave of the last play; it stays, at its end position, until the next play, its
    // document's closing or ReleaseWave.
    AmbrelWaveMixWave GetWave() const { return m_hWave; }
    // Stops, and frees the wave (the mixer session is about to close).
    void ReleaseWave();
    // The direction follows the trajectory at each tick (there is one, and no tick failed).
    bool IsSteppingDirection() const { return m_pDoc != nullptr && m_bStepping; }
    // The frame being heard is read at each tick (no read failed).
    bool IsReadingPosition() const { return m_pDoc != nullptr && m_bReading; }

    // Loop Playback: a played range starts again at its end, until stopped. Not kept.
    void SetLoop(bool bLoop) { m_bLoop = bLoop; }
    bool IsLoop() const { return m_bLoop; }
    // Record Trajectory: while armed, the document that plays records in the mode chosen.
    // Arming or disarming while playing tells its control at once; a mode takes effect at the
    // next pass.
    void SetRecordArmed(bool bArmed);
    bool IsRecordArmed() const { return m_bRecordArmed; }
    void SetRecordMode(RecordMode mode);
    RecordMode GetRecordMode() const { return m_recordMode; }

    void AddListener(PlaybackListener* listener);
    void RemoveListener(PlaybackListener* listener);

    // One tick: the clock calls it every kTickPeriodMs while playing.
    void Tick();
    // The mixer's notice that play number play has played out, on the interface thread. With
    // Loop Playback on, the same range plays again.
    void OnWaveDone(uint32_t play);
    PlaybackClock& GetClock() { return *m_pClock; }

    // The frame being heard: playStart + position, less the output's latency at rate Hz,
    // never before playStart.
    static uint32_t HeardFrame(uint32_t playStart, uint32_t position, uint32_t latencyUs,
                               uint32_t rate);

    void OnTrajectoryChanged(CTesselDoc& document) override;
    void OnAcousticsChanged(CTesselDoc& document) override;
    void OnDocumentClosing(CTesselDoc& document) override;

    // The direction a tick sends for the mixer's play position (frames from the play's start);
    // none when the trajectory has gone and the sound keeps its direction.
    std::optional<int32_t> StepDirection(uint32_t position);
    // The same for a sound that is placed (PlacesSound): the whole place.
    std::optional<SoundPlace> StepPlace(uint32_t position);
    // Whether a document's sound is placed all around rather than given a frontal direction: a
    // trajectory that leaves the front, or any trajectory of a stereo sound (whose channels
    // stand around the direction by the width).
    static bool PlacesSound(const CTesselDoc& document);
    // Whether the playing sound is the stereo export's render (or the binaural renderer's)
    // rather than the mixer's preview.
    bool IsPlayingThroughFilter() const { return m_pDoc != nullptr && m_bThroughFilter; }
    bool IsPlayingThroughBinaural() const { return IsPlayingThroughFilter() && m_pSofa; }
    // The binaural renderer follows a head tracker, rendered as the mixer takes each buffer
    // (TrackedBinauralFeed) rather than ahead; null unless it plays so.
    const TrackedBinauralFeed* GetTrackedFeed() const {
        return IsPlayingThroughFilter() ? m_pTracked.get() : nullptr;
    }
    // The set the binaural renderer plays through; none unless it plays.
    const std::shared_ptr<SofaSetChoice>& GetPlayingSet() const { return m_pSofa; }
    // The loudspeaker layout playing goes to (the Loudspeakers preference, when the output
    // plays its channels); nullptr otherwise.
    const SpeakerLayout* GetPlayingLayout() const {
        return IsPlayingThroughFilter() ? m_pLayout : nullptr;
    }
    // Why the last play did not go to the chosen loudspeakers; "" when it did or none were
    // chosen.
    const std::string& LoudspeakerNote() const { return m_loudspeakerNote; }

    // Where the filter's render stands, in frames from the start of the played range: the
    // render in force began at renderFirst (0, or where an edit had it begin again); the mixer
    // may read up to ready and has taken fed. None unless playing through the filter and the
    // mixer answered.
    struct FilterQueue {
        uint32_t renderFirst = 0;
        uint32_t ready = 0;
        uint32_t fed = 0;
    };
    std::optional<FilterQueue> ReadFilterQueue();
    // How far the render runs ahead of what the mixer has taken, kFilterLeadMs unless a test
    // shortens it to starve the mixer.
    void SetFilterLeadMs(uint32_t ms) { m_filterLeadMs = ms; }
    static constexpr uint32_t kFilterLeadMs = 3000;

    // Renders frames [first, last) of what an export writes, in steps as playing nears them
    // (the filter's or the binaural renderer's; defined with the playback).
    class AheadRender;

  private:
    // The render of the choice in force from first (m_pSofa's set when it is not null); none
    // when it cannot render this sound.
    std::unique_ptr<AheadRender> MakeAheadRender(CTesselDoc& document, uint32_t first,
                                                 uint32_t last);
    // With a choice on, starts rendering frames [first, last) through the stereo export or the
    // binaural renderer into m_pFiltered and points source and format at it; false when it
    // could not render this sound (the preview then plays as usual), or when the binaural set
    // refused, which bRefused then tells and the user was shown.
    bool RenderThroughFilter(CTesselDoc& document, uint32_t first, uint32_t last,
                             MixerPcmFormat& format, MixerWaveSource& source, bool& bRefused);
    // The Loudspeakers preference's layout when the output plays its channels; else nullptr,
    // with the reason in m_loudspeakerNote.
    const SpeakerLayout* ChooseLayout();
    // A new render of the document's trajectory from the first frame the mixer has not taken;
    // false when there is none to make (the trajectory was emptied) or the mixer failed.
    bool RenderAgainFromFed(CTesselDoc& document);
    // Renders on to m_filterLeadMs past what the mixer has taken and tells it what is ready.
    void RenderAhead();
    // The cursor's mode for what plays: all around when the sound is placed.
    TrajectoryCursor::Mode CursorMode() const;
    // The arrival at the mixer's play position, from the path as it stands now.
    std::optional<Arrival> StepCursor(uint32_t position);
    // Sends the arrival's place and gain to the mixer; the mixer's code.
    int SendPlace(const Arrival& arrival, uint32_t flags);
    std::optional<uint32_t> ReadHeardFrame();
    std::optional<uint32_t> HeardFrameNow() override { return ReadHeardFrameNow(); }
    std::optional<RecordMode> Armed() const;
    void FreeWave();
    // The one way a playback ends.
    void Finish(bool bPlayedOut);

    PlaybackHost& m_host;
    std::unique_ptr<PlaybackClock> m_pClock;
    bool m_bLoop = false;
    bool m_bRecordArmed = false;
    RecordMode m_recordMode = RecordMode::Touch;
    ListenerList<PlaybackListener> m_listeners;
    CTesselDoc* m_pDoc = nullptr;      // what plays
    CTesselDoc* m_pWaveDoc = nullptr;  // whose samples the wave reads; heard from while it lasts
    AmbrelWaveMixWave m_hWave = 0;
    uint32_t m_playStart = 0;
    uint32_t m_playEnd = 0;  // one past the last frame played
    uint32_t m_play = 0;     // the number the mixer's end-of-wave notice carries
    // What the mixer's own preview places the sound by: the playing trajectory heard dry (its
    // samples reach the mixer as they are).
    std::unique_ptr<Propagation> m_pStage;
    bool m_bPlaces = false;  // the sound is placed, not given a direction
    // The samples the mixer's feeder reads for a plain play, from frame first of the sound:
    // read on the feeder's thread only, freed after the wave.
    struct Feed {
        std::unique_ptr<RenderInput> input;
        uint32_t first = 0;
    };
    std::unique_ptr<Feed> m_pFeed;
    bool m_bSegmentStale = false;
    bool m_bStepping = false;  // the direction follows the trajectory
    bool m_bReading = false;   // the frame being heard is read
    std::optional<uint32_t> m_heard;
    // The mixer reads only what is ready: a stalled tick starves it into silence, never into
    // frames the render has not written.
    uint32_t m_filterLeadMs = kFilterLeadMs;
    struct FreeBytes {
        void operator()(uint8_t* bytes) const { std::free(bytes); }
    };
    const SpeakerLayout* m_pLayout = nullptr;  // loudspeaker feeds, when they play
    std::string m_loudspeakerNote;
    bool m_bThroughFilter = false;  // the wave is m_pFiltered, heard as it is
    // The whole span's stereo, zeroed pages the render fills as playing nears them.
    std::unique_ptr<uint8_t, FreeBytes> m_pFiltered;
    std::unique_ptr<AheadRender> m_pRender;
    std::shared_ptr<SofaSetChoice> m_pSofa;  // the binaural renderer's set; none: the filter
    // The binaural renderer following the head, in place of m_pRender and m_pFiltered.
    std::unique_ptr<TrackedBinauralFeed> m_pTracked;
    uint32_t m_renderFrameBytes = 0;
    uint32_t m_renderFirst = 0;  // frames from the play's start, as FilterQueue
    uint32_t m_filterReady = 0;
    uint32_t m_filterFed = 0;
};
