#pragma once

#include <QDialog>

#include "trajectory/PanPoint.h"

class CEditorApp;
class PointProperties;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// "Point Properties": the exact position of one pan point, as a time (m:ss.mmm) and as a
// frame, and its direction in whole degrees, each editable. Every change is checked at once
// against the point's neighbours and the sound's length; a refused value shows why on a line
// under its box and OK waits until all is right. OK changes the point as one undo step. The
// point's properties object outlives the dialog.
//
// For a 3-D trajectory, or from the all-around view, the whole place takes the direction's
// rows: azimuth round the circle (kept in step with the direction, which is its frontal fold),
// elevation, distance in metres and, for a stereo sound, width. Their refusals share one line
// under them. A frontal trajectory shows the direction alone.
class CPointPropertiesDialog : public QDialog {
    Q_OBJECT

  public:
    CPointPropertiesDialog(PointProperties& properties, QWidget* parent = nullptr);

    // Lets the application show this dialog, modal over parent (the main window, which must
    // outlive the application's use of it, or none).
    static void Install(CEditorApp& app, QWidget* parent);

    QLineEdit* TimeBox() const { return m_pTime; }
    QLineEdit* FramesBox() const { return m_pFrames; }
    QLineEdit* PanBox() const { return m_pPan; }
    QLineEdit* AzimuthBox() const { return m_pAzimuth; }
    QLineEdit* ElevationBox() const { return m_pElevation; }
    QLineEdit* DistanceBox() const { return m_pDistance; }
    QLineEdit* WidthBox() const { return m_pWidth; }
    QLabel* PlaceError() const { return m_pPlaceError; }
    // The inline messages; empty while their values are right.
    QLabel* PositionError() const { return m_pPositionError; }
    QLabel* PanError() const { return m_pPanError; }
    bool CanAccept() const;

    // Applies the values when they are right; otherwise the dialog stays.
    void accept() override;

  private:
    void OnTimeEdited();
    void OnFramesEdited();
    void OnPanEdited();
    void OnPlaceEdited();
    void ShowError(QLabel* label, const std::string& error);
    // Grows the dialog until every shown reason fits in full.
    void FitReasons();
    void UpdateOk();

    PointProperties& m_properties;
    uint32_t m_position;
    int m_pan;
    bool m_bPositionOk = true;
    bool m_bPanOk = true;
    bool m_bPlaceOk = true;
    PanPoint m_place;    // the typed azimuth, elevation, distance and width
    QLineEdit* m_pTime;  // the widgets belong to the dialog
    QLineEdit* m_pFrames;
    QLineEdit* m_pPan;
    QLabel* m_pPositionError;
    QLabel* m_pPanError;
    QLineEdit* m_pAzimuth;
    QLineEdit* m_pElevation;
    QLineEdit* m_pDistance;
    QLineEdit* m_pWidth;
    QLabel* m_pPlaceError;
    QDialogButtonBox* m_pButtons;
};
