#include "shell/CHeadTrackingGroup.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

CHeadTrackingGroup::CHeadTrackingGroup(QWidget* parent)
    : QGroupBox("Head tracking", parent),
      m_enabled(new QCheckBox("&Follow a head tracker over OSC, UDP port")),
      m_port(new QSpinBox),
      m_head(new QCheckBox("/sonomap/head")),
      m_ypr(new QCheckBox("/ypr")),
      m_quaternion(new QCheckBox("/quaternion")),
      m_place(new QCheckBox("/sonomap/place")),
      m_invertYaw(new QCheckBox("Yaw")),
      m_invertPitch(new QCheckBox("Pitch")),
      m_invertRoll(new QCheckBox("Roll")),
      m_state(new QLabel) {
    setObjectName("headTracking");
    m_enabled->setObjectName("headTrackingEnabled");
    m_port->setObjectName("headTrackingPort");
    m_port->setRange(1, 65535);
    m_enabled->setToolTip(
        "Play Through Binaural Renderer turns with the head; the port is listened on from OK on");
    m_head->setToolTip("yaw, pitch, roll in degrees as Sonomap counts them");
    m_ypr->setToolTip("yaw, pitch, roll in degrees as IEM's SceneRotator and SPARTA read them");
    m_quaternion->setToolTip("w, x, y, z as IEM's SceneRotator and SPARTA read them");
    m_place->setToolTip(
        "azimuth, elevation in degrees and distance in metres: performs the path "
        "while Record Trajectory is armed");
    const QString invertTip = "Turn this axis of /ypr and /quaternion the other way";
    for (QCheckBox* box : {m_invertYaw, m_invertPitch, m_invertRoll}) {
        box->setToolTip(invertTip);
    }
    m_state->setWordWrap(true);
    m_state->setObjectName("headTrackingState");

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_enabled, 0, 0, 1, 2);
    grid->addWidget(m_port, 0, 2);
    auto* read = new QHBoxLayout;
    for (QCheckBox* box : {m_head, m_ypr, m_quaternion, m_place}) {
        read->addWidget(box);
    }
    grid->addWidget(new QLabel("Read"), 1, 0);
    grid->addLayout(read, 1, 1, 1, 2);
    auto* invert = new QHBoxLayout;
    for (QCheckBox* box : {m_invertYaw, m_invertPitch, m_invertRoll}) {
        invert->addWidget(box);
    }
    invert->addStretch();
    grid->addWidget(new QLabel("Invert"), 2, 0);
    grid->addLayout(invert, 2, 1, 1, 2);
    grid->addWidget(m_state, 3, 0, 1, 3);
    connect(m_enabled, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
}

void CHeadTrackingGroup::Load(const HeadTrackingPreferences& prefs, const QString& state) {
    m_enabled->setChecked(prefs.bEnabled);
    m_port->setValue(prefs.port);
    m_head->setChecked(prefs.bHead);
    m_ypr->setChecked(prefs.bYpr);
    m_quaternion->setChecked(prefs.bQuaternion);
    m_place->setChecked(prefs.bPlace);
    m_invertYaw->setChecked(prefs.bInvertYaw);
    m_invertPitch->setChecked(prefs.bInvertPitch);
    m_invertRoll->setChecked(prefs.bInvertRoll);
    m_state->setText(state);
    m_state->setVisible(!state.isEmpty());
    UpdateEnabling();
}

HeadTrackingPreferences CHeadTrackingGroup::Prefs() const {
    HeadTrackingPreferences prefs;
    prefs.bEnabled = m_enabled->isChecked();
    prefs.port = m_port->value();
    prefs.bHead = m_head->isChecked();
    prefs.bYpr = m_ypr->isChecked();
    prefs.bQuaternion = m_quaternion->isChecked();
    prefs.bPlace = m_place->isChecked();
    prefs.bInvertYaw = m_invertYaw->isChecked();
    prefs.bInvertPitch = m_invertPitch->isChecked();
    prefs.bInvertRoll = m_invertRoll->isChecked();
    return prefs;
}

void CHeadTrackingGroup::UpdateEnabling() {
    const bool bOn = m_enabled->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_port, m_head, m_ypr, m_quaternion, m_place, m_invertYaw,
                                         m_invertPitch, m_invertRoll}) {
        control->setEnabled(bOn);
    }
}
