#pragma once

#include <QDialog>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class CEditorApp;
class CTesselDoc;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QStackedWidget;

// "Generate Trajectory": a shape over frames from .. to of a document, each shape with fields
// of its own in their units (degrees, seconds, metres, degrees a second) and the span in
// frames. Every change draws the shape into the document at once, so the view shows it; OK
// keeps it as one undo step, Cancel takes it back and leaves no step. A value the shape cannot
// take says why under the fields and OK waits. The values go to TrajectoryGenerator as the
// CLI's "SHAPE:key=value" text, so both draw alike. The document outlives the dialog.
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
    // The shown shape's field of a key of TrajectoryGenerator::KeysOf, or "from" and "to" (the
    // span, in frames); null when the shape has no such key. "direction" is DirectionBox.
    QDoubleSpinBox* Field(const std::string& key) const;
    // The shown shape's turning direction (orbit, spiral): right or left; null for others.
    QComboBox* DirectionBox() const;
    // The points drawn, or what is wrong.
    QLabel* Message() const { return m_pMessage; }
    bool CanAccept() const { return m_bValid; }

    void accept() override;
    void reject() override;

  private:
    // One shape's fields, shown while the shape is chosen.
    struct Page {
        std::map<std::string, QDoubleSpinBox*> numbers;
        QComboBox* direction = nullptr;
        std::vector<std::string> keys;  // in the generator's order
    };
    void AddPage(const std::string& shape);
    std::string KeysText() const;
    void Preview();

    CTesselDoc& m_doc;
    bool m_bValid = false;
    bool m_bOpen = false;  // a preview group is open in the document
    QComboBox* m_pShape;
    QDoubleSpinBox* m_pFrom;
    QDoubleSpinBox* m_pTo;
    QStackedWidget* m_pPages;
    std::vector<Page> m_pages;  // by the shape box's index
    QLabel* m_pMessage;
    QDialogButtonBox* m_pButtons;
};
