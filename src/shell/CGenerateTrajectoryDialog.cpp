#include "shell/CGenerateTrajectoryDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/CTesselDoc.h"
#include "document/TrajectorySpan.h"
#include "playback/CEditorApp.h"
#include "trajectory/TrajectoryGenerator.h"

namespace {

QString DefaultKeys(TrajectoryGenerator::Shape shape) {
    QStringList items;
    for (const TrajectoryGenerator::Key& key : TrajectoryGenerator::KeysOf(shape)) {
        const QString value = key.name == "direction" ? (key.value > 0 ? "right" : "left")
                                                      : QString::number(key.value);
        items << QString::fromStdString(key.name) + "=" + value;
    }
    return items.join(",");
}

}  // namespace

CGenerateTrajectoryDialog::CGenerateTrajectoryDialog(CTesselDoc& doc, uint32_t from, uint32_t to,
                                                     QWidget* parent)
    : QDialog(parent),
      m_doc(doc),
      m_from(from),
      m_to(to),
      m_pShape(new QComboBox(this)),
      m_pKeys(new QLineEdit(this)),
      m_pMessage(new QLabel(this)),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle("Generate Trajectory");
    m_pShape->setObjectName("shapeBox");
    m_pKeys->setObjectName("keysBox");
    m_pMessage->setObjectName("message");
    m_pMessage->setWordWrap(true);
    for (const std::string& name : TrajectoryGenerator::ShapeNames()) {
        m_pShape->addItem(QString::fromStdString(name));
    }
    auto* form = new QFormLayout;
    auto* shapeLabel = new QLabel("&Shape:", this);
    shapeLabel->setBuddy(m_pShape);
    form->addRow(shapeLabel, m_pShape);
    auto* keysLabel = new QLabel("&Keys:", this);
    keysLabel->setBuddy(m_pKeys);
    form->addRow(keysLabel, m_pKeys);
    form->addRow(
        new QLabel("Angles in degrees, period in seconds, distance in metres; "
                   "from and to in frames.",
                   this));
    form->addRow(m_pMessage);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pButtons);
    setMinimumWidth(480);

    connect(m_pShape, &QComboBox::currentIndexChanged, this,
            &CGenerateTrajectoryDialog::OnShapeChanged);
    connect(m_pKeys, &QLineEdit::textChanged, this, &CGenerateTrajectoryDialog::Preview);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CGenerateTrajectoryDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CGenerateTrajectoryDialog::reject);
    OnShapeChanged();
}

CGenerateTrajectoryDialog::~CGenerateTrajectoryDialog() {
    if (m_bOpen) {
        m_doc.DiscardGroup();
    }
}

void CGenerateTrajectoryDialog::OnShapeChanged() {
    const std::string name = m_pShape->currentText().toStdString();
    std::string error;
    const auto generator = TrajectoryGenerator::Parse(name, 1, 1, error);
    if (generator) {
        m_pKeys->setText(DefaultKeys(generator->GetShape()));  // previews
    }
}

void CGenerateTrajectoryDialog::Preview() {
    // Each preview starts again from the points as they were, so a span that moved leaves
    // nothing behind.
    if (m_bOpen) {
        m_doc.DiscardGroup();
    }
    m_doc.BeginGroup(UndoKind::Replace);
    m_bOpen = true;
    const std::string text = m_pShape->currentText().toStdString() +
                             ":from=" + std::to_string(m_from) + ",to=" + std::to_string(m_to) +
                             "," + m_pKeys->text().toStdString();
    std::string error;
    const auto generator = TrajectoryGenerator::Parse(text, m_doc.GetFrameCount(),
                                                      m_doc.GetFormat().sampleRate, error);
    std::vector<PanPoint> points;
    m_bValid = generator && generator->Generate(points, error) &&
               TrajectorySpan::Replace(m_doc, generator->From(), generator->To(), points);
    m_pMessage->setText(m_bValid ? QString("%1 points").arg(points.size())
                                 : QString::fromStdString(error));
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(m_bValid);
}

void CGenerateTrajectoryDialog::accept() {
    if (!m_bValid) {
        return;
    }
    m_doc.EndGroup();
    m_bOpen = false;
    QDialog::accept();
}

void CGenerateTrajectoryDialog::reject() {
    if (m_bOpen) {
        m_doc.DiscardGroup();
        m_bOpen = false;
    }
    QDialog::reject();
}

void CGenerateTrajectoryDialog::Install(CEditorApp& app, QWidget* parent) {
    app.SetGenerateDialog([parent](CTesselDoc& doc, uint32_t from, uint32_t to) {
        CGenerateTrajectoryDialog dialog(doc, from, to, parent);
        return dialog.exec() == QDialog::Accepted;
    });
}
