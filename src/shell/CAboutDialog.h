#pragma once

#include <QDialog>

// The About box (resource 100): the program icon, the version line, the libraries the build
// uses with their versions, the licence and OK. Shown modally by About and by the "Info." bar's
// button; it does nothing beyond closing.
class CAboutDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kResourceId = 100;
    // The icon's edge in pixels.
    static constexpr int kIconSize = 48;
    static constexpr const char* kLicence =
        "Copyright \u00A9 2026 Ambrel.\nSonomap is free software: you may use, change and share "
        "it under the GNU General Public License, version 3 or later (GPL-3.0-or-later). It "
        "comes with no warranty.";

    explicit CAboutDialog(QWidget* parent = nullptr);
};
