#include "shell/CAboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "shell/CAppIcon.h"

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("About Sonomap");
    setProperty("resourceId", kResourceId);

    auto* icon = new QLabel;
    icon->setObjectName("aboutIcon");
    icon->setPixmap(CAppIcon::Icon().pixmap(kIconSize, kIconSize));
    auto* version = new QLabel("Sonomap Version 1.0");
    version->setObjectName("versionLabel");

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addSpacing(12);
    row->addWidget(version, 1, Qt::AlignVCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
