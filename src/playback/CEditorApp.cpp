#include "playback/CEditorApp.h"

#include <cstdio>

#include "binaural/MixerDirectory.h"
#include "binaural/TrevantBinauralRenderer.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "document/CTesselDoc.h"
#include "document/PasteOptionIds.h"
#include "platform/PathNames.h"
#include "platform/SettingsStore.h"
#include "platform/UserPrompts.h"
#include "playback/LoudspeakerPlayback.h"
#include "playback/QtPlaybackClock.h"
#include "render/SpeakerLayout.h"
#include "trajectory/PanPointList.h"

namespace {

const char* const kInitialization = "Initialization";
const char* const kClassName = "ClassName";

}  // namespace

CEditorApp::CEditorApp(UserPrompts& prompts, SettingsStore& settings, Mixer& mixer,
                       std::unique_ptr<PlaybackClock> clock)
    : m_prompts(prompts), m_settings(settings), m_mixer(mixer) {
    if (!clock) {
        clock = std::make_unique<QtPlaybackClock>();
    }
    m_pPlayback = std::make_unique<PlaybackSession>(*this, std::move(clock));
}

CEditorApp::~CEditorApp() {
    CloseMixerSession();
    m_pPlayback.reset();
}

namespace {

const char* const kThroughFilterKey = "PlayThroughStereoExport";
const char* const kThroughBinauralKey = "PlayThroughBinauralRenderer";

}  // namespace

void CEditorApp::LoadPreferences() {
    m_prefs = Preferences::Load(m_settings);
    m_headTracking = HeadTrackingPreferences::Load(m_settings);
    m_headInForce = m_headTracking;
    m_bThroughFilter = m_settings.GetInt("Preferences", kThroughFilterKey, 0) == 1;
    m_bThroughBinaural =
        !m_bThroughFilter && m_settings.GetInt("Preferences", kThroughBinauralKey, 0) == 1;
}

void CEditorApp::OnPlayThroughFilter() {
    m_bThroughFilter = !m_bThroughFilter;
    m_bThroughBinaural = m_bThroughBinaural && !m_bThroughFilter;
    m_settings.SetInt("Preferences", kThroughFilterKey, m_bThroughFilter ? 1 : 0);
    m_settings.SetInt("Preferences", kThroughBinauralKey, m_bThroughBinaural ? 1 : 0);
}

void CEditorApp::OnPlayThroughBinaural() {
    m_bThroughBinaural = !m_bThroughBinaural;
    m_bThroughFilter = m_bThroughFilter && !m_bThroughBinaural;
    m_settings.SetInt("Preferences", kThroughFilterKey, m_bThroughFilter ? 1 : 0);
    m_settings.SetInt("Preferences", kThroughBinauralKey, m_bThroughBinaural ? 1 : 0);
}

const SpeakerLayout* CEditorApp::GetPlaybackLayout() const {
    return LoudspeakerPlayback::LayoutOf(m_prefs.output.loudspeakers);
}

std::string CEditorApp::LoudspeakersUnavailable(const std::string& choice) {
    const SpeakerLayout* layout = LoudspeakerPlayback::LayoutOf(choice);
    if (layout == nullptr) {
        return "";
    }
    // Opening an output here could put up its failure: the first play checks instead.
    if (GetMixerSession() == 0) {
        return "The output is checked when playback starts (none is open now).";
    }
    return LoudspeakerPlayback::Unavailable(GetMixer(), GetMixerSession(), *layout);
}

std::shared_ptr<SofaSetChoice> CEditorApp::GetBinauralSet() {
    const std::string& choice = m_prefs.output.binauralSet;
    if (!SofaSetChoice::NamesFile(choice)) {
        return nullptr;
    }
    const std::string path = SofaSetChoice::FileOf(choice);
    if (!m_pSofa || m_pSofa->Path() != path) {
        m_pSofa = SofaSetChoice::Load(path);
    }
    return m_pSofa;
}

void CEditorApp::OnBinauralSetChosen() {
    m_pSofa.reset();  // read afresh: the file may have been put right since
    SavePreferences();
}

std::string CEditorApp::GetOutputStateText() const {
    if (!m_liveHrtf.empty() && m_pPlayback->IsPlayingThroughBinaural()) {
        const std::string following =
            m_pPlayback->GetTrackedFeed() != nullptr
                ? ", following the head tracker on UDP " + std::to_string(m_headTracker.Port())
                : "";
        return "Binaural renderer: " + PathNames::FileName(m_pPlayback->GetPlayingSet()->Path()) +
               following + " (" + m_liveHrtf + ", not applied)";
    }
    if (m_liveHrtf.empty() || !m_bThroughFilter) {
        return m_liveHrtf;
    }
    return "Stereo export filter (" + m_liveHrtf + ", not applied)";
}

void CEditorApp::SavePreferences() {
    m_prefs.Save(m_settings);
    m_headTracking.Save(m_settings);
}

std::string CEditorApp::SetHeadTracking(const HeadTrackingPreferences& prefs) {
    m_headTracking = prefs;
    m_headTracking.Save(m_settings);
    m_headInForce = prefs;
    if (!prefs.bEnabled) {
        m_headTracker.Stop();
        return {};
    }
    return m_headTracker.Start(prefs);
}

std::string CEditorApp::TrackHeadForRun(int port) {
    m_headInForce = m_headTracking;
    m_headInForce.bEnabled = true;
    m_headInForce.port = port;
    return m_headTracker.Start(m_headInForce);
}

std::shared_ptr<const TrackedHead> CEditorApp::GetTrackedHead() const {
    return m_headTracker.IsRunning() ? m_headTracker.Head() : nullptr;
}

std::string CEditorApp::GetMainFrameClassName() {
    return m_settings.GetString(kInitialization, kClassName, kNoClassName);
}

void CEditorApp::SetMainFrameClassName(const std::string& name) {
    m_settings.SetString(kInitialization, kClassName, name);
}

void CEditorApp::ExitInstance() {
    m_pPlayback->Stop();
    m_headTracker.Stop();
    SetMainFrameClassName(kExitedClassName);
    CloseMixerSession();
    m_pPanClipboard.reset();
    SavePreferences();
}

uint32_t CEditorApp::RoundMixerRate(uint32_t rate) {
    if (rate <= 11025) {
        return 11025;
    }
    if (rate <= 22050) {
        return 22050;
    }
    return 44100;
}

MixerSessionConfig CEditorApp::MakeMixerConfig(uint32_t roundedRate) const {
    MixerSessionConfig config{};
    config.size = sizeof(MixerSessionConfig);
    config.flags = m_prefs.bUsePrimaryBuffer && m_prefs.AllowsPrimaryBuffer()
                       ? AMBREL_WAVEMIX_CONFIG_PRIMARY_BUFFER
                       : 0;
    config.sampleRate = roundedRate;
    config.channels = 1;
    config.output = OutputPreferences::MixerOutputValue(m_prefs.mixerOutput);
    // A head tracker is heard only as soon as the device takes the sound.
    config.latencyMs = m_headTracker.IsRunning() ? m_headInForce.SessionLatencyMs(m_prefs.latency)
                                                 : static_cast<uint32_t>(m_prefs.latency);
    return config;
}

std::string CEditorApp::FormatMixerError(int code) {
    char text[256];
    AmbrelWaveMixGetErrorText(code, text, 255);
    char message[400];
    std::snprintf(message, sizeof message, "AmbrelWaveMix Error %d...\n\n%s", code, text);
    std::string result = message;
    if (code == AMBREL_WAVEMIX_ERR_WAVEOUT_BUSY) {
        result += "\n\nPerhaps your WaveOut device is in use by another application.";
    }
    return result;
}

void CEditorApp::ReportMixerError(int code) {
    UserPrompts::Box box;
    box.text = FormatMixerError(code);
    box.caption = MixerErrorCaption(code);
    box.informative = MixerErrorAdvice(code);
    m_prompts.ShowMessage(box);
}

std::string CEditorApp::MixerErrorCaption(int code) {
    return code == AMBREL_WAVEMIX_ERR_NO_DEVICE ? "Sonomap cannot play: no sound output"
                                                : "Sonomap cannot play the sound";
}

std::string CEditorApp::MixerErrorAdvice(int code) {
    switch (code) {
        case AMBREL_WAVEMIX_ERR_NO_DEVICE:
            return "No sound card or sound server could be opened to play through. Check that "
                   "one is connected and that PipeWire or PulseAudio runs, or choose another "
                   "output or device in File > Preferences, then press Play again. Editing, "
                   "saving and every export work without one.";
        case AMBREL_WAVEMIX_ERR_DEVICE_BUSY:
        case AMBREL_WAVEMIX_ERR_WAVEOUT_BUSY:
            return "Another program holds the sound device. Close it, or choose PipeWire / "
                   "PulseAudio in File > Preferences, then press Play again.";
        default:
            return "The sound output refused this sound. Press Play again; if it happens again, "
                   "another output or device in File > Preferences may serve.";
    }
}

void CEditorApp::OpenMixerSession(uint32_t rate) {
    const uint32_t rounded = RoundMixerRate(rate);
    if (m_hSession != 0 && m_sessionRate == rounded) {
        return;
    }
    CloseMixerSession();
    m_sessionRate = rounded;

    const MixerSessionConfig config = MakeMixerConfig(rounded);
    // The lists are asked for only when a name must be found in them.
    std::vector<std::string> devices;
    std::vector<std::string> hrtfs;
    const OutputPreferences& chosen = m_prefs.output;
    if (!chosen.device.empty()) {
        devices = MixerDirectory::Devices();
    }
    if (!chosen.hrtfName.empty() && chosen.hrtfMode == OutputPreferences::kHrtfOn) {
        for (const MixerDirectory::Hrtf& hrtf : MixerDirectory::Hrtfs()) {
            hrtfs.push_back(hrtf.name);
        }
    }
    const OutputPreferences::Session output = chosen.ForSession(devices, hrtfs);
    m_sessionNote = output.note;
    const MixerOutputOptions options{sizeof(MixerOutputOptions), output.hrtf, output.device.c_str(),
                                     output.hrtfName.c_str()};
    m_hSession = m_mixer.InitOutput(config, options);
    if (m_hSession == 0) {
        if (m_prefs.mixerOutput == kOutputJack) {
            // The back end is fixed for this run; the next start goes back to the default.
            m_prompts.Message(FormatMixerError(m_mixer.GetLastError()) + kJackHint);
            m_prefs.mixerOutput = kOutputLetMixerDecide;
            m_settings.SetInt("Preferences", "MixerOutput", kOutputLetMixerDecide);
            return;
        }
        ReportMixerError(m_mixer.GetLastError());
        return;
    }
    if (!m_prefs.bLowpassFilter) {
        // The filter being on is no reason to refuse playing: report and go on.
        if (const int code = m_mixer.SetOptions(m_hSession, 0, 0xFFFFFFFF)) {
            ReportMixerError(code);
        }
    }
    if (const int code = m_mixer.Activate(m_hSession, 1)) {
        ReportMixerError(code);
        if (code == AMBREL_WAVEMIX_ERR_DEVICE_BUSY) {
            m_prompts.Message("Perhaps another application is using your WaveOut device.");
        }
        CloseMixerSession();
        return;
    }
    if (const int code = m_mixer.OpenChannel(m_hSession, 0, 1)) {
        ReportMixerError(code);
        CloseMixerSession();
        return;
    }
    MixerHrtfState state{};
    state.size = sizeof state;
    if (m_mixer.GetHrtfState(m_hSession, state) == AMBREL_WAVEMIX_OK) {
        m_liveHrtf = OutputPreferences::StateText(state);
        m_lastHrtf = m_liveHrtf;
    }
}

void CEditorApp::CloseMixerSession() {
    // No wave may outlive the session it was made in.
    if (m_pPlayback) {
        m_pPlayback->ReleaseWave();
    }
    if (m_hSession != 0) {
        m_mixer.CloseSession(m_hSession);
        m_hSession = 0;
    }
    m_liveHrtf.clear();
}

void CEditorApp::SelectOutputBackEnd(bool bTrackingThisRun) {
    // Too late, or the environment chooses: the choice waits for the next start, and the
    // options dialog says so.
    AmbrelWaveMixSelectOutput(OutputPreferences::MixerOutputValue(m_prefs.mixerOutput));
    // Tracking turned on later keeps the device's own period: the turns are heard, later.
    HeadTrackingPreferences::SelectPeriod(bTrackingThisRun);
}

int CEditorApp::GetOutputInEffect() const {
    return OutputPreferences::PreferenceOfMixerOutput(AmbrelWaveMixGetOutputInEffect());
}

std::vector<std::string> CEditorApp::ListOutputDevices() const {
    return MixerDirectory::Devices();
}

std::vector<std::pair<std::string, uint32_t>> CEditorApp::ListHrtfs() const {
    std::vector<std::pair<std::string, uint32_t>> hrtfs;
    for (const MixerDirectory::Hrtf& hrtf : MixerDirectory::Hrtfs()) {
        hrtfs.emplace_back(hrtf.name, hrtf.sampleRate);
    }
    return hrtfs;
}

std::unique_ptr<BinauralRenderer> CEditorApp::MakeBinauralRenderer() {
    if (std::shared_ptr<SofaSetChoice> sofa = GetBinauralSet()) {
        return std::make_unique<SofaExportRenderer>(std::move(sofa));
    }
    std::string name = m_prefs.output.binauralSet;
    bool bListed = false;
    for (const MixerDirectory::Hrtf& hrtf : MixerDirectory::Hrtfs()) {
        bListed = bListed || hrtf.name == name;
    }
    if (!bListed) {
        name.clear();  // gone since it was chosen: any of the mixer's that fits
    }
    return std::make_unique<TrevantBinauralRenderer>(
        name, m_prefs.bLowpassFilter ? AMBREL_WAVEMIX_OPTION_LOWPASS : 0u);
}

void CEditorApp::OnOptionsAccepted() {
    m_pSofa.reset();
    m_pPlayback->Stop();
    CloseMixerSession();
    SavePreferences();
}

void CEditorApp::AnnouncePlayback() {
    const PlaybackSession& playback = GetPlayback();
    if (const SpeakerLayout* layout = playback.GetPlayingLayout()) {
        m_prompts.ShowStatus("Playing to the " +
                             LoudspeakerPlayback::ChoiceText(std::string(layout->Name())) +
                             " loudspeakers through Sonomap's panner.");
        return;
    }
    if (!playback.LoudspeakerNote().empty()) {
        m_prompts.ShowStatus("Not playing to the chosen loudspeakers: " +
                             playback.LoudspeakerNote());
        return;
    }
    if (!m_liveHrtf.empty()) {
        const std::string state = GetOutputStateText();
        m_prompts.ShowStatus(m_sessionNote.empty() ? state : m_sessionNote + " " + state);
        m_sessionNote.clear();
    }
}

void CEditorApp::SetPanClipboard(std::unique_ptr<PanPointList> clipboard) {
    m_pPanClipboard.reset();
    m_pPanClipboard = std::move(clipboard);
}
