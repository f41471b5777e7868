// Preloaded into the real editor by its smoke tests (LD_PRELOAD), beside the dialog answerer,
// to edit as a user would where the test cannot click: once the first wave view shows and no
// box waits, it picks Edit: Pan Points and clicks SONOMAP_TEST_ADD_POINTS points into the view,
// then writes "added N" to SONOMAP_TEST_EDIT_LOG. With SONOMAP_TEST_QUIT_AFTER_EDIT=1 it then
// closes the main window, as File: Exit does.
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QMouseEvent>
#include <QTimer>

namespace {

// Edit: Pan Points, by its command id.
const unsigned kEditPanCommand = 32775;

bool g_bDone = false;

void Click(QWidget& target, QPoint at) {
    const QPointF local(at);
    const QPointF global(target.mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&target, &release);
}

QMainWindow* MainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<QMainWindow*>(widget); window && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void EditOnce() {
    if (g_bDone || QApplication::activeModalWidget() != nullptr) {
        return;
    }
    QMainWindow* window = MainWindow();
    QAbstractScrollArea* view = nullptr;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->inherits("CWaveScrollView") && widget->isVisible() && widget->width() > 100) {
            view = qobject_cast<QAbstractScrollArea*>(widget);
        }
    }
    if (window == nullptr || view == nullptr) {
        return;
    }
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->data().toUInt() == kEditPanCommand && action->isEnabled()) {
            action->trigger();
            break;
        }
    }
    g_bDone = true;
    const int count = qEnvironmentVariableIntValue("SONOMAP_TEST_ADD_POINTS");
    QWidget& surface = *view->viewport();
    for (int i = 1; i <= count; ++i) {
        Click(surface, QPoint(surface.width() * i / (count + 1), surface.height() / 3));
    }
    QFile log(qEnvironmentVariable("SONOMAP_TEST_EDIT_LOG"));
    if (log.open(QIODevice::WriteOnly | QIODevice::Text)) {
        log.write("added " + QByteArray::number(count) + "\n");
    }
    if (qEnvironmentVariableIntValue("SONOMAP_TEST_QUIT_AFTER_EDIT") == 1) {
        QTimer::singleShot(300, window, &QWidget::close);
    }
}

void StartEditing() {
    if (!qEnvironmentVariableIsSet("SONOMAP_TEST_ADD_POINTS")) {
        return;
    }
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, &EditOnce);
    timer->start(100);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartEditing)
