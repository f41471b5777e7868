#pragma once

#include <QDialog>
#include <cstdint>

class CEditorApp;
class CTesselDoc;
class QLabel;
class QLineEdit;

// "Stretch Points": a factor for the times of the pan points of frames from .. to, around
// from (2 plays the motion at half speed, 0.5 at twice). OK applies it as one undo step, or
// says under the box why it cannot and stays. The document outlives the dialog.
class CStretchPointsDialog : public QDialog {
    Q_OBJECT

  public:
    CStretchPointsDialog(CTesselDoc& doc, uint32_t from, uint32_t to, QWidget* parent = nullptr);

    static void Install(CEditorApp& app, QWidget* parent);

    QLineEdit* FactorBox() const { return m_pFactor; }
    QLabel* ErrorLine() const { return m_pError; }

    void accept() override;

  private:
    CTesselDoc& m_doc;
    uint32_t m_from;
    uint32_t m_to;
    QLineEdit* m_pFactor;
    QLabel* m_pError;
};
