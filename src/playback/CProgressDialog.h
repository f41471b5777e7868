#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include "platform/ProgressIndicator.h"

class QLabel;
class QProgressBar;
class QPushButton;

// The export's modeless progress window: a bar, a percentage label, a status line and Cancel.
// While it exists its owner (the parent given to Create, else the application's main window)
// is disabled, so no other command can start; destroying it enables the owner again if Create
// disabled it. Cancel only raises a flag that CheckCancelButton reads; the window stays open.
// Events are dispatched only when the caller asks (SetPos, CheckCancelButton, PumpMessages).
// Positions are in the range given to SetRange, 0 .. 100 by default.
class CProgressDialog : public QDialog, public ProgressIndicator {
    Q_OBJECT

  public:
    static constexpr int kDefaultCaptionId = 106;

    explicit CProgressDialog(int captionId = kDefaultCaptionId);
    // A caption of its own instead of a string id's.
    explicit CProgressDialog(const QString& caption);
    ~CProgressDialog() override;

    // Disables the owner and shows the window. True: a Qt window cannot fail to be created.
    bool Create(QWidget* parent = nullptr);

    void SetRange(int lower, int upper) override;
    // Dispatches pending events first, then moves the bar and the percentage label.
    int SetPos(int pos) override;
    void SetStatus(const std::string& text) override;
    // Beside the status line: "0:03 of 0:05".
    void SetTime(const std::string& text) override;
    // Dispatches pending events first; returns the flag and clears it.
    bool CheckCancelButton() override;
    // Handles every pending event of this thread, this window's keys included.
    void PumpMessages();

    // The caption text of a string id: 106 is "Creating AmbrelStereo file...", others none.
    static QString LoadCaption(int id);
    // The application's main window: its first top-level QMainWindow, or null.
    static QWidget* MainWindow();

    QProgressBar* Bar() const { return m_pBar; }
    QLabel* PercentLabel() const { return m_pPercent; }
    QLabel* StatusLine() const { return m_pStatus; }
    QLabel* TimeLine() const { return m_pTime; }
    QPushButton* CancelButton() const { return m_pCancel; }

  protected:
    // Escape and the window's close button act as Cancel.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnCancel() { m_bCancel = true; }

    int m_captionId;
    QString m_caption;  // when set, the title instead of the string id's
    int m_lower = 0;
    int m_upper = 100;
    bool m_bCancel = false;
    QPointer<QWidget> m_pOwner;
    bool m_bOwnerDisabled = false;  // Create disabled the owner and must enable it again
    QProgressBar* m_pBar;           // the widgets are owned by the dialog
    QLabel* m_pPercent;
    QLabel* m_pStatus;
    QLabel* m_pTime;
    QPushButton* m_pCancel;
};
