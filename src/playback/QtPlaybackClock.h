#pragma once

#include <QObject>
#include <QTimer>

#include "playback/PlaybackClock.h"

// The editor's playback clock: a coarse Qt timer, and the mixer's end-of-wave notice posted
// from the mixer's thread as an event to the clock that started the last play. Lives on the
// interface thread.
class QtPlaybackClock : public QObject, public PlaybackClock {
  public:
    QtPlaybackClock();
    ~QtPlaybackClock() override;

    void Connect(std::function<void()> onTick,
                 std::function<void(uint32_t play)> onWaveDone) override;
    void Start(int periodMs) override;
    void Stop() override { m_timer.stop(); }
    bool IsRunning() const override { return m_timer.isActive(); }
    MixerWaveDoneProc WaveDoneProc() const override { return &PostWaveDone; }

  protected:
    void customEvent(QEvent* event) override;

  private:
    // On the mixer's thread.
    static void PostWaveDone(void* user, uint32_t channel);

    QTimer m_timer;
    std::function<void()> m_onTick;
    std::function<void(uint32_t)> m_onWaveDone;
};
