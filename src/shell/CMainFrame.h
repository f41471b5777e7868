#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

#include "playback/CSingleInstance.h"
#include "playback/CommandTarget.h"
#include "playback/PlaybackListener.h"
#include "shell/CIdleUpdater.h"
#include "shell/CMyMultiDocTemplate.h"
#include "shell/CRecentFileList.h"
#include "shell/StatusPanes.h"

class COverviewToolBar;
class DocumentView;
class QMdiSubWindow;

class CAppCommands;
class CChildFrame;
class CommandActions;
class CEditorApp;
class CMainFrameClient;
class QAction;
class QMenu;
class QToolBar;
class SettingsStore;

// The main window: menus 128 (no document) and 129 (a document open), accelerator table 128,
// the tool bars "Basic", "Transport" and "Info." (made by CommandActions from the command
// table), the overview bar, the status bar with its panes (StatusPanes), and the document area. It
// routes every command (active view, its document's window, the application's commands, then
// itself) and answers what nobody else does. It owns the document template, the recent-file list
// and the single-instance listener; the application and the settings must outlive it.
class CMainFrame : public QMainWindow, public CommandTarget, public PlaybackListener {
    Q_OBJECT

  public:
    static constexpr int kNoDocumentMenu = 128;
    static constexpr int kDocumentMenu = 129;

    CMainFrame(CEditorApp& app, SettingsStore& settings,
               CMyMultiDocTemplate::ViewFactory viewFactory, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The play pane follows whichever sound plays.
    void OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) override;
    void OnPlaybackTick(CTesselDoc& document, const PlaybackTick& tick) override;
    void OnPlaybackStopped(CTesselDoc& document, const PlaybackStop& stop) override;

    CMyMultiDocTemplate& GetDocTemplate() { return *m_pTemplate; }
    CMainFrameClient& GetClient() const { return *m_pClient; }
    CRecentFileList& GetRecentFiles() { return m_recentFiles; }
    CIdleUpdater& GetIdleUpdater() { return m_idle; }

    // The action of a command id, or null.
    QAction* Action(unsigned id) const;
    // A bar by its id (59392, 200, 145, 59492), or null.
    QToolBar* Bar(unsigned id) const;
    // Status pane 0 ... 3: the message pane, then format, duration and size.
    QLabel* Pane(int index) const { return m_pPanes->Pane(index); }
    // The position panes right of them, 0 ... 2: the caret or selection, the mouse or the
    // dragged point, the play position. Hidden while no document is open.
    QLabel* ReadoutPane(int index) const { return m_pPanes->ReadoutPane(index); }
    // The shortest time between two changes of a running play position in its pane.
    static constexpr int kPlayPaneIntervalMs = StatusPanes::kPlayPaneIntervalMs;
    // 128 or 129.
    int CurrentMenu() const { return m_currentMenu; }

    // Asks the route for a command's state; false when nobody answers (the command is then
    // disabled).
    bool UpdateRoutedCommand(unsigned id, CommandState& state);
    // Runs a command through the route if its state says it is enabled; false otherwise.
    bool ExecuteCommand(unsigned id);
    // The idle refresh: every action, the status panes, the overview bar, the title.
    void UpdateCommandUI();

    void SaveBarState();
    void LoadBarState();
    // Opens each file; files that are open already come to the front. False when one of them
    // failed (it has said why).
    bool OpenFiles(const QStringList& files);
    // The session ends from outside (logout, SIGTERM): keeps the bars. The documents go
    // without questions with the frame, once no dialog of theirs is on the stack.
    void EndSession();
    // At start, once the command line's files are open: offers the unsaved changes a run that
    // ended abnormally left behind.
    void OfferRecovery();
    // The run is being ended from outside: the unsaved changes' journals stay for the next
    // start instead of going with their documents.
    void KeepRecoveryJournals();
    // The remembered geometry, or the first start's size, inside the screen's available area.
    void PlaceOnScreen();

    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    // The first show knows the frame: the window is then kept wholly on the screen.
    void showEvent(QShowEvent* event) override;
    // The menus' greyed items with a reason show it on hover.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateMenus();
    void CreateToolBars();
    void SwitchMenu();
    void ListWindows(QMenu& menu);
    void UpdateRecentFileItems();
    void OnApplicationStateChanged(Qt::ApplicationState state);
    // Where the playing sound is heard, whichever window plays; "" while nothing plays.
    std::string PlayReadout() const;
    void OnActivationRequested(const QStringList& files);
    // The caret blinks only in the active document's view.
    void OnChildActivated(QMdiSubWindow* window);
    CChildFrame* ActiveChild() const;
    std::vector<CommandTarget*> Route() const;
    QWidget* BarWidget(unsigned id) const;
    // A bar docked on the overview's row, by a drop or a saved state, leaves it that row:
    // the overview moves to a new row of its own and the others keep theirs.
    void KeepOverviewRowOfItsOwn();

    CEditorApp& m_app;
    SettingsStore& m_settings;
    CRecentFileList m_recentFiles;
    bool m_bShownOnce = false;
    CMainFrameClient* m_pClient = nullptr;  // owned by the window
    std::unique_ptr<CMyMultiDocTemplate> m_pTemplate;
    std::unique_ptr<CAppCommands> m_pAppCommands;
    CSingleInstance m_instance;
    CIdleUpdater m_idle;

    std::unique_ptr<CommandActions> m_pActions;
    std::vector<QMenu*> m_menus128;
    std::vector<QMenu*> m_menus129;
    int m_currentMenu = 0;
    std::unique_ptr<StatusPanes> m_pPanes;
    QToolBar* m_pBasicBar = nullptr;
    QToolBar* m_pTransportBar = nullptr;
    QToolBar* m_pInfoBar = nullptr;
    COverviewToolBar* m_pOverviewBar = nullptr;
    // A document view, held while its widget lives.
    struct HeldView {
        QPointer<QWidget> widget;
        DocumentView* view = nullptr;
        DocumentView* Get() const { return widget ? view : nullptr; }
    };
    HeldView m_activeView;
    // The view a press on the pan display went to: its move and release follow it there.
    HeldView m_panDisplayView;
    // The frame being heard and its rate, while a sound plays.
    std::optional<uint32_t> m_playFrame;
    uint32_t m_playRate = 0;
};
