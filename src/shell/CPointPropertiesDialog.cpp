#include "shell/CPointPropertiesDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/PointProperties.h"
#include "playback/CEditorApp.h"
#include "trajectory/SoundPlace.h"

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
      m_place(properties.Place()),
      m_pTime(new QLineEdit(QString::fromStdString(properties.TimeOf(m_position)), this)),
      m_pFrames(new QLineEdit(QString::number(m_position), this)),
      m_pPan(new QLineEdit(QString::number(m_pan), this)),
      m_pPositionError(MakeErrorLine(this, "positionError")),
      m_pPanError(MakeErrorLine(this, "panError")),
      m_pAzimuth(new QLineEdit(QString::number(properties.Place().azimuth), this)),
      m_pElevation(new QLineEdit(QString::number(properties.Place().elevation), this)),
      m_pDistance(
          new QLineEdit(QString::number(properties.Place().distanceCm / 100.0, 'f', 2), this)),
      m_pWidth(new QLineEdit(QString::number(properties.Place().width), this)),
      m_pPlaceError(MakeErrorLine(this, "placeError")),
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
    auto* panHint = new QLabel("-90 is full left, 0 straight ahead, +90 full right.", this);
    form->addRow(panHint);
    form->addRow(m_pPanError);
    const std::pair<const char*, QLineEdit*> place[] = {{"&Azimuth (degrees):", m_pAzimuth},
                                                        {"&Elevation (degrees):", m_pElevation},
                                                        {"Dista&nce (metres):", m_pDistance},
                                                        {"&Width (degrees):", m_pWidth}};
    for (const auto& [text, box] : place) {
        auto* label = new QLabel(text, this);
        label->setBuddy(box);
        form->addRow(label, box);
        connect(box, &QLineEdit::textEdited, this, &CPointPropertiesDialog::OnPlaceEdited);
    }
    auto* placeHint = new QLabel("Azimuth 180 is behind; elevation +90 straight up.", this);
    form->addRow(placeHint);
    form->addRow(m_pPlaceError);
    // One way to say where the point is: a direction on the front half-circle would fold a
    // point behind onto the front, and the place's values mean nothing to a frontal path.
    const bool bPlace = properties.ShowsPlace();
    form->setRowVisible(m_pPan, !bPlace);
    form->setRowVisible(panHint, !bPlace);
    for (QWidget* row : {static_cast<QWidget*>(m_pAzimuth), static_cast<QWidget*>(m_pElevation),
                         static_cast<QWidget*>(m_pDistance), static_cast<QWidget*>(m_pWidth),
                         static_cast<QWidget*>(placeHint)}) {
        form->setRowVisible(row, bPlace);
    }
    m_pAzimuth->setObjectName("azimuthBox");
    m_pElevation->setObjectName("elevationBox");
    m_pDistance->setObjectName("distanceBox");
    m_pWidth->setObjectName("widthBox");
    if (!properties.IsStereo()) {
        m_pWidth->setEnabled(false);
        m_pWidth->setToolTip("Width spreads a stereo sound's two channels; a mono sound has one.");
    }

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
    return m_bPositionOk && m_bPanOk && m_bPlaceOk;
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
        // The direction typed is a place in front: the azimuth follows it.
        SetAzimuth(m_place, m_pan);
        m_pAzimuth->setText(QString::number(m_place.azimuth));
        OnPlaceEdited();
    }
    UpdateOk();
}

void CPointPropertiesDialog::OnPlaceEdited() {
    const auto text = [](const QLineEdit* box) { return box->text().toStdString(); };
    const PointProperties::Checked<int> azimuth = m_properties.CheckAzimuth(text(m_pAzimuth));
    const PointProperties::Checked<int> elevation = m_properties.CheckElevation(text(m_pElevation));
    const PointProperties::Checked<uint32_t> distance =
        m_properties.CheckDistance(text(m_pDistance));
    const PointProperties::Checked<int> width = m_properties.CheckWidth(text(m_pWidth));
    m_bPlaceOk = azimuth.value && elevation.value && distance.value && width.value;
    ShowError(m_pPlaceError, !azimuth.error.empty()     ? azimuth.error
                             : !elevation.error.empty() ? elevation.error
                             : !distance.error.empty()  ? distance.error
                                                        : width.error);
    if (m_bPlaceOk) {
        SetAzimuth(m_place, *azimuth.value);
        m_place.elevation = *elevation.value;
        m_place.distanceCm = *distance.value;
        m_place.width = *width.value;
        if (m_place.Pan() != m_pan || !m_bPanOk) {
            // The direction shows the azimuth's fold, as a front-only reader sees it.
            m_pan = m_place.Pan();
            m_pPan->setText(QString::number(m_pan));
            m_bPanOk = true;
            ShowError(m_pPanError, {});
        }
    }
    UpdateOk();
}

void CPointPropertiesDialog::accept() {
    if (!CanAccept()) {
        return;
    }
    m_properties.Apply(m_position, m_place);
    QDialog::accept();
}

void CPointPropertiesDialog::Install(CEditorApp& app, QWidget* parent) {
    app.Dialogs().SetPointProperties([parent](PointProperties& properties) {
        const PanPoint before = properties.Place();
        CPointPropertiesDialog dialog(properties, parent);
        return dialog.exec() == QDialog::Accepted && properties.Place() != before;
    });
}
