#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "playback/OscPlaceFeed.h"
#include "playback/TrackedHead.h"

class CEditorApp;
class QMainWindow;

// What the main window shows and does of head tracking, polled on the interface thread: a
// status-bar pane with the head's angles and how long ago the last message came (hidden while
// tracking is off), and the places /sonomap/place brought handed to Record Trajectory. The
// receiving thread is never called from here, nor does it call here: both only read what it
// left. The window owns it (make it with new); the application outlives the window.
class HeadTrackingMonitor : public QObject {
  public:
    // How often it looks while tracking runs, and while it does not (to notice it starting).
    static constexpr int kPollMs = 40;
    static constexpr int kIdlePollMs = 500;

    HeadTrackingMonitor(CEditorApp& app, QMainWindow& window);

    // The pane's text: "Head tracker: waiting on UDP 7120" before any message, else "Head: yaw
    // 12°, pitch -3°, roll 0° (0.4 s ago)".
    static QString PaneText(int port, const TrackedHead::Sample& sample,
                            TrackedHead::Clock::time_point now);
    QLabel* Pane() const { return m_pane; }
    // One look (the timer's).
    void Poll();

  private:
    CEditorApp& m_app;
    QPointer<QLabel> m_pane;
    QTimer m_timer;
    OscPlaceFeed m_places;
};
