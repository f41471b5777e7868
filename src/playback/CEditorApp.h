#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/DocumentHost.h"
#include "playback/EditorDialogs.h"
#include "playback/HeadTracker.h"
#include "playback/HeadTrackingPreferences.h"
#include "playback/Mixer.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackHost.h"
#include "playback/PlaybackSession.h"
#include "playback/Preferences.h"
#include "playback/TrevantMixer.h"

class CTesselDoc;
class PanPointList;
class PointProperties;
class SofaSetChoice;
class SettingsStore;
class UserPrompts;

// The application object: the user's preferences, the one mixer session, the one playback
// (PlaybackSession), the edit mode shared by all views, and the program-wide pan clipboard,
// which it owns (each document keeps its own undo history). Plain C++: the user is reached
// through UserPrompts, the settings through SettingsStore and the mixer through Mixer, so the
// Qt start-up and the tests hand in their own. Every mixer call of the program goes through its
// mixer. The documents reach it as their DocumentHost, the playback as its PlaybackHost. Rates
// are Hz, latency milliseconds.
class CEditorApp : public DocumentHost, public PlaybackHost {
  public:
    static constexpr int kEditModePan = 1;
    static constexpr int kEditModeSelect = 2;
    static constexpr int kOutputDirectSound = Preferences::kOutputDirectSound;
    static constexpr int kOutputWaveOut = Preferences::kOutputWaveOut;
    static constexpr int kOutputLetMixerDecide = Preferences::kOutputLetMixerDecide;
    static constexpr int kOutputJack = Preferences::kOutputJack;
    // Under the mixer's error when JACK was chosen and could not be opened.
    static constexpr const char* kJackHint =
        "\n\nIs the JACK server running? Start it (with jackd or a JACK control program), or "
        "choose another output in Preferences. The next start uses \"Let the mixer decide\".";
    // "Initialization"/"ClassName" before any main frame ran, and after a normal exit.
    static constexpr const char* kNoClassName = "Noneasdasdasd";
    static constexpr const char* kExitedClassName = "wergarbageqwert";

    // The mixer must outlive the application; the library itself unless a test chooses. The
    // playback's clock is a Qt timer unless one is handed in.
    CEditorApp(UserPrompts& prompts, SettingsStore& settings, Mixer& mixer = TrevantMixer::Shared(),
               std::unique_ptr<PlaybackClock> clock = nullptr);
    ~CEditorApp() override;
    CEditorApp(const CEditorApp&) = delete;
    CEditorApp& operator=(const CEditorApp&) = delete;

    // Reads the "Preferences" keys; a boolean key is on only when it holds 1.
    void LoadPreferences();
    // Writes the "Preferences" keys in their fixed order.
    void SavePreferences();
    // The preferences in force; new ones take effect at the next mixer session.
    const Preferences& GetPreferences() const { return m_prefs; }
    void SetPreferences(const Preferences& prefs) { m_prefs = prefs; }
    // The local-socket name the running main frame listens on ("Initialization"/"ClassName").
    std::string GetMainFrameClassName();
    void SetMainFrameClassName(const std::string& name);
    // The shutdown after the message loop: marks the main frame gone, closes the mixer
    // session, drops the clipboard, writes the preferences.
    void ExitInstance();

    // The session's rate class: 11025, 22050 or 44100.
    static uint32_t RoundMixerRate(uint32_t rate);
    // The session record for a rounded rate under the current preferences.
    MixerSessionConfig MakeMixerConfig(uint32_t roundedRate) const;
    // "AmbrelWaveMix Error <code>..." with the library's text, and the hint for code 21.
    static std::string FormatMixerError(int code);

    // Makes sure a session for the rate's class is open; every failure is shown to the user
    // and leaves no session (GetMixerSession() is then 0).
    void OpenMixerSession(uint32_t rate) override;
    void CloseMixerSession();
    AmbrelWaveMixSession GetMixerSession() const override { return m_hSession; }
    Mixer& GetMixer() const override { return m_mixer; }
    uint32_t GetSessionRate() const { return m_sessionRate; }
    // Shows one OK box for a non-zero mixer code: FormatMixerError's text under a title that
    // says playing failed, with what to do in plain words under it.
    void ReportMixerError(int code) override;

    // The one playback of the program.
    PlaybackSession& GetPlayback() { return *m_pPlayback; }
    const PlaybackSession& GetPlayback() const { return *m_pPlayback; }
    bool IsPlaying() const { return m_pPlayback->IsPlaying(); }

    // Cursor Follows Playback: flips the preference; the menu item is checked while it is on.
    void OnCursorFollow() { m_prefs.bCursorFollow = !m_prefs.bCursorFollow; }
    bool IsCursorFollow() const override { return m_prefs.bCursorFollow; }
    // Play Through Stereo Export Filter: plays what Export Stereo File would write instead of
    // the mixer's 3-D preview. Kept in the settings at once.
    void OnPlayThroughFilter();
    bool IsPlayThroughFilter() const override { return m_bThroughFilter; }
    // Play Through Binaural Renderer: plays what Export Binaural File writes. It and the filter
    // exclude each other; kept in the settings at once.
    void OnPlayThroughBinaural();
    bool IsPlayThroughBinaural() const override { return m_bThroughBinaural; }
    // The SOFA set of the binaural choice (Preferences), read once per file; none when the
    // choice is one of the mixer's sets.
    std::shared_ptr<SofaSetChoice> GetBinauralSet() override;
    // Why playback cannot go to the loudspeakers of choice (a LoudspeakerPlayback name) on the
    // output open now; "" when it can or choice is none.
    std::string LoudspeakersUnavailable(const std::string& choice);
    // Preferences ended with OK having changed only the binaural set: kept at once, and a
    // playback through the renderer goes on with it from its next tick.
    void OnBinauralSetChosen();

    // The edit mode all views share: pan point editing or the selection caret.
    int GetEditMode() const { return m_editMode; }
    bool IsPanEditMode() const { return m_editMode == kEditModePan; }
    void EnterPanEditMode() { m_editMode = kEditModePan; }
    void EnterSelectionMode() { m_editMode = kEditModeSelect; }
    // The options dialog ended with OK: the next play opens a session with the new values,
    // whether anything changed or not, and the store holds them at once, so a run that is
    // killed keeps them too.
    void OnOptionsAccepted();

    // The user, for the documents and the playback alike.
    UserPrompts& Prompts() override { return DocumentHost::Prompts(); }

    // The dialogs the shell lends the documents and the views.
    EditorDialogs& Dialogs() { return m_dialogs; }
    std::string GetOpenFolder() const { return m_prefs.openPath; }

    // Picks the audio back end for the output preference, and a short device period for a run
    // that tracks a head. Call once at start-up, before anything plays: both are fixed for
    // the process at the mixer's first use.
    void SelectOutputBackEnd(bool bTrackingThisRun);
    // The output preference whose back end this process runs on; another one chosen now
    // waits for the next start.
    int GetOutputInEffect() const;
    // What the mixer finds now, for the options dialog: devices by name, HRTFs by name with
    // the rate each is made for (Hz).
    std::vector<std::string> ListOutputDevices() const;
    std::vector<std::pair<std::string, uint32_t>> ListHrtfs() const;
    // "HRTF on: default-44100" or "HRTF off: speakers" for the open session; empty without.
    const std::string& GetLiveHrtfText() const { return m_liveHrtf; }
    // The HRTF state with the playback choice beside it; empty until a session is active.
    std::string GetOutputStateText() const;
    // The HRTF state of the last session of this run, kept after it closed; empty until a
    // session was active.
    const std::string& GetLastHrtfText() const { return m_lastHrtf; }

    // ---- Head tracking ----
    // The stored preferences (LoadPreferences reads them).
    const HeadTrackingPreferences& GetHeadTracking() const { return m_headTracking; }
    // Keeps prefs (in the settings at once) and listens, or stops, as they say; "" or why the
    // port could not be bound, which the caller shows (tracking is then off).
    std::string SetHeadTracking(const HeadTrackingPreferences& prefs);
    // sonomap --osc-port: tracking on port for this run, nothing stored; "" or why not.
    std::string TrackHeadForRun(int port);
    // What is in force this run: the stored preferences, or --osc-port's.
    const HeadTrackingPreferences& GetHeadTrackingInForce() const { return m_headInForce; }
    HeadTracker& GetHeadTracker() { return m_headTracker; }

  protected:
    UserPrompts& OwnPrompts() override { return m_prompts; }

  private:
    // ---- The documents' host: they reach these only as their DocumentHost ----
    bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override {
        return m_dialogs.AskSaveName(request, result);
    }
    bool IsDocumentOpen(const std::string& fullPath) const override {
        return m_dialogs.IsDocumentOpen(fullPath);
    }
    // A file the editor cannot open but libsndfile reads is offered for import.
    bool OffersImport() const override { return true; }
    PanPointList* GetPanClipboard() const override { return m_pPanClipboard.get(); }
    void SetPanClipboard(std::unique_ptr<PanPointList> clipboard) override;
    int AskPasteMerge() override { return m_dialogs.AskPasteMerge(); }
    int AskPasteSize(bool caretVariant) override { return m_dialogs.AskPasteSize(caretVariant); }
    std::string GetSaveFolder() const override { return m_prefs.savePath; }
    void SetSaveFolder(const std::string& folder) override { m_prefs.savePath = folder; }
    void SetOpenFolder(const std::string& folder) override { m_prefs.openPath = folder; }
    std::string GetExportFolder() const override { return m_prefs.exportPath; }
    void SetExportFolder(const std::string& folder) override { m_prefs.exportPath = folder; }
    // The binaural export mixes with the chosen HRTF and, as playback, the low-pass.
    std::unique_ptr<BinauralRenderer> MakeBinauralRenderer() override;

    // ---- The playback's host, beside the public ones it shares ----
    // A playback has started: the HRTF state (and any note on the output chosen) goes to the
    // status bar.
    void AnnouncePlayback() override;
    std::shared_ptr<const TrackedHead> GetTrackedHead() const override;
    const SpeakerLayout* GetPlaybackLayout() const override;

    // The title and the plain words of the mixer error box.
    static std::string MixerErrorCaption(int code);
    static std::string MixerErrorAdvice(int code);

    Preferences m_prefs;
    int m_editMode = kEditModeSelect;
    // May be absent; replacing it destroys the old.
    std::unique_ptr<PanPointList> m_pPanClipboard;
    UserPrompts& m_prompts;
    SettingsStore& m_settings;
    Mixer& m_mixer;
    AmbrelWaveMixSession m_hSession = 0;
    uint32_t m_sessionRate = 0;
    EditorDialogs m_dialogs;
    std::string m_liveHrtf;
    std::string m_lastHrtf;
    std::string m_sessionNote;  // shown with the HRTF state when the next playback starts
    bool m_bThroughFilter = false;
    bool m_bThroughBinaural = false;
    std::shared_ptr<SofaSetChoice> m_pSofa;  // the last SOFA set read, by its path
    HeadTrackingPreferences m_headTracking;
    HeadTrackingPreferences m_headInForce;
    HeadTracker m_headTracker;
    // Last: it stops what plays, through the mixer and the session above, as it goes.
    std::unique_ptr<PlaybackSession> m_pPlayback;
};
