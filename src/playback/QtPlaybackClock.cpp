#include "playback/QtPlaybackClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMutex>

namespace {

// The mixer's wave-done message as a Qt event; it names the play it ends.
const QEvent::Type kWaveDoneEvent = QEvent::Type(QEvent::User + 0x3BD);

class WaveDoneEvent : public QEvent {
  public:
    explicit WaveDoneEvent(uint32_t play) : QEvent(kWaveDoneEvent), m_play(play) {}
    uint32_t Play() const { return m_play; }

  private:
    uint32_t m_play;
};

// The clock that started the last play; the mixer's thread reads it to post its notice, and
// a clock that goes clears it first, under the lock.
QMutex g_targetLock;
QtPlaybackClock* g_target = nullptr;

}  // namespace

QtPlaybackClock::QtPlaybackClock() {
    // Coarse, so the tick wakes the program together with other timers of its period.
    m_timer.setTimerType(Qt::CoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_onTick) {
            m_onTick();
        }
    });
}

QtPlaybackClock::~QtPlaybackClock() {
    QMutexLocker lock(&g_targetLock);
    if (g_target == this) {
        g_target = nullptr;
    }
}

void QtPlaybackClock::Connect(std::function<void()> onTick,
                              std::function<void(uint32_t)> onWaveDone) {
    m_onTick = std::move(onTick);
    m_onWaveDone = std::move(onWaveDone);
}

void QtPlaybackClock::Start(int periodMs) {
    {
        QMutexLocker lock(&g_targetLock);
        g_target = this;
    }
    m_timer.start(periodMs);
}

void QtPlaybackClock::PostWaveDone(void* user, uint32_t /*channel*/) {
    const auto play = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(user));
    QMutexLocker lock(&g_targetLock);
    if (g_target) {
        QCoreApplication::postEvent(g_target, new WaveDoneEvent(play));
    }
}

void QtPlaybackClock::customEvent(QEvent* event) {
    if (event->type() == kWaveDoneEvent && m_onWaveDone) {
        m_onWaveDone(static_cast<WaveDoneEvent*>(event)->Play());
    }
}
