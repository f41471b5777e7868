#pragma once

#include <QDialog>
#include <cstdint>

class CEditorApp;
class CTesselDoc;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// "Generate Trajectory": a shape and its keys ("period=2,direction=left") over frames from ..
// to of a document. Every change draws the shape into the document at once, so the view shows
// it; OK keeps it as one undo step, Cancel takes it back and leaves no step. A key in error
// says why under the box and OK waits. The document outlives the dialog.
class CGenerateTrajectoryDialog : public QDialog {
    Q_OBJECT

  public:
    CGenerateTrajectoryDialog(CTesselDoc& doc, uint32_t from, uint32_t to,
                              QWidget* parent = nullptr);
    ~CGenerateTrajectoryDialog() override;

    // Lets the application show this dialog, modal over parent (which must outlive the
    // application's use of it, or none).
    static void Install(CEditorApp& app, QWidget* parent);

    QComboBox* ShapeBox() const { return m_pShape; }
    QLineEdit* KeysBox() const { return m_pKeys; }
    // The points drawn, or what is wrong.
    QLabel* Message() const { return m_pMessage; }
    bool CanAccept() const { return m_bValid; }

    void accept() override;
    void reject() override;

  private:
    void OnShapeChanged();
    void Preview();

    CTesselDoc& m_doc;
    uint32_t m_from;
    uint32_t m_to;
    bool m_bValid = false;
    bool m_bOpen = false;  // a preview group is open in the document
    QComboBox* m_pShape;
    QLineEdit* m_pKeys;
    QLabel* m_pMessage;
    QDialogButtonBox* m_pButtons;
};
