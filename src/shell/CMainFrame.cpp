#include "shell/CMainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QStatusBar>
#include <QToolBar>
#include <QToolTip>
#include <QUrl>
#include <algorithm>

#include "document/CTesselDoc.h"
#include "document/RecoveryFolder.h"
#include "platform/SettingsStore.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/CommandTable.h"
#include "shell/CAppCommands.h"
#include "shell/CChildFrame.h"
#include "shell/CMainFrameClient.h"
#include "shell/CommandActions.h"
#include "shell/MainWindowPlace.h"
#include "shell/MenuKeyStyle.h"
#include "shell/RecoveryKeeper.h"
#include "shell/SaveNameDialog.h"
#include "shell/StatusPanes.h"
#include "shell/ToolBarIcons.h"
#include "views/COverviewToolBar.h"
#include "views/DocumentView.h"
#include "views/PositionReadouts.h"
#include "views/ViewEvents.h"

using namespace CommandId;

namespace {

const char* const kBarStateSection = "Bar State";
const int kStatusLineMs = 10000;

const unsigned kBarToggles[] = {kBarBasic, kBarTransport, kBarInfo, kBarOverview, kBarStatus};

}  // namespace

CMainFrame::CMainFrame(CEditorApp& app, SettingsStore& settings,
                       CMyMultiDocTemplate::ViewFactory viewFactory, QWidget* parent)
    : QMainWindow(parent), m_app(app), m_settings(settings), m_recentFiles(settings) {
    setWindowTitle("Sonomap");
    setAcceptDrops(true);

    // The name under which this window can be found by a second start.
    const QString name = m_instance.Listen();
    if (!name.isEmpty()) {
        m_app.SetMainFrameClassName(name.toStdString());
    }
    connect(&m_instance, &CSingleInstance::ActivationRequested, this,
            &CMainFrame::OnActivationRequested);

    m_pClient = new CMainFrameClient(this);
    setCentralWidget(m_pClient);
    connect(m_pClient, &QMdiArea::subWindowActivated, this, &CMainFrame::OnChildActivated);
    m_recentFiles.ReadList();
    m_pTemplate = std::make_unique<CMyMultiDocTemplate>(m_app, *m_pClient, m_recentFiles,
                                                        std::move(viewFactory));
    m_pTemplate->RememberWindowStateIn(&m_settings);
    m_pAppCommands = std::make_unique<CAppCommands>(m_app, *m_pTemplate, m_recentFiles, *this);
    connect(m_pTemplate.get(), &CMyMultiDocTemplate::DocumentsChanged, this,
            &CMainFrame::SwitchMenu);

    m_pActions =
        std::make_unique<CommandActions>(*this, [this](unsigned id) { ExecuteCommand(id); });
    m_pPanes = std::make_unique<StatusPanes>(*statusBar());
    CreateToolBars();
    CreateMenus();
    SwitchMenu();
    LoadBarState();

    m_app.GetPlayback().AddListener(this);
    m_app.Dialogs().SetOpenDocumentQuery([this](const std::string& path) {
        return m_pTemplate->IsPathInUse(CMyMultiDocTemplate::FullPath(path));
    });
    m_app.Dialogs().SetSaveName([this](const SaveNameRequest& request, SaveNameResult& result) {
        return RunSaveNameDialog(
            this, request, result, m_app.Prompts(),
            [this](const std::string& path) { return m_app.Dialogs().IsDocumentOpen(path); },
            &m_settings);
    });

    // A line that stays a while, until the next fly-by text takes its place.
    m_app.Prompts().SetStatusSink([this](const std::string& text) {
        m_pPanes->ShowStatusLine(QString::fromStdString(text), kStatusLineMs);
    });
    m_pTemplate->EnableRecovery(RecoveryFolder::DefaultPath());

    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            &CMainFrame::OnApplicationStateChanged);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &CMainFrame::EndSession);
    connect(&m_idle, &CIdleUpdater::Idle, this, &CMainFrame::UpdateCommandUI);
    // A click or a drag on the overview moves the active view.
    connect(m_pOverviewBar, &COverviewToolBar::CentreRequested, this, [this](uint32_t frame) {
        if (DocumentView* view = m_activeView.Get()) {
            view->ScrollToSample(frame);
        }
    });
    // Dragging the source there records a path into the active view's sound.
    connect(m_pOverviewBar, &COverviewToolBar::PanDisplayMouse, this,
            [this](QEvent::Type type, double azimuth, std::optional<double> distanceCm) {
                if (type == QEvent::MouseButtonPress) {
                    m_panDisplayView = m_activeView;
                }
                if (DocumentView* view = m_panDisplayView.Get()) {
                    view->PanDisplayMouse(type, azimuth, distanceCm);
                }
            });
}

CMainFrame::~CMainFrame() {
    m_app.GetPlayback().RemoveListener(this);
    m_app.Prompts().SetStatusSink(nullptr);
    m_app.Dialogs().SetOpenDocumentQuery(nullptr);
    m_app.Dialogs().SetSaveName(nullptr);
    // The document windows tell the template when they go, so they go first.
    m_pTemplate->CloseAllDocuments();
}

void CMainFrame::CreateMenus() {
    auto* keyStyle = new MenuKeyStyle(this);
    for (const CommandPlaceInfo& place : CommandTable::Places()) {
        if (place.menu != kNoDocumentMenu && place.menu != kDocumentMenu) {
            continue;
        }
        QMenu* menu = m_pActions->MakeMenu(place.place, keyStyle);
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        // A greyed item cannot be hovered: its reason is shown from here.
        menu->installEventFilter(this);
        (place.menu == kNoDocumentMenu ? m_menus128 : m_menus129).push_back(menu);
        if (place.place == CommandPlace::kWindowMenu129) {
            connect(menu, &QMenu::aboutToShow, this, [this, menu] { ListWindows(*menu); });
        }
    }
}

void CMainFrame::ListWindows(QMenu& menu) {
    // The open documents follow the fixed items, the active one checked.
    const QList<QAction*> items = menu.actions();
    for (qsizetype i = 3; i < items.size(); ++i) {
        menu.removeAction(items[i]);
        delete items[i];
    }
    const std::vector<CChildFrame*>& frames = m_pTemplate->Frames();
    if (!frames.empty()) {
        menu.addSeparator();
    }
    CChildFrame* active = ActiveChild();
    for (size_t i = 0; i < frames.size(); ++i) {
        CChildFrame* frame = frames[i];
        QString title = frame->windowTitle();
        QAction* item = menu.addAction(QString("&%1 %2").arg(i + 1).arg(title.replace("&", "&&")));
        item->setCheckable(true);
        item->setChecked(frame == active);
        connect(item, &QAction::triggered, this, [this, frame] {
            const std::vector<CChildFrame*>& open = m_pTemplate->Frames();
            if (std::find(open.begin(), open.end(), frame) != open.end()) {
                m_pClient->setActiveSubWindow(frame);
            }
        });
    }
}

void CMainFrame::CreateToolBars() {
    m_pBasicBar = m_pActions->MakeToolBar(CommandPlace::kBasicBar);
    addToolBar(Qt::TopToolBarArea, m_pBasicBar);

    // Along the bottom, neither movable nor floating.
    m_pOverviewBar = new COverviewToolBar(m_app.Prompts(), this);
    m_pOverviewBar->setObjectName(QString("ToolBar%1").arg(kBarOverview));
    addToolBar(Qt::BottomToolBarArea, m_pOverviewBar);

    // The next two join "Basic" on its row, each right of the one before.
    m_pTransportBar = m_pActions->MakeToolBar(CommandPlace::kTransportBar);
    addToolBar(Qt::TopToolBarArea, m_pTransportBar);
    m_pInfoBar = m_pActions->MakeToolBar(CommandPlace::kInfoBar);
    m_pInfoBar->setIconSize(ToolBarIcons::kInfoImage);
    addToolBar(Qt::TopToolBarArea, m_pInfoBar);
}

QAction* CMainFrame::Action(unsigned id) const {
    return m_pActions->Action(id);
}

QToolBar* CMainFrame::Bar(unsigned id) const {
    switch (id) {
        case kBarBasic:
            return m_pBasicBar;
        case kBarTransport:
            return m_pTransportBar;
        case kBarInfo:
            return m_pInfoBar;
        case kBarOverview:
            return m_pOverviewBar;
        default:
            return nullptr;
    }
}

QWidget* CMainFrame::BarWidget(unsigned id) const {
    if (id == kBarStatus) {
        return statusBar();
    }
    return Bar(id);
}

void CMainFrame::SwitchMenu() {
    const int menu = m_pTemplate->Frames().empty() ? kNoDocumentMenu : kDocumentMenu;
    if (menu == m_currentMenu) {
        return;
    }
    m_currentMenu = menu;
    UpdateRecentFileItems();
    menuBar()->clear();
    for (QMenu* item : menu == kNoDocumentMenu ? m_menus128 : m_menus129) {
        menuBar()->addMenu(item);
    }
    m_pActions->ShowTextsOf(menu);
}

void CMainFrame::UpdateRecentFileItems() {
    const std::vector<std::string>& entries = m_recentFiles.Entries();
    for (unsigned i = 0; i < CRecentFileList::kSize; ++i) {
        QAction* action = Action(kFileMru1 + i);
        QString text = CommandTable::MenuText(kFileMru1);
        if (i < entries.size()) {
            QString path = QString::fromStdString(entries[i]);
            text = QString("&%1 %2").arg(i + 1).arg(path.replace("&", "&&"));
        }
        if (action->text() != text) {
            action->setText(text);
        }
        // The placeholder stands alone while the list is empty.
        action->setVisible(i == 0 || i < entries.size());
    }
}

void CMainFrame::OnChildActivated(QMdiSubWindow* window) {
    auto* child = dynamic_cast<CChildFrame*>(window);
    DocumentView* view = child != nullptr ? child->GetDocumentView() : nullptr;
    if (view == m_activeView.Get()) {
        return;
    }
    if (DocumentView* previous = m_activeView.Get()) {
        previous->ActivateView(false);
    }
    m_activeView = HeldView{view != nullptr ? &view->ViewWidget() : nullptr, view};
    if (view != nullptr) {
        view->ActivateView(true);
    }
}

CChildFrame* CMainFrame::ActiveChild() const {
    // A closed window waits for its deferred delete; its document no longer counts.
    auto* child = dynamic_cast<CChildFrame*>(m_pClient->currentSubWindow());
    const std::vector<CChildFrame*>& open = m_pTemplate->Frames();
    return std::find(open.begin(), open.end(), child) != open.end() ? child : nullptr;
}

std::vector<CommandTarget*> CMainFrame::Route() const {
    std::vector<CommandTarget*> route;
    if (CChildFrame* child = ActiveChild()) {
        route.push_back(child->GetDocumentView());
        route.push_back(child);
    }
    route.push_back(m_pAppCommands.get());
    route.push_back(const_cast<CMainFrame*>(this));
    return route;
}

bool CMainFrame::UpdateRoutedCommand(unsigned id, CommandState& state) {
    for (CommandTarget* target : Route()) {
        if (target->UpdateCommand(id, state)) {
            return true;
        }
    }
    state.enabled = false;
    return false;
}

bool CMainFrame::ExecuteCommand(unsigned id) {
    CommandState state;
    if (!UpdateRoutedCommand(id, state) || !state.enabled) {
        return false;
    }
    for (CommandTarget* target : Route()) {
        if (target->RunCommand(id)) {
            return true;
        }
    }
    return false;
}

void CMainFrame::UpdateCommandUI() {
    UpdateRecentFileItems();
    const auto ask = [this](unsigned id, CommandState& state) { UpdateRoutedCommand(id, state); };
    m_pActions->Update(ask);
    m_pPanes->Update(ask);
    KeepOverviewRowOfItsOwn();
    if (!m_pOverviewBar->isHidden()) {
        CommandState state;
        state.requester = m_pOverviewBar;
        UpdateRoutedCommand(kOverviewUpdate, state);
    }
    QString title = "Sonomap";
    if (CChildFrame* child = ActiveChild()) {
        child->UpdateTitle();
        // A maximised document window has Qt add " - [title]" to ours: the name shows once.
        if (child->isMaximized()) {
            if (windowTitle() == title + " - [" + child->windowTitle() + "]") {
                title = windowTitle();
            }
        } else {
            title += " - " + child->windowTitle();
        }
    }
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
}

bool CMainFrame::UpdateCommand(unsigned id, CommandState& state) {
    switch (id) {
        case kPlay:
            state.enabled = false;
            return true;
        case kEditUndo:
        case kEditRedo:
            state.enabled = false;
            state.text = CommandTable::MenuText(id);
            return true;
        case kOverviewUpdate:
            if (state.requester != nullptr) {
                OverviewUpdateEvent update{OverviewViewInfo{}};
                QCoreApplication::sendEvent(state.requester, &update);
                SetLivePanEvent pan(kNoLivePan);
                QCoreApplication::sendEvent(state.requester, &pan);
            }
            state.enabled = true;
            return true;
        case kIndicatorFormat:
        case kIndicatorSize:
        case kIndicatorDuration:
            state.enabled = true;
            state.text = StatusPanes::kBlankPane;
            return true;
        case kIndicatorSelection:
        case kIndicatorMouse:
            // No view answered: no document, no pane.
            state.enabled = false;
            return true;
        case kIndicatorPlay:
            // Whichever window plays, the pane shows where.
            state.enabled = ActiveChild() != nullptr;
            state.text = PlayReadout();
            return true;
        case kWindowCascade:
        case kWindowTile:
        case kWindowArrange:
            state.enabled = ActiveChild() != nullptr;
            return true;
        default:
            break;
    }
    for (unsigned bar : kBarToggles) {
        if (id == bar) {
            state.enabled = true;
            state.checked = !BarWidget(id)->isHidden();
            return true;
        }
    }
    return false;
}

bool CMainFrame::RunCommand(unsigned id) {
    switch (id) {
        case kWindowCascade:
            m_pClient->Cascade();
            return true;
        case kWindowTile:
            m_pClient->tileSubWindows();
            return true;
        case kWindowArrange:
            m_pClient->ArrangeIcons();
            return true;
        default:
            break;
    }
    for (unsigned bar : kBarToggles) {
        if (id == bar) {
            QWidget* widget = BarWidget(id);
            widget->setVisible(widget->isHidden());
            return true;
        }
    }
    return false;
}

void CMainFrame::PlaceOnScreen() {
    MainWindowPlace::Restore(*this, m_settings);
}

void CMainFrame::SaveBarState() {
    MainWindowPlace::Save(*this, m_settings);
    m_settings.SetString(kBarStateSection, "Layout", saveState().toBase64().toStdString());
    m_settings.SetInt(kBarStateSection, "StatusBar", statusBar()->isHidden() ? 0 : 1);
}

void CMainFrame::LoadBarState() {
    const std::string layout = m_settings.GetString(kBarStateSection, "Layout", "");
    if (!layout.empty()) {
        restoreState(QByteArray::fromBase64(QByteArray::fromStdString(layout)));
    }
    statusBar()->setVisible(m_settings.GetInt(kBarStateSection, "StatusBar", 1) != 0);
    KeepOverviewRowOfItsOwn();
}

void CMainFrame::KeepOverviewRowOfItsOwn() {
    // While a bar is dragged its gap may sit on the overview's row; the drop decides.
    if (m_pOverviewBar->HasRowOfItsOwn() || QGuiApplication::mouseButtons() != Qt::NoButton) {
        return;
    }
    addToolBarBreak(Qt::BottomToolBarArea);
    addToolBar(Qt::BottomToolBarArea, m_pOverviewBar);
}

bool CMainFrame::OpenFiles(const QStringList& files) {
    bool bAllOpened = true;
    for (const QString& file : files) {
        bAllOpened = m_pTemplate->OpenDocumentFile(file.toStdString()) != nullptr && bAllOpened;
    }
    return bAllOpened;
}

void CMainFrame::EndSession() {
    SaveBarState();
}

void CMainFrame::OfferRecovery() {
    m_pTemplate->GetRecovery()->OfferLeftovers();
}

void CMainFrame::KeepRecoveryJournals() {
    m_pTemplate->GetRecovery()->KeepJournals();
}

void CMainFrame::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_bShownOnce) {
        m_bShownOnce = true;
        MainWindowPlace::KeepInside(*this);
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_pTemplate->SaveAllModified()) {
        event->ignore();
        return;
    }
    SaveBarState();
    m_pTemplate->CloseAllDocuments();
    event->accept();
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu != nullptr &&
        (event->type() == QEvent::MouseMove || event->type() == QEvent::ToolTip)) {
        const QPoint at = event->type() == QEvent::MouseMove
                              ? static_cast<QMouseEvent*>(event)->position().toPoint()
                              : static_cast<QHelpEvent*>(event)->pos();
        QAction* action = menu->actionAt(at);
        if (action != nullptr && !action->isEnabled() &&
            action->statusTip() != action->property("plainStatusTip").toString()) {
            statusBar()->showMessage(action->statusTip());
            QToolTip::showText(menu->mapToGlobal(at), action->toolTip(), menu);
        } else if (event->type() == QEvent::ToolTip) {
            QToolTip::hideText();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            files << url.toLocalFile();
        }
    }
    event->acceptProposedAction();
    activateWindow();
    OpenFiles(files);
}

std::string CMainFrame::PlayReadout() const {
    return m_playFrame ? PositionReadouts::PlayText(*m_playFrame, m_playRate) : std::string();
}

void CMainFrame::OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) {
    m_playFrame = startFrame;
    m_playRate = document.GetFormat().sampleRate;
    m_pPanes->SetPlaying(true);
}

void CMainFrame::OnPlaybackTick(CTesselDoc& /*document*/, const PlaybackTick& tick) {
    m_playFrame = tick.heardFrame;
}

void CMainFrame::OnPlaybackStopped(CTesselDoc& /*document*/, const PlaybackStop& /*stop*/) {
    m_playFrame.reset();
    m_pPanes->SetPlaying(false);
}

void CMainFrame::OnApplicationStateChanged(Qt::ApplicationState state) {
    // Another program has the user now: give the output device back. Back from it, the
    // files another program wrote meanwhile may be loaded again.
    if (state != Qt::ApplicationActive) {
        m_app.GetPlayback().Stop();
        m_app.CloseMixerSession();
    } else {
        m_pTemplate->OfferReloads();
    }
}

void CMainFrame::OnActivationRequested(const QStringList& files) {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
    OpenFiles(files);
}
