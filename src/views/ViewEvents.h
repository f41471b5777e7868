#pragma once

#include <QEvent>
#include <cstdint>

#include "playback/PlayingView.h"

class MonoBitmap;

// What the active view shows, pushed to the overview bar. Frames; lastVisible is the sound's
// length while the view is not zoomed in.
struct OverviewViewInfo {
    const MonoBitmap* overviewImage = nullptr;
    uint32_t selStart = 0;
    uint32_t selEnd = 0;  // exclusive
    uint32_t firstVisible = 0;
    uint32_t lastVisible = 0;
    uint32_t length = 0;
    uint32_t force = 0;  // non-zero makes the bar redraw
};

// The private window messages, as Qt events. The first two are sent synchronously; wave-done
// comes from the mixer's thread and is posted.
inline constexpr QEvent::Type kOverviewUpdateEvent = QEvent::Type(QEvent::User + 500);
inline constexpr QEvent::Type kSetLivePanEvent = QEvent::Type(QEvent::User + 501);
inline constexpr QEvent::Type kWaveDoneEvent = QEvent::Type(QEvent::User + 0x3BD);

class OverviewUpdateEvent : public QEvent {
  public:
    explicit OverviewUpdateEvent(const OverviewViewInfo& info)
        : QEvent(kOverviewUpdateEvent), m_info(info) {}
    const OverviewViewInfo& Info() const { return m_info; }

  private:
    OverviewViewInfo m_info;
};

class SetLivePanEvent : public QEvent {
  public:
    explicit SetLivePanEvent(int pan) : QEvent(kSetLivePanEvent), m_pan(pan) {}
    int Pan() const { return m_pan; }  // degrees, or kNoLivePan

  private:
    int m_pan;
};

class WaveDoneEvent : public QEvent {
  public:
    explicit WaveDoneEvent(uint32_t play) : QEvent(kWaveDoneEvent), m_play(play) {}
    // Which start of playback finished, so that a late notice of an earlier one is ignored.
    uint32_t Play() const { return m_play; }

  private:
    uint32_t m_play;
};
