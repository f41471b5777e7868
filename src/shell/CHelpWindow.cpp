#include "shell/CHelpWindow.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

void CHelpWindow::RegisterGuide() {
    // The guide lives in the shell's static library, whose resources are not registered on
    // their own. The macro declares a function, so it must not sit in a namespace of ours.
    static const bool bRegistered = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    (void)bRegistered;
}

CHelpWindow::CHelpWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser) {
    RegisterGuide();
    setWindowTitle("Sonomap Help");
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(QUrl(kGuideUrl));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 720);
}

CHelpWindow* CHelpWindow::ShowGuide(QWidget* owner) {
    static QPointer<CHelpWindow> s_window;
    if (s_window == nullptr) {
        s_window = new CHelpWindow(owner);
    }
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
    return s_window;
}
