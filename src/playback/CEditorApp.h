#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "trevant/trevant.h"

class CTesselDoc;
class CWaveScrollView;
class PanPointList;
class SettingsStore;
class UndoRecord;
class UserPrompts;

// The application object: the user's preferences, the one mixer session, which document and
// view play, the edit mode shared by all views, and the program-wide undo record and pan
// clipboard, which it owns. Plain C++: the user is reached through UserPrompts and the
// settings through SettingsStore, so the Qt start-up and the tests hand in their own.
// Rates are Hz, latency milliseconds.
class CEditorApp {
  public:
    static constexpr int kEditModePan = 1;
    static constexpr int kEditModeSelect = 2;
    static constexpr int kOutputDirectSound = 0;
    static constexpr int kOutputWaveOut = 1;
    static constexpr int kOutputLetMixerDecide = 2;
    // "Initialization"/"ClassName" before any main frame ran, and after a normal exit.
    static constexpr const char* kNoClassName = "Noneasdasdasd";
    static constexpr const char* kExitedClassName = "wergarbageqwert";

    CEditorApp(UserPrompts& prompts, SettingsStore& settings);
    ~CEditorApp();
    CEditorApp(const CEditorApp&) = delete;
    CEditorApp& operator=(const CEditorApp&) = delete;

    // Reads the "Preferences" keys; a boolean key is on only when it holds 1.
    void LoadPreferences();
    // Writes the "Preferences" keys in their fixed order.
    void SavePreferences();
    // The local-socket name the running main frame listens on ("Initialization"/"ClassName").
    std::string GetMainFrameClassName();
    void SetMainFrameClassName(const std::string& name);
    // The shutdown after the message loop: marks the main frame gone, closes the mixer
    // session, drops the undo record and the clipboard, writes the preferences.
    void ExitInstance();

    // The session's rate class: 11025, 22050 or 44100.
    static uint32_t RoundMixerRate(uint32_t rate);
    // The session record for a rounded rate under the current preferences.
    MixerSessionConfig MakeMixerConfig(uint32_t roundedRate) const;
    // "AmbrelWaveMix Error <code>..." with the library's text, and the hint for code 21.
    static std::string FormatMixerError(int code);

    // Makes sure a session for the rate's class is open; every failure is shown to the user
    // and leaves no session (GetMixerSession() is then 0).
    void OpenMixerSession(uint32_t rate);
    void CloseMixerSession();
    AmbrelWaveMixSession GetMixerSession() const { return m_hSession; }
    uint32_t GetSessionRate() const { return m_sessionRate; }
    // Shows one OK box for a non-zero mixer code.
    void ReportMixerError(int code);

    // Silences channel 0 and forgets the playing document and view. The playing view's own
    // steps (its timer, the live pan display, cursor following) come with playback.
    void StopPlayback();
    bool IsPlaying() const { return m_pPlayingDoc != nullptr; }
    CTesselDoc* GetPlayingDocument() const { return m_pPlayingDoc; }
    CWaveScrollView* GetPlayingView() const { return m_pPlayingView; }
    void SetPlaying(CTesselDoc* document, CWaveScrollView* view);
    void ClearPlaying();

    // Command states and actions that need no window.
    bool IsPlayEnabled() const { return !IsPlaying(); }
    bool IsStopEnabled() const { return IsPlaying(); }
    // Cursor Follows Playback: flips the preference; the menu item is checked while it is on.
    void OnCursorFollow() { m_bCursorFollow = !m_bCursorFollow; }
    // The options dialog ended with OK: the next play opens a session with the new values,
    // whether anything changed or not.
    void OnOptionsAccepted();

    UserPrompts& Prompts() { return m_prompts; }

    // Preferences; the options dialog edits them in place.
    bool m_bCursorFollow = false;
    int m_mixerOutput = kOutputLetMixerDecide;
    bool m_bLowpassFilter = false;
    bool m_bUsePrimaryBuffer = false;
    int m_latency = 0;  // ms, 0 = the mixer's default
    // Last folders of Save As, Open and Export.
    std::string m_savePath;
    std::string m_openPath;
    std::string m_exportPath;

    int m_editMode = kEditModeSelect;
    // Each may be absent; replacing one destroys the old.
    std::unique_ptr<UndoRecord> m_pUndoRecord;
    std::unique_ptr<PanPointList> m_pPanClipboard;

  private:
    UserPrompts& m_prompts;
    SettingsStore& m_settings;
    AmbrelWaveMixSession m_hSession = 0;
    uint32_t m_sessionRate = 0;
    CTesselDoc* m_pPlayingDoc = nullptr;
    CWaveScrollView* m_pPlayingView = nullptr;
};
