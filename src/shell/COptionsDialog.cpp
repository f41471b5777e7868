#include "shell/COptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "playback/CEditorApp.h"

namespace {

template <typename Control>
Control* Tagged(Control* control, int id) {
    control->setObjectName(QString::number(id));
    control->setProperty("controlId", id);
    return control;
}

}  // namespace

COptionsDialog::COptionsDialog(CEditorApp& app, QWidget* parent)
    : QDialog(parent),
      m_app(app),
      m_outputGroup(new QButtonGroup(this)),
      m_latencySlider(Tagged(new QSlider(Qt::Horizontal), kIdLatencySlider)),
      m_latencyLabel(Tagged(new QLabel, kIdLatencyLabel)),
      m_primaryBuffer(Tagged(new QCheckBox("Use Primary DirectSound Buffer"), kIdPrimaryBuffer)),
      m_lowpassFilter(Tagged(new QCheckBox("Lowpass Filter"), kIdLowpassFilter)) {
    setWindowTitle("Options...");
    setProperty("resourceId", kResourceId);

    // The group's ids are the mixer output indexes.
    m_outputGroup->addButton(Tagged(new QRadioButton("Use DirectSound"), kIdDirectSound),
                             CEditorApp::kOutputDirectSound);
    m_outputGroup->addButton(Tagged(new QRadioButton("Use WaveOut"), kIdWaveOut),
                             CEditorApp::kOutputWaveOut);
    m_outputGroup->addButton(Tagged(new QRadioButton("Let Trevant Decide"), kIdLetTrevantDecide),
                             CEditorApp::kOutputLetMixerDecide);
    connect(m_outputGroup, &QButtonGroup::buttonClicked, this, &COptionsDialog::OnOutputClicked);

    m_latencySlider->setRange(0, kLatencySteps);
    m_latencySlider->setTickPosition(QSlider::NoTicks);
    // Wide enough for the longest text, so the dialog keeps its size while the slider moves.
    const QFontMetrics metrics = m_latencyLabel->fontMetrics();
    m_latencyLabel->setMinimumWidth(
        std::max(metrics.horizontalAdvance(LatencyText(0)),
                 metrics.horizontalAdvance(LatencyText(kLatencySteps * kLatencyStepMs))));

    auto* trevant = new QGroupBox("Trevant");
    auto* grid = new QGridLayout(trevant);
    int row = 0;
    for (QAbstractButton* button : m_outputGroup->buttons()) {
        grid->addWidget(button, row++, 0, 1, 3);
    }
    grid->addWidget(new QLabel("Latency"), row++, 0, 1, 3);
    grid->addWidget(new QLabel("0 ms"), row, 0);
    grid->addWidget(m_latencySlider, row, 1);
    grid->addWidget(new QLabel("1000 ms"), row++, 2);
    grid->addWidget(m_latencyLabel, row++, 1, Qt::AlignHCenter);
    grid->addWidget(m_primaryBuffer, row++, 0, 1, 3);
    grid->addWidget(m_lowpassFilter, row++, 0, 1, 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(trevant);
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
    m_primaryBuffer->setChecked(prefs.bUsePrimaryBuffer);
    m_lowpassFilter->setChecked(prefs.bLowpassFilter);
    m_latencySlider->setValue(prefs.latency / kLatencyStepMs);
    m_primaryBuffer->setEnabled(prefs.AllowsPrimaryBuffer());
    m_shownLatency = -1;
    UpdateLatencyLabel();
    m_labelTimer.start();
}

void COptionsDialog::UpdateLatencyLabel() {
    const int latency = m_latencySlider->value() * kLatencyStepMs;
    if (latency != m_shownLatency) {
        m_latencyLabel->setText(LatencyText(latency));
        m_shownLatency = latency;
    }
}

void COptionsDialog::OnOutputClicked(QAbstractButton* button) {
    // The check mark stays as it is, so choosing DirectSound again brings it back.
    m_primaryBuffer->setEnabled(m_outputGroup->id(button) != CEditorApp::kOutputWaveOut);
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

void COptionsDialog::accept() {
    Preferences prefs = m_app.GetPreferences();
    if (m_outputGroup->checkedId() >= 0) {
        prefs.mixerOutput = m_outputGroup->checkedId();
    }
    prefs.bUsePrimaryBuffer = m_primaryBuffer->isChecked();
    prefs.bLowpassFilter = m_lowpassFilter->isChecked();
    prefs.latency = m_latencySlider->value() * kLatencyStepMs;
    m_app.SetPreferences(prefs);
    QDialog::accept();
    m_app.OnOptionsAccepted();
}
