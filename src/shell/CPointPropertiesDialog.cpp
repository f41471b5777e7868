#include "shell/CPointPropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/PointProperties.h"
#include "playback/CEditorApp.h"

namespace {

QLabel* MakeErrorLine(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(180, 0, 0));
    label->setPalette(palette);
    label->hide();
    return label;
}

}  // namespace

CPointPropertiesDialog::CPointPropertiesDialog(PointProperties& properties, QWidget* parent)
    : QDialog(parent),
      m_properties(properties),
      m_position(properties.Position()),
      m_pan(properties.Pan()),
      m_pTime(new QLineEdit(QString::fromStdString(properties.TimeOf(m_position)), this)),
      m_pFrames(new QLineEdit(QString::number(m_position), this)),
      m_pPan(new QLineEdit(QString::number(m_pan), this)),
      m_pPositionError(MakeErrorLine(this, "positionError")),
      m_pPanError(MakeErrorLine(this, "panError")),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle("Point Properties");
    m_pTime->setObjectName("timeBox");
    m_pFrames->setObjectName("framesBox");
    m_pPan->setObjectName("panBox");

    auto* form = new QFormLayout;
    auto* timeLabel = new QLabel("&Time (m:ss.mmm):", this);
    timeLabel->setBuddy(m_pTime);
    form->addRow(timeLabel, m_pTime);
    auto* framesLabel = new QLabel("&Frame:", this);
    framesLabel->setBuddy(m_pFrames);
    form->addRow(framesLabel, m_pFrames);
    form->addRow(m_pPositionError);
    auto* panLabel = new QLabel("&Direction (degrees):", this);
    panLabel->setBuddy(m_pPan);
    form->addRow(panLabel, m_pPan);
    form->addRow(new QLabel("-90 is full left, 0 straight ahead, +90 full right.", this));
    form->addRow(m_pPanError);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pButtons);
    setMinimumWidth(360);

    connect(m_pTime, &QLineEdit::textEdited, this, &CPointPropertiesDialog::OnTimeEdited);
    connect(m_pFrames, &QLineEdit::textEdited, this, &CPointPropertiesDialog::OnFramesEdited);
    connect(m_pPan, &QLineEdit::textEdited, this, &CPointPropertiesDialog::OnPanEdited);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CPointPropertiesDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_pTime->selectAll();
}

bool CPointPropertiesDialog::CanAccept() const {
    return m_bPositionOk && m_bPanOk;
}

void CPointPropertiesDialog::ShowError(QLabel* label, const std::string& error) {
    label->setText(QString::fromStdString(error));
    label->setVisible(!error.empty());
    FitReasons();
}

void CPointPropertiesDialog::FitReasons() {
    // A shown top-level window does not grow for a wrapped label on its own: at a large font
    // the reasons were cut at the top and the bottom.
    layout()->activate();
    const int needed = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width())
                                                     : layout()->totalSizeHint().height();
    if (height() < needed) {
        resize(width(), needed);
    }
}

void CPointPropertiesDialog::UpdateOk() {
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(CanAccept());
}

void CPointPropertiesDialog::OnTimeEdited() {
    const PointProperties::Checked<uint32_t> checked =
        m_properties.CheckTime(m_pTime->text().toStdString());
    m_bPositionOk = checked.value.has_value();
    ShowError(m_pPositionError, checked.error);
    if (checked.value) {
        m_position = *checked.value;
        m_pFrames->setText(QString::number(m_position));
    }
    UpdateOk();
}

void CPointPropertiesDialog::OnFramesEdited() {
    const PointProperties::Checked<uint32_t> checked =
        m_properties.CheckFrames(m_pFrames->text().toStdString());
    m_bPositionOk = checked.value.has_value();
    ShowError(m_pPositionError, checked.error);
    if (checked.value) {
        m_position = *checked.value;
        m_pTime->setText(QString::fromStdString(m_properties.TimeOf(m_position)));
    }
    UpdateOk();
}

void CPointPropertiesDialog::OnPanEdited() {
    const PointProperties::Checked<int> checked =
        m_properties.CheckPan(m_pPan->text().toStdString());
    m_bPanOk = checked.value.has_value();
    ShowError(m_pPanError, checked.error);
    if (checked.value) {
        m_pan = *checked.value;
    }
    UpdateOk();
}

void CPointPropertiesDialog::accept() {
    if (!CanAccept()) {
        return;
    }
    m_properties.Apply(m_position, m_pan);
    QDialog::accept();
}

void CPointPropertiesDialog::Install(CEditorApp& app, QWidget* parent) {
    app.SetPointPropertiesDialog([parent](PointProperties& properties) {
        const uint32_t position = properties.Position();
        const int pan = properties.Pan();
        CPointPropertiesDialog dialog(properties, parent);
        return dialog.exec() == QDialog::Accepted &&
               (properties.Position() != position || properties.Pan() != pan);
    });
}
