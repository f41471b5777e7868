#include "shell/HeadTrackingMonitor.h"

#include <QMainWindow>
#include <QStatusBar>
#include <cmath>

#include "playback/CEditorApp.h"

namespace {

QString Degrees(double value) {
    // -0 reads as 0.
    const long whole = std::lround(value);
    return QString::number(whole == 0 ? 0 : whole) + QChar(0x00B0);
}

}  // namespace

HeadTrackingMonitor::HeadTrackingMonitor(CEditorApp& app, QMainWindow& window)
    : QObject(&window),
      m_app(app),
      m_pane(new QLabel),
      m_places(app.GetHeadTracker(), app.GetPlayback(), app.Prompts()) {
    m_pane->setObjectName("headTrackingPane");
    m_pane->setToolTip(
        "Where the head tracker turns the head (yaw + right, pitch + up, roll + right ear "
        "down) and when its last message came. Reset Head makes the present orientation "
        "straight ahead.");
    m_pane->setVisible(false);
    window.statusBar()->addPermanentWidget(m_pane);
    connect(&m_timer, &QTimer::timeout, this, &HeadTrackingMonitor::Poll);
    m_timer.start(kIdlePollMs);
    Poll();
}

QString HeadTrackingMonitor::PaneText(int port, const TrackedHead::Sample& sample,
                                      TrackedHead::Clock::time_point now) {
    if (!sample.received) {
        return QString("Head tracker: waiting on UDP %1").arg(port);
    }
    const double ago = std::chrono::duration<double>(now - *sample.received).count();
    const QString age = ago < 10.0    ? QString::number(std::max(ago, 0.0), 'f', 1) + " s"
                        : ago < 120.0 ? QString::number(std::lround(ago)) + " s"
                                      : QString::number(std::lround(ago / 60.0)) + " min";
    return QString("Head: yaw %1, pitch %2, roll %3 (%4 ago)")
        .arg(Degrees(sample.turn.yaw), Degrees(sample.turn.pitch), Degrees(sample.turn.roll), age);
}

void HeadTrackingMonitor::Poll() {
    HeadTracker& tracker = m_app.GetHeadTracker();
    const bool bRunning = tracker.IsRunning();
    const int interval = bRunning ? kPollMs : kIdlePollMs;
    if (m_timer.interval() != interval) {
        m_timer.setInterval(interval);
    }
    if (m_pane != nullptr) {
        if (bRunning) {
            const QString text =
                PaneText(tracker.Port(), tracker.Head()->Read(), TrackedHead::Clock::now());
            if (m_pane->text() != text) {
                m_pane->setText(text);
            }
        }
        if (m_pane->isHidden() == bRunning) {
            m_pane->setVisible(bRunning);
        }
    }
    if (bRunning) {
        m_places.Poll();
    }
}
