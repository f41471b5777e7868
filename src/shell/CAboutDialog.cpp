#include "shell/CAboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QtGlobal>

#include "shell/CAppIcon.h"

namespace {

// The build's library versions come from pkg-config at configure time; Qt says its own.
QString LibraryLines() {
    return QString("Qt %1\nOpenAL Soft %2\nlibsndfile %3\nlibsoxr %4")
        .arg(qVersion(), SONOMAP_OPENAL_VERSION, SONOMAP_SNDFILE_VERSION, SONOMAP_SOXR_VERSION);
}

}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Sonomap");
    setProperty("resourceId", kResourceId);

    auto* icon = new QLabel;
    icon->setObjectName("aboutIcon");
    icon->setPixmap(CAppIcon::Icon().pixmap(kIconSize, kIconSize));
    auto* version = new QLabel("Sonomap Version 1.0");
    version->setObjectName("versionLabel");
    auto* libraries = new QLabel(LibraryLines());
    libraries->setObjectName("librariesLabel");
    libraries->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* licence = new QLabel(kLicence);
    licence->setObjectName("licenceLabel");
    licence->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->addWidget(version);
    text->addWidget(libraries);
    text->addWidget(licence);
    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addLayout(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
