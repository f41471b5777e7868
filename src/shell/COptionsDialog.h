#pragma once

#include <QDialog>
#include <QTimer>

class CEditorApp;
class CHeadTrackingGroup;
class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

// The Preferences dialog (resource 161, once titled "Options..."): edits the application's mixer
// preferences (output, device, latency in ms, primary buffer, low-pass filter, HRTF). The
// application outlives the dialog. Each showing loads the controls from the preferences and the
// device and HRTF lists from the application; OK writes them back and then has the application stop
// playback and close its mixer session, so the next play opens one with the new values; Cancel
// leaves everything as it was.
//
// The output choices name OpenAL Soft's back ends on Linux; their indexes stay the stored
// values. A device or HRTF that is stored but not there now is listed as such and kept.
//
// The binaural set (what Export Binaural File and Play Through Binaural Renderer render
// through) is the default SOFA set, a SOFA file of the user's chosen with Choose SOFA File...,
// or one of the mixer's sets. A file that cannot serve is refused there with its reason and
// the choice stays as it was. OK with only the binaural set changed goes on playing, with the
// new set from the next tick.
//
// Loudspeakers sends playback through the loudspeaker export's panner to the output's own
// channels (5.1 or 7.1) when the output plays that many; the note under it says why not.
//
// Head tracking (CHeadTrackingGroup) starts or stops listening at OK; a port that cannot be
// bound is said then.
//
// The controls carry their resource ids as object names ("1012" ... "1025") and in the
// property "controlId".
class COptionsDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kResourceId = 161;
    static constexpr int kIdDirectSound = 1012;
    static constexpr int kIdWaveOut = 1013;
    static constexpr int kIdLatencySlider = 1014;
    static constexpr int kIdLowpassFilter = 1015;
    static constexpr int kIdLetTrevantDecide = 1016;
    static constexpr int kIdPrimaryBuffer = 1017;
    static constexpr int kIdLatencyLabel = 1018;
    static constexpr int kIdDevice = 1019;
    static constexpr int kIdHrtfAutomatic = 1020;
    static constexpr int kIdHrtfOn = 1021;
    static constexpr int kIdHrtfOff = 1022;
    static constexpr int kIdHrtfList = 1023;
    static constexpr int kIdHrtfState = 1024;
    static constexpr int kIdNextStartNote = 1025;
    static constexpr int kIdJack = 1026;
    static constexpr int kIdBinauralSet = 1027;
    static constexpr int kIdChooseSofa = 1028;
    static constexpr int kIdLoudspeakers = 1029;
    static constexpr int kIdLoudspeakerNote = 1030;
    // What each of the two sets serves, under each.
    static constexpr const char* kPlayingSetNote =
        "Play mixes through this set (the mixer's 3-D preview, OpenAL Soft's HRTF).";
    static constexpr const char* kBinauralSetNote =
        "Export Binaural File and Play Through Binaural Renderer use this set, Sonomap's own "
        "renderer; the HRTF for playing does not change them.";
    // The label timer's id and period.
    static constexpr int kLabelTimerId = 1;
    static constexpr int kLabelTimerMs = 33;
    // One slider step in ms; the slider runs from 0 to 50 steps.
    static constexpr int kLatencyStepMs = 20;
    static constexpr int kLatencySteps = 50;

    COptionsDialog(CEditorApp& app, QWidget* parent = nullptr);

    void accept() override;

    // The label's text for a latency in ms: "500 ms", "0 ms (auto)".
    static QString LatencyText(int latencyMs);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void LoadControls();
    void LoadDevices();
    void LoadHrtfs();
    // Fills the binaural list, with file (a SOFA file, or empty) among it, and selects choice.
    void LoadBinauralSets(const std::string& file, const std::string& choice);
    // The file dialog; a file that cannot serve is refused with its reason.
    void ChooseSofaFile();
    void UpdateLatencyLabel();
    // The rate box is for PipeWire / PulseAudio and letting the mixer decide, and not while
    // HRTF is on, which sets the rate itself. Its check mark stays as it is.
    void UpdateRateBox();
    void UpdateNextStartNote();

    // Says whether the chosen loudspeakers can play on the output open now, and why not.
    void UpdateLoudspeakerNote();

    CEditorApp& m_app;
    QButtonGroup* m_outputGroup;
    QButtonGroup* m_hrtfGroup;
    QComboBox* m_device;
    QComboBox* m_hrtfList;
    QComboBox* m_binauralSet;
    QPushButton* m_chooseSofa;
    QComboBox* m_loudspeakers;
    QLabel* m_loudspeakerNote;
    QLabel* m_hrtfState;
    QLabel* m_nextStartNote;
    QSlider* m_latencySlider;
    QLabel* m_latencyLabel;
    QCheckBox* m_primaryBuffer;
    QCheckBox* m_lowpassFilter;
    CHeadTrackingGroup* m_headTracking;
    QTimer m_labelTimer;
    // The latency the label last showed, in ms; -1 before the first showing fills it.
    int m_shownLatency = -1;
};
