#pragma once

#include <QEvent>
#include <cstdint>
#include <optional>

#include "trajectory/SoundPlace.h"

#include "playback/PlaybackListener.h"

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

// The private window messages, as Qt events, sent synchronously. The mixer's wave-done is the
// playback layer's own.
inline constexpr QEvent::Type kOverviewUpdateEvent = QEvent::Type(QEvent::User + 500);
inline constexpr QEvent::Type kSetLivePanEvent = QEvent::Type(QEvent::User + 501);
// The play position of the active view's sound, for the overview bar's playhead line.
inline constexpr QEvent::Type kSetPlayPositionEvent = QEvent::Type(QEvent::User + 502);
inline constexpr uint32_t kNoPlayPosition = UINT32_MAX;
// The all-around view's pan display: whether the bar shows the view from above, and the place
// the sound is heard at (playback, a drag), none when silent.
inline constexpr QEvent::Type kSetTopViewEvent = QEvent::Type(QEvent::User + 503);
inline constexpr QEvent::Type kSetLivePlaceEvent = QEvent::Type(QEvent::User + 504);
// The place at the active view's caret (or its selection's start), shown while nothing is live;
// none without a sound.
inline constexpr QEvent::Type kSetCaretPlaceEvent = QEvent::Type(QEvent::User + 505);
// A timer with this property set (any value) samples and asks nothing of the command states:
// its timeouts do not arm an idle pass, so a fast sampler costs no refresh of the frame.
inline constexpr char kQuietTimerProperty[] = "sonomapQuietTimer";

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

class SetTopViewEvent : public QEvent {
  public:
    explicit SetTopViewEvent(bool bTopView) : QEvent(kSetTopViewEvent), m_bTopView(bTopView) {}
    bool TopView() const { return m_bTopView; }

  private:
    bool m_bTopView;
};

class SetLivePlaceEvent : public QEvent {
  public:
    explicit SetLivePlaceEvent(std::optional<SoundPlace> place)
        : QEvent(kSetLivePlaceEvent), m_place(place) {}
    const std::optional<SoundPlace>& Place() const { return m_place; }

  private:
    std::optional<SoundPlace> m_place;
};

class SetCaretPlaceEvent : public QEvent {
  public:
    explicit SetCaretPlaceEvent(std::optional<SoundPlace> place)
        : QEvent(kSetCaretPlaceEvent), m_place(place) {}
    const std::optional<SoundPlace>& Place() const { return m_place; }

  private:
    std::optional<SoundPlace> m_place;
};

class SetPlayPositionEvent : public QEvent {
  public:
    explicit SetPlayPositionEvent(uint32_t frame) : QEvent(kSetPlayPositionEvent), m_frame(frame) {}
    uint32_t Frame() const { return m_frame; }  // a frame, or kNoPlayPosition

  private:
    uint32_t m_frame;
};
