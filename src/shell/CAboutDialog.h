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
    // No licence has been granted for the program, so none is claimed.
    static constexpr const char* kLicence = "Copyright \u00A9 Ambrel. All rights reserved.";

    explicit CAboutDialog(QWidget* parent = nullptr);
};
