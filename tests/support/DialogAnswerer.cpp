// Preloaded into the real editor by its smoke tests (LD_PRELOAD), so that a process the test
// cannot click into still answers its message boxes. Each box that comes up is written to the
// file SONOMAP_TEST_DIALOG_LOG names, one line per box, then answered the careful way: Cancel,
// else No, else its only or its default button. SONOMAP_TEST_DIALOG_ANSWER=yes or =no picks
// that button instead wherever a box has it.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

void LogBox(const QMessageBox& box) {
    QFile log(qEnvironmentVariable("SONOMAP_TEST_DIALOG_LOG"));
    if (!log.open(QIODevice::Append | QIODevice::Text)) {
        return;
    }
    QString text = box.text();
    text.replace('\n', " | ");
    log.write(text.toUtf8() + "\n");
}

QAbstractButton* CarefulAnswer(const QMessageBox& box) {
    const QString asked = qEnvironmentVariable("SONOMAP_TEST_DIALOG_ANSWER");
    if (asked == "yes" || asked == "no") {
        if (QAbstractButton* button =
                box.button(asked == "yes" ? QMessageBox::Yes : QMessageBox::No)) {
            return button;
        }
    }
    for (QMessageBox::ButtonRole role : {QMessageBox::RejectRole, QMessageBox::NoRole}) {
        for (QAbstractButton* button : box.buttons()) {
            if (box.buttonRole(button) == role) {
                return button;
            }
        }
    }
    if (box.buttons().size() == 1) {
        return box.buttons().first();
    }
    return box.defaultButton();
}

void AnswerShownBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box->property("answered").toBool()) {
        return;
    }
    QAbstractButton* button = CarefulAnswer(*box);
    if (button == nullptr) {
        return;
    }
    box->setProperty("answered", true);
    LogBox(*box);
    button->click();
}

void StartAnswering() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, &AnswerShownBox);
    timer->start(50);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartAnswering)
