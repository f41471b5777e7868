#pragma once

#include <QEvent>
#include <cstdint>

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

// The "no direction" value of a live pan.
inline constexpr int kNoLivePan = 0xFFFF;

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
    explicit WaveDoneEvent(uint32_t wave) : QEvent(kWaveDoneEvent), m_wave(wave) {}
    uint32_t Wave() const { return m_wave; }  // the mixer wave that finished

  private:
    uint32_t m_wave;
};
