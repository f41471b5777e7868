#pragma once

#include <QObject>
#include <QTimer>

// Calls the frame's command-state refresh once the event queue has run dry, as the idle
// update of the platform does. A pass is armed only by real work (input, timers, posted
// calls); repaints and its own timer do not arm another, so an idle program stays asleep.
class CIdleUpdater : public QObject {
    Q_OBJECT

  public:
    explicit CIdleUpdater(QObject* parent = nullptr);
    ~CIdleUpdater() override;

    // Passes run so far.
    int PassCount() const { return m_passCount; }

  signals:
    void Idle();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnAboutToBlock();
    void OnTimer();

    QTimer m_timer;
    bool m_bDirty = true;
    bool m_bInPass = false;
    int m_passCount = 0;
};
