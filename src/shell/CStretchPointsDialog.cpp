#include "shell/CStretchPointsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <string>

#include "document/TrajectorySpan.h"
#include "playback/CEditorApp.h"

CStretchPointsDialog::CStretchPointsDialog(CTesselDoc& doc, uint32_t from, uint32_t to,
                                           QWidget* parent)
    : QDialog(parent),
      m_doc(doc),
      m_from(from),
      m_to(to),
      m_pFactor(new QLineEdit("1", this)),
      m_pError(new QLabel(this)) {
    setWindowTitle("Stretch Points");
    m_pFactor->setObjectName("factorBox");
    m_pError->setObjectName("stretchError");
    m_pError->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* form = new QFormLayout;
    auto* label = new QLabel("&Factor:", this);
    label->setBuddy(m_pFactor);
    form->addRow(label, m_pFactor);
    form->addRow(new QLabel("2 moves at half speed, 0.5 at twice the speed.", this));
    form->addRow(m_pError);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CStretchPointsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_pFactor->selectAll();
}

void CStretchPointsDialog::accept() {
    bool bNumber = false;
    const double factor = m_pFactor->text().toDouble(&bNumber);
    std::string error = "The factor must be a number above 0.";
    if (bNumber && TrajectorySpan::Stretch(m_doc, m_from, m_to, factor, error)) {
        QDialog::accept();
        return;
    }
    m_pError->setText(QString::fromStdString(error));
}

void CStretchPointsDialog::Install(CEditorApp& app, QWidget* parent) {
    app.Dialogs().SetStretch([parent](CTesselDoc& doc, uint32_t from, uint32_t to) {
        CStretchPointsDialog dialog(doc, from, to, parent);
        return dialog.exec() == QDialog::Accepted;
    });
}
