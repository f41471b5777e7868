#pragma once

#include <QWidget>

class QTextBrowser;

// The built-in user guide (Help Topics, F1): one HTML page compiled into the program, shown
// in a browser in its own window titled "Sonomap Help". Links to the web open in the desktop's
// browser.
class CHelpWindow : public QWidget {
    Q_OBJECT

  public:
    static constexpr const char* kGuideUrl = "qrc:/help/UserGuide.html";

    explicit CHelpWindow(QWidget* parent = nullptr);

    QTextBrowser* Browser() const { return m_browser; }

    // Shows the program's one guide window, made on first use as a window of owner and
    // deleted with it; later calls bring it to the front as the user left it. Returns it.
    static CHelpWindow* ShowGuide(QWidget* owner);

  private:
    static void RegisterGuide();

    QTextBrowser* m_browser;
};
