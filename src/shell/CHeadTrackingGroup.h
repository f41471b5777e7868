#pragma once

#include <QGroupBox>

#include "playback/HeadTrackingPreferences.h"

class QCheckBox;
class QLabel;
class QSpinBox;

// Preferences' "Head tracking" group: whether the editor follows a head tracker over OSC, the
// UDP port, which messages it reads and which axes of /ypr and /quaternion turn the other way.
// It edits a copy: Load fills it, Prefs reads it back.
class CHeadTrackingGroup : public QGroupBox {
  public:
    explicit CHeadTrackingGroup(QWidget* parent = nullptr);

    void Load(const HeadTrackingPreferences& prefs, const QString& state);
    HeadTrackingPreferences Prefs() const;

    QCheckBox* EnabledBox() const { return m_enabled; }
    QSpinBox* PortBox() const { return m_port; }

  private:
    void UpdateEnabling();

    QCheckBox* m_enabled;
    QSpinBox* m_port;
    QCheckBox* m_head;
    QCheckBox* m_ypr;
    QCheckBox* m_quaternion;
    QCheckBox* m_place;
    QCheckBox* m_invertYaw;
    QCheckBox* m_invertPitch;
    QCheckBox* m_invertRoll;
    QLabel* m_state;
};
