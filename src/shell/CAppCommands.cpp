#include "shell/CAppCommands.h"

#include <QWidget>

#include "platform/UserPrompts.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "shell/CAboutDialog.h"
#include "shell/CFileOpenDialog.h"
#include "shell/CHelpWindow.h"
#include "shell/CMyMultiDocTemplate.h"
#include "shell/COptionsDialog.h"
#include "shell/CRecentFileList.h"

using namespace CommandId;

CAppCommands::CAppCommands(CEditorApp& app, CMyMultiDocTemplate& docTemplate,
                           CRecentFileList& recentFiles, QWidget& mainWindow)
    : m_app(app), m_template(docTemplate), m_recentFiles(recentFiles), m_mainWindow(mainWindow) {}

bool CAppCommands::UpdateCommand(unsigned id, CommandState& state) {
    if (id >= kFileMru1 && id < kFileMru1 + CRecentFileList::kSize) {
        state.enabled = id - kFileMru1 < m_recentFiles.Entries().size();
        return true;
    }
    switch (id) {
        case kFileOpen:
        case kImport:
        case kPreferences:
        case kAppAbout:
        case kAppExit:
        case kHelpFinder:
        case kHelp:
        case kContextHelp:
            state.enabled = true;
            return true;
        case kStop:
        case kPlayStop:
            // No view answered Play/Stop: it can only stop.
            state.enabled = m_app.IsPlaying();
            return true;
        case kCursorFollow:
            state.enabled = true;
            state.checked = m_app.IsCursorFollow();
            return true;
        case kLoopPlayback:
            state.enabled = true;
            state.checked = m_app.GetPlayback().IsLoop();
            return true;
        case kPlayThroughFilter:
            state.enabled = true;
            state.checked = m_app.IsPlayThroughFilter();
            return true;
        case kPlayThroughBinaural:
            state.enabled = true;
            state.checked = m_app.IsPlayThroughBinaural();
            return true;
        case kRecordTrajectory:
            state.enabled = true;
            state.checked = m_app.GetPlayback().IsRecordArmed();
            return true;
        case kRecordTouch:
        case kRecordLatch:
        case kRecordWrite:
            state.enabled = true;
            state.checked =
                static_cast<unsigned>(m_app.GetPlayback().GetRecordMode()) == id - kRecordTouch;
            return true;
        case kResetHead:
            state.enabled = m_app.GetHeadTracker().IsRunning();
            return true;
        case kIndicatorRecord: {
            // Shown only while armed, naming the mode a press will record in.
            static const char* const kModes[] = {"Record: Touch", "Record: Latch", "Record: Write"};
            state.enabled = m_app.GetPlayback().IsRecordArmed();
            state.text = kModes[static_cast<int>(m_app.GetPlayback().GetRecordMode())];
            return true;
        }
        default:
            return false;
    }
}

bool CAppCommands::RunCommand(unsigned id) {
    if (id >= kFileMru1 && id < kFileMru1 + CRecentFileList::kSize) {
        OnOpenRecentFile(static_cast<int>(id - kFileMru1));
        return true;
    }
    switch (id) {
        case kFileOpen:
            OnFileOpen();
            return true;
        case kImport:
            OnFileImport();
            return true;
        case kPreferences:
            OnPreferences();
            return true;
        case kStop:
        case kPlayStop:
            m_app.GetPlayback().Stop();
            return true;
        case kCursorFollow:
            m_app.OnCursorFollow();
            return true;
        case kLoopPlayback:
            m_app.GetPlayback().SetLoop(!m_app.GetPlayback().IsLoop());
            return true;
        case kPlayThroughFilter:
            m_app.OnPlayThroughFilter();
            return true;
        case kPlayThroughBinaural:
            m_app.OnPlayThroughBinaural();
            return true;
        case kRecordTrajectory:
            m_app.GetPlayback().SetRecordArmed(!m_app.GetPlayback().IsRecordArmed());
            return true;
        case kRecordTouch:
        case kRecordLatch:
        case kRecordWrite:
            m_app.GetPlayback().SetRecordMode(
                static_cast<PlaybackSession::RecordMode>(id - kRecordTouch));
            return true;
        case kResetHead:
            m_app.GetHeadTracker().ResetHead();
            m_app.Prompts().ShowStatus("Head reset: the present orientation is straight ahead.");
            return true;
        case kAppAbout:
            OnAppAbout();
            return true;
        case kHelpFinder:
        case kHelp:
        case kContextHelp:
            OnHelpFinder();
            return true;
        case kAppExit:
            m_mainWindow.close();
            return true;
        default:
            return false;
    }
}

void CAppCommands::OnFileOpen() {
    const QString pattern =
        "*" + QString::fromStdString(m_template.GetDocString(CMyMultiDocTemplate::filterExt));
    // The longer spellings open as well as the template's two, so the filter shows them too.
    const QList<CFileOpenDialog::Filter> filters = {
        {QString::fromStdString(m_template.GetDocString(CMyMultiDocTemplate::filterName)),
         pattern + ";*.wave;*.aiff"},
        {"All Files (*.*)", "*.*"}};
    // The default extension is the first of the template's, without its dot.
    const QString extension = pattern.section(';', 0, 0).mid(2);
    CFileOpenDialog dialog(&m_mainWindow, "Open", QString::fromStdString(m_app.GetOpenFolder()),
                           filters, extension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    m_template.OpenDocumentFile(dialog.selectedFiles().first().toStdString());
}

void CAppCommands::OnFileImport() {
    const QList<CFileOpenDialog::Filter> filters = {
        {"Sound Files (*.wav;*.aif;*.aiff;*.aifc;*.flac;*.ogg;*.oga;*.opus;*.caf;*.rf64;*.w64;"
         "*.au;*.snd)",
         "*.wav;*.aif;*.aiff;*.aifc;*.flac;*.ogg;*.oga;*.opus;*.caf;*.rf64;*.w64;*.au;*.snd"},
        {"All Files (*.*)", "*.*"}};
    CFileOpenDialog dialog(&m_mainWindow, "Import", QString::fromStdString(m_app.GetOpenFolder()),
                           filters, "wav");
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    m_template.ImportDocumentFile(dialog.selectedFiles().first().toStdString());
}

void CAppCommands::OnOpenRecentFile(int index) {
    const std::vector<std::string>& entries = m_recentFiles.Entries();
    if (index < 0 || static_cast<size_t>(index) >= entries.size()) {
        return;
    }
    const std::string path = entries[static_cast<size_t>(index)];
    if (m_template.OpenDocumentFile(path) == nullptr) {
        const auto& now = m_recentFiles.Entries();
        for (size_t i = 0; i < now.size(); ++i) {
            if (now[i] == path) {
                m_recentFiles.Remove(static_cast<int>(i));
                m_recentFiles.WriteList();
                break;
            }
        }
    }
}

void CAppCommands::OnPreferences() {
    // Accepting the dialog writes the preferences back and ends playback and the session.
    COptionsDialog dialog(m_app, &m_mainWindow);
    dialog.exec();
}

void CAppCommands::OnAppAbout() {
    CAboutDialog about(&m_mainWindow);
    about.exec();
}

void CAppCommands::OnHelpFinder() {
    CHelpWindow::ShowGuide(&m_mainWindow);
}
