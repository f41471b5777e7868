#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <map>

#include "playback/CommandTarget.h"

class QDialog;
class QLabel;
class QPlainTextEdit;
class QStatusBar;

// The main window's status panes, left to right: the message pane ("Ready", taking what is
// left), format, duration and size at their classic widths, then the caret or selection, the
// mouse or the dragged point and the play position, hidden while no document is open. A pane
// widens while its text would be cut off. The labels belong to the status bar; widths are in
// pixels.
//
// The lines that report what was done (ShowStatusLine: saves, exports, recoveries, the HRTF
// state) are kept, the last kKeptLines of them; a click on the message area opens a window
// that shows them whole, newest first, for a line cut short or gone from the bar. While such a
// line is too long for the message area (the panes leave it little room in a window of 1000
// pixels), it shows whole, wrapped, in a strip across the window just above the bar, until the
// bar's line changes; a click on the strip opens the window too. Not while a sound plays: the
// strip would cover the overview bar's play line (the lines then are the playback's own).
class StatusPanes : public QObject {
  public:
    static constexpr int kKeptLines = 50;
    static constexpr int kFormatPaneWidth = 160;
    static constexpr int kDurationPaneWidth = 70;
    static constexpr int kSizePaneWidth = 90;
    // The shortest time between two changes of a running play position in its pane.
    static constexpr int kPlayPaneIntervalMs = 100;
    // The text of format, duration and size while no view fills them.
    static constexpr const char* kBlankPane = "    ";

    explicit StatusPanes(QStatusBar& bar);
    ~StatusPanes();
    StatusPanes(const StatusPanes&) = delete;
    StatusPanes& operator=(const StatusPanes&) = delete;

    // A line in the message area for ms milliseconds (0: until the next). A line too long for
    // the area ends in an ellipsis, and the bar's tool tip holds it whole; so do Qt's own
    // fly-by texts.
    void ShowMessage(const QString& text, int ms);
    // A line that reports what was done: shown as ShowMessage shows it, and kept.
    void ShowStatusLine(const QString& text, int ms);
    // The kept lines, oldest first, each with the time it came ("14:03:27").
    const std::deque<QString>& KeptLines() const { return m_keptLines; }
    // Opens (or brings up) the window of the kept lines; null while none is kept.
    QWidget* OpenMessages();

    // A sound plays, or stopped: the strip hides and is not shown while it plays.
    void SetPlaying(bool bPlaying);

    // 0 ... 3: the message pane, then format, duration and size.
    QLabel* Pane(int index) const { return m_panes[index]; }
    // 0 ... 3: the position panes, then the recording mode (shown while armed).
    QLabel* ReadoutPane(int index) const { return m_readoutPanes[index]; }

    // Asks for each pane's state by its command id and shows its text; a position pane shows
    // while its state is enabled.
    using AskState = std::function<void(unsigned id, CommandState& state)>;
    void Update(const AskState& ask);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnMessageChanged(const QString& shown);
    bool InMessageArea(const QPoint& at) const;
    // The message area's width as the bar paints it: up to the first visible permanent pane.
    int MessageWidth() const;
    QString Elided(const QString& text) const;
    // Shows text whole in the strip over the bottom of the window, or hides the strip.
    void ShowWhole(const QString& text);
    void PlaceWholeLine();

    QStatusBar& m_bar;
    QString m_ownLine;  // the elided line this object showed last
    QMetaObject::Connection m_messageWatch;
    void UpdateReadouts(const AskState& ask);
    void FitWidth(QLabel& pane);

    QLabel* m_panes[4] = {};
    QLabel* m_readoutPanes[4] = {};  // selection, mouse, play, recording armed
    // What each pane's width was last fitted to.
    struct PaneFit {
        bool bValid = false;
        QString text;
        QFont font;
    };
    std::map<const QLabel*, PaneFit> m_paneFits;
    QElapsedTimer m_playPaneClock;  // since the play pane last changed
    std::deque<QString> m_keptLines;
    QPointer<QDialog> m_pMessages;  // the window of the kept lines, a child of the bar's window
    QPlainTextEdit* m_pMessageText = nullptr;  // in it
    QLabel* m_pWholeLine = nullptr;            // a child of the bar's window
    bool m_bPlaying = false;
};
