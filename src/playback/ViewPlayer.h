#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <optional>

class CEditorApp;
class CTesselDoc;
class PlayingView;

// A wave view's playback: it starts the document's sound through the application's mixer,
// steps the direction along the trajectory every 33 ms, tells the view the frame being heard
// as often, and takes the mixer's end-of-wave notice. It knows the view only as a
// PlayingView, which shows the live direction and the play position and holds the caret. The
// view owns it; the document and the application outlive it.
//
// Positions are frames: the mixer's play position counts from the start of the played range.
class ViewPlayer : public QObject {
  public:
    static constexpr int kPlaybackTimerId = 1001;
    static constexpr int kPlaybackPeriodMs = 33;
    // The play position's own tick, for every playback, whether the trajectory has points or
    // not: 30 a second. Of the direction's period and coarse kind as well, so that the two
    // timers wake the program together and the frame refreshes its states once for both.
    static constexpr int kPositionPeriodMs = kPlaybackPeriodMs;

    ViewPlayer(CTesselDoc& document, CEditorApp& app, PlayingView& view);
    ~ViewPlayer() override;

    // Plays frames [start, end) of the document, or from start to its end when end is -1.
    // Failures are shown to the user and leave the program silent.
    void Play(uint32_t start, int64_t end);
    // The view is going: silences its sound without moving the caret or showing anything.
    void StopWithView();

    bool IsTimerRunning() const { return m_timer.isActive(); }
    bool IsPositionTimerRunning() const { return m_positionTimer.isActive(); }
    // Reads the mixer's position now and shows the view the frame being heard; once this
    // player's sound has ended, shows none and stops the position ticks.
    void TickPosition();
    // The frame being heard: playStart + position, less the output's latency at rate Hz, never
    // before playStart.
    static uint32_t HeardFrame(uint32_t playStart, uint32_t position, uint32_t latencyUs,
                               uint32_t rate);
    void StopTimer() { m_timer.stop(); }
    // The direction a tick sends for the mixer's play position; none when the trajectory has
    // gone, and the sound keeps its direction.
    std::optional<int32_t> StepDirection(uint32_t position);

  private:
    bool IsThisPlaying() const;
    void OnTick();
    void EndPosition();
    // The mixer's notice that the wave this player started last has played out.
    void OnWaveDone();
    friend class WaveDoneRelay;

    CTesselDoc& m_doc;
    CEditorApp& m_app;
    PlayingView& m_view;
    QTimer m_timer;
    QTimer m_positionTimer;
};
