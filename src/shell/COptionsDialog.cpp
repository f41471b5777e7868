#include "shell/COptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "deliver/SofaSetChoice.h"
#include "platform/UserPrompts.h"
#include "playback/CEditorApp.h"
#include "playback/LoudspeakerPlayback.h"
#include "shell/CHeadTrackingGroup.h"

namespace {

template <typename Control>
Control* Tagged(Control* control, int id) {
    control->setObjectName(QString::number(id));
    control->setProperty("controlId", id);
    return control;
}

// Fills a list whose first entry stands for "" and whose others are names; a stored name
// that is not among them is listed too, marked, so OK keeps it.
void FillNames(QComboBox& box, const QString& first, const std::vector<QString>& names,
               const std::vector<QString>& shown, const std::string& stored,
               const QString& missingMark) {
    box.clear();
    box.addItem(first, QString());
    for (size_t i = 0; i < names.size(); ++i) {
        box.addItem(shown[i], names[i]);
    }
    const QString value = QString::fromStdString(stored);
    int index = box.findData(value);
    if (index < 0) {
        box.addItem(value + " " + missingMark, value);
        index = box.count() - 1;
    }
    box.setCurrentIndex(index);
}

}  // namespace

COptionsDialog::COptionsDialog(CEditorApp& app, QWidget* parent)
    : QDialog(parent),
      m_app(app),
      m_outputGroup(new QButtonGroup(this)),
      m_hrtfGroup(new QButtonGroup(this)),
      m_device(Tagged(new QComboBox, kIdDevice)),
      m_hrtfList(Tagged(new QComboBox, kIdHrtfList)),
      m_binauralSet(Tagged(new QComboBox, kIdBinauralSet)),
      m_chooseSofa(Tagged(new QPushButton("Choose SOFA File..."), kIdChooseSofa)),
      m_loudspeakers(Tagged(new QComboBox, kIdLoudspeakers)),
      m_loudspeakerNote(Tagged(new QLabel, kIdLoudspeakerNote)),
      m_hrtfState(Tagged(new QLabel, kIdHrtfState)),
      m_nextStartNote(Tagged(new QLabel("A change of output takes effect at the next start."),
                             kIdNextStartNote)),
      m_latencySlider(Tagged(new QSlider(Qt::Horizontal), kIdLatencySlider)),
      m_latencyLabel(Tagged(new QLabel, kIdLatencyLabel)),
      m_primaryBuffer(
          Tagged(new QCheckBox("Run the device at the sound's rate"), kIdPrimaryBuffer)),
      m_lowpassFilter(Tagged(new QCheckBox("Lowpass Filter"), kIdLowpassFilter)),
      m_headTracking(new CHeadTrackingGroup) {
    setWindowTitle("Preferences");
    setProperty("resourceId", kResourceId);

    // The group's ids are the mixer output indexes, the stored values of "MixerOutput".
    m_outputGroup->addButton(Tagged(new QRadioButton("PipeWire / PulseAudio"), kIdDirectSound),
                             CEditorApp::kOutputDirectSound);
    m_outputGroup->addButton(Tagged(new QRadioButton("ALSA"), kIdWaveOut),
                             CEditorApp::kOutputWaveOut);
    m_outputGroup->addButton(Tagged(new QRadioButton("JACK"), kIdJack), CEditorApp::kOutputJack);
    m_outputGroup->addButton(Tagged(new QRadioButton("Let the mixer decide"), kIdLetTrevantDecide),
                             CEditorApp::kOutputLetMixerDecide);
    connect(m_outputGroup, &QButtonGroup::buttonClicked, this, [this] {
        UpdateRateBox();
        UpdateNextStartNote();
    });
    m_hrtfGroup->addButton(Tagged(new QRadioButton("Automatic"), kIdHrtfAutomatic),
                           OutputPreferences::kHrtfAutomatic);
    m_hrtfGroup->addButton(Tagged(new QRadioButton("On"), kIdHrtfOn), OutputPreferences::kHrtfOn);
    m_hrtfGroup->addButton(Tagged(new QRadioButton("Off"), kIdHrtfOff),
                           OutputPreferences::kHrtfOff);
    connect(m_hrtfGroup, &QButtonGroup::buttonClicked, this, [this] { UpdateRateBox(); });

    m_latencySlider->setRange(0, kLatencySteps);
    m_latencySlider->setTickPosition(QSlider::NoTicks);
    // Wide enough for the longest text, so the dialog keeps its size while the slider moves.
    const QFontMetrics metrics = m_latencyLabel->fontMetrics();
    m_latencyLabel->setMinimumWidth(
        std::max(metrics.horizontalAdvance(LatencyText(0)),
                 metrics.horizontalAdvance(LatencyText(kLatencySteps * kLatencyStepMs))));
    m_device->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_nextStartNote->setVisible(false);

    auto* mixer = new QGroupBox("Mixer");
    auto* grid = new QGridLayout(mixer);
    int row = 0;
    for (QAbstractButton* button : m_outputGroup->buttons()) {
        grid->addWidget(button, row++, 0, 1, 3);
    }
    grid->addWidget(m_nextStartNote, row++, 0, 1, 3);
    grid->addWidget(new QLabel("Device"), row, 0);
    grid->addWidget(m_device, row++, 1, 1, 2);
    grid->addWidget(new QLabel("Latency"), row++, 0, 1, 3);
    grid->addWidget(new QLabel("0 ms"), row, 0);
    grid->addWidget(m_latencySlider, row, 1);
    grid->addWidget(new QLabel("1000 ms"), row++, 2);
    grid->addWidget(m_latencyLabel, row++, 1, Qt::AlignHCenter);
    grid->addWidget(m_primaryBuffer, row++, 0, 1, 3);
    grid->addWidget(m_lowpassFilter, row++, 0, 1, 3);

    auto* headphones = new QGroupBox("Headphones (HRTF)");
    auto* hrtfGrid = new QGridLayout(headphones);
    row = 0;
    for (QAbstractButton* button : m_hrtfGroup->buttons()) {
        hrtfGrid->addWidget(button, row++, 0, 1, 2);
    }
    // Two sets serve two renderers: the mixer's for Play, Sonomap's own for the binaural
    // export and its preview. Each says which.
    auto* hrtfLabel = new QLabel("HRTF for &playing");
    hrtfLabel->setBuddy(m_hrtfList);
    hrtfGrid->addWidget(hrtfLabel, row, 0);
    hrtfGrid->addWidget(m_hrtfList, row++, 1);
    hrtfGrid->addWidget(m_hrtfState, row++, 0, 1, 2);
    auto* playingNote = new QLabel(kPlayingSetNote);
    playingNote->setObjectName("hrtfPlayingNote");
    playingNote->setWordWrap(true);
    hrtfGrid->addWidget(playingNote, row++, 0, 1, 2);

    auto* binaural = new QGroupBox("Binaural export");
    auto* binauralGrid = new QGridLayout(binaural);
    auto* binauralLabel = new QLabel("&Binaural set");
    binauralLabel->setBuddy(m_binauralSet);
    binauralGrid->addWidget(binauralLabel, 0, 0);
    binauralGrid->addWidget(m_binauralSet, 0, 1);
    binauralGrid->addWidget(m_chooseSofa, 1, 1, Qt::AlignRight);
    auto* binauralNote = new QLabel(kBinauralSetNote);
    binauralNote->setObjectName("binauralSetNote");
    binauralNote->setWordWrap(true);
    binauralGrid->addWidget(binauralNote, 2, 0, 1, 2);
    m_binauralSet->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    connect(m_chooseSofa, &QPushButton::clicked, this, &COptionsDialog::ChooseSofaFile);

    auto* speakers = new QGroupBox("Loudspeakers");
    auto* speakerGrid = new QGridLayout(speakers);
    auto* speakerLabel = new QLabel("Play &to");
    speakerLabel->setBuddy(m_loudspeakers);
    speakerGrid->addWidget(speakerLabel, 0, 0);
    speakerGrid->addWidget(m_loudspeakers, 0, 1);
    speakerGrid->addWidget(m_loudspeakerNote, 1, 0, 1, 2);
    m_loudspeakerNote->setWordWrap(true);
    m_loudspeakers->addItem("The mixer's own output", QString());
    for (const std::string& choice : LoudspeakerPlayback::Choices()) {
        m_loudspeakers->addItem(QString::fromStdString(LoudspeakerPlayback::ChoiceText(choice) +
                                                       " through Sonomap's panner"),
                                QString::fromStdString(choice));
    }
    connect(m_loudspeakers, &QComboBox::currentIndexChanged, this,
            &COptionsDialog::UpdateLoudspeakerNote);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(mixer);
    layout->addWidget(headphones);
    layout->addWidget(binaural);
    layout->addWidget(speakers);
    layout->addWidget(m_headTracking);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_labelTimer.setInterval(kLabelTimerMs);
    m_labelTimer.setObjectName(QString::number(kLabelTimerId));
    connect(&m_labelTimer, &QTimer::timeout, this, &COptionsDialog::UpdateLatencyLabel);
}

QString COptionsDialog::LatencyText(int latencyMs) {
    QString text = QString("%1 ms").arg(latencyMs);
    if (latencyMs == 0) {
        text += " (auto)";
    }
    return text;
}

void COptionsDialog::LoadControls() {
    // A stored output outside 0 ... 2 checks no button; OK then keeps it as it was.
    const Preferences& prefs = m_app.GetPreferences();
    if (QAbstractButton* button = m_outputGroup->button(prefs.mixerOutput)) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = m_outputGroup->checkedButton()) {
        m_outputGroup->setExclusive(false);
        checked->setChecked(false);
        m_outputGroup->setExclusive(true);
    }
    QAbstractButton* hrtf = m_hrtfGroup->button(prefs.output.hrtfMode);
    (hrtf != nullptr ? hrtf : m_hrtfGroup->button(OutputPreferences::kHrtfAutomatic))
        ->setChecked(true);
    m_primaryBuffer->setChecked(prefs.bUsePrimaryBuffer);
    m_lowpassFilter->setChecked(prefs.bLowpassFilter);
    m_latencySlider->setValue(prefs.latency / kLatencyStepMs);
    LoadDevices();
    LoadHrtfs();
    const std::string& binaural = prefs.output.binauralSet;
    LoadBinauralSets(SofaSetChoice::NamesFile(binaural) ? binaural : "", binaural);
    // A stored layout that is none of the choices reads as the mixer's own output.
    const int speakers =
        m_loudspeakers->findData(QString::fromStdString(prefs.output.loudspeakers));
    m_loudspeakers->setCurrentIndex(std::max(speakers, 0));
    UpdateLoudspeakerNote();
    HeadTracker& tracker = m_app.GetHeadTracker();
    QString tracking;
    if (tracker.IsRunning()) {
        tracking = QString("Listening on UDP %1.").arg(tracker.Port());
        if (!HeadTrackingPreferences::IsPeriodInEffect()) {
            tracking +=
                " Turns are heard about 80 ms late in this run; from the next start, "
                "which asks the sound device for short periods, in about 25 ms.";
        }
    }
    m_headTracking->Load(m_app.GetHeadTrackingInForce(), tracking);
    // Between sessions (after OK, or once the program was left) the last state stays shown.
    const std::string state = m_app.GetOutputStateText();
    const std::string& last = m_app.GetLastHrtfText();
    m_hrtfState->setText(!state.empty() ? QString::fromStdString(state)
                         : !last.empty()
                             ? QString::fromStdString(last + " (when a sound last played)")
                             : QString("Shown here once a sound has played."));
    UpdateRateBox();
    UpdateNextStartNote();
    m_shownLatency = -1;
    UpdateLatencyLabel();
    m_labelTimer.start();
}

void COptionsDialog::LoadDevices() {
    std::vector<QString> names;
    for (const std::string& device : m_app.ListOutputDevices()) {
        names.push_back(QString::fromStdString(device));
    }
    FillNames(*m_device, "Default device", names, names, m_app.GetPreferences().output.device,
              "(not found)");
}

void COptionsDialog::LoadHrtfs() {
    // One entry a data set, standing for the name stored when it is one of the set's, else
    // for the set's first; OK keeps a stored name as it is.
    const std::string& stored = m_app.GetPreferences().output.hrtfName;
    std::vector<QString> names;
    std::vector<QString> shown;
    for (const OutputPreferences::HrtfSet& set : OutputPreferences::GroupHrtfs(m_app.ListHrtfs())) {
        std::string name = set.members.front().first;
        QStringList rates;
        for (const auto& [member, rate] : set.members) {
            name = member == stored ? member : name;
            rates << QString::number(rate);
        }
        names.push_back(QString::fromStdString(name));
        shown.push_back(
            QString("%1 (%2 Hz)").arg(QString::fromStdString(set.name), rates.join(", ")));
    }
    FillNames(*m_hrtfList, "Any that fits the sound", names, shown,
              m_app.GetPreferences().output.hrtfName, "(not installed)");
}

void COptionsDialog::LoadBinauralSets(const std::string& file, const std::string& choice) {
    m_binauralSet->clear();
    m_binauralSet->addItem("Default SOFA set (MIT KEMAR, libmysofa)", QString());
    if (!file.empty()) {
        m_binauralSet->addItem(QString("SOFA file: %1").arg(QString::fromStdString(file)),
                               QString::fromStdString(file));
    }
    for (const OutputPreferences::HrtfSet& set : OutputPreferences::GroupHrtfs(m_app.ListHrtfs())) {
        for (const auto& [member, rate] : set.members) {
            m_binauralSet->addItem(
                QString("The mixer's %1 (%2 Hz)").arg(QString::fromStdString(member)).arg(rate),
                QString::fromStdString(member));
        }
    }
    const int index = m_binauralSet->findData(QString::fromStdString(choice));
    if (index < 0) {
        m_binauralSet->addItem(QString::fromStdString(choice) + " (not installed)",
                               QString::fromStdString(choice));
    }
    m_binauralSet->setCurrentIndex(index < 0 ? m_binauralSet->count() - 1 : index);
}

void COptionsDialog::ChooseSofaFile() {
    const std::string current = m_binauralSet->currentData().toString().toStdString();
    const std::string shown =
        SofaSetChoice::FileOf(SofaSetChoice::NamesFile(current) ? current : "");
    QFileDialog dialog(this, "Choose SOFA File", QString::fromStdString(shown),
                       "SOFA HRTF files (*.sofa);;All files (*)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const std::string path = dialog.selectedFiles().front().toStdString();
    const std::shared_ptr<SofaSetChoice> chosen = SofaSetChoice::Load(path);
    if (!chosen->Refusal().empty()) {
        m_app.Prompts().Message(chosen->Refusal(), UserPrompts::Icon::Exclamation);
        return;
    }
    LoadBinauralSets(path, path);
}

void COptionsDialog::UpdateLatencyLabel() {
    const int latency = m_latencySlider->value() * kLatencyStepMs;
    if (latency != m_shownLatency) {
        m_latencyLabel->setText(LatencyText(latency));
        m_shownLatency = latency;
    }
}

void COptionsDialog::UpdateRateBox() {
    const int output = m_outputGroup->checkedId();
    const bool bOutputAllows =
        output == CEditorApp::kOutputDirectSound || output == CEditorApp::kOutputLetMixerDecide;
    m_primaryBuffer->setEnabled(bOutputAllows &&
                                m_hrtfGroup->checkedId() != OutputPreferences::kHrtfOn);
}

void COptionsDialog::UpdateNextStartNote() {
    const int inEffect = m_app.GetOutputInEffect();
    const int chosen = m_outputGroup->checkedId();
    m_nextStartNote->setVisible(chosen >= 0 && chosen != inEffect);
}

void COptionsDialog::showEvent(QShowEvent* event) {
    // Coming back from being minimised is not a new opening.
    if (!event->spontaneous()) {
        LoadControls();
    }
    QDialog::showEvent(event);
}

void COptionsDialog::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_labelTimer.stop();
    }
    QDialog::hideEvent(event);
}

void COptionsDialog::UpdateLoudspeakerNote() {
    const std::string choice = m_loudspeakers->currentData().toString().toStdString();
    const std::string why = m_app.LoudspeakersUnavailable(choice);
    m_loudspeakerNote->setText(choice.empty() ? QString()
                               : why.empty()  ? QString("The output plays these channels.")
                                              : QString::fromStdString("Unavailable: " + why));
}

void COptionsDialog::accept() {
    Preferences prefs = m_app.GetPreferences();
    if (m_outputGroup->checkedId() >= 0) {
        prefs.mixerOutput = m_outputGroup->checkedId();
    }
    prefs.bUsePrimaryBuffer = m_primaryBuffer->isChecked();
    prefs.bLowpassFilter = m_lowpassFilter->isChecked();
    prefs.latency = m_latencySlider->value() * kLatencyStepMs;
    prefs.output.device = m_device->currentData().toString().toStdString();
    prefs.output.hrtfMode = m_hrtfGroup->checkedId();
    prefs.output.hrtfName = m_hrtfList->currentData().toString().toStdString();
    const Preferences before = m_app.GetPreferences();
    prefs.output.binauralSet = m_binauralSet->currentData().toString().toStdString();
    prefs.output.loudspeakers = m_loudspeakers->currentData().toString().toStdString();
    m_app.SetPreferences(prefs);
    const HeadTrackingPreferences tracking = m_headTracking->Prefs();
    const bool bTrackingChanged = !(tracking == m_app.GetHeadTrackingInForce());
    if (bTrackingChanged) {
        // A problem is said once the dialog has gone.
        QDialog::accept();
        const std::string problem = m_app.SetHeadTracking(tracking);
        if (!problem.empty()) {
            m_app.Prompts().Message(problem, UserPrompts::Icon::Exclamation);
        }
        // The session opens again with the latency tracking needs, or without it.
        m_app.OnOptionsAccepted();
        return;
    }
    QDialog::accept();
    Preferences unchanged = prefs;
    unchanged.output.binauralSet = before.output.binauralSet;
    if (unchanged == before && prefs != before) {
        m_app.OnBinauralSetChosen();
        return;
    }
    m_app.OnOptionsAccepted();
}
