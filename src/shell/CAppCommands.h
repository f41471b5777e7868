#pragma once

#include "playback/CommandTarget.h"

class CEditorApp;
class CMyMultiDocTemplate;
class CRecentFileList;
class QWidget;

// The application's commands, third on the command route: Open, Import, the recent files,
// Preferences, Stop, Cursor Follows Playback, About, help and Exit. Play's enabling is not
// here: with no view to answer it, the main frame's default (disabled) must decide.
// Everything it is given must outlive it; mainWindow parents its dialogs.
class CAppCommands : public CommandTarget {
  public:
    CAppCommands(CEditorApp& app, CMyMultiDocTemplate& docTemplate, CRecentFileList& recentFiles,
                 QWidget& mainWindow);

    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

    // File Open: the open dialog, then the document template.
    void OnFileOpen();
    // Import: an open dialog for the formats libsndfile reads, then the template's import.
    void OnFileImport();
    // Opens entry index of the recent-file list; an entry that no longer opens is dropped.
    void OnOpenRecentFile(int index);
    // Preferences: after OK the next play opens a session with the new values.
    void OnPreferences();

    // The About box, modal.
    void OnAppAbout();
    // The built-in guide (Help Topics, F1 and the context help button).
    void OnHelpFinder();

  private:
    CEditorApp& m_app;
    CMyMultiDocTemplate& m_template;
    CRecentFileList& m_recentFiles;
    QWidget& m_mainWindow;
};
