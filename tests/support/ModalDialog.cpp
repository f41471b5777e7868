#include "support/ModalDialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

namespace ModalDialog {

namespace {

// A timer that calls step every few ms until step says it is done or the deadline passes;
// it deletes itself at the end.
class Watch : public QObject {
  public:
    Watch(std::chrono::milliseconds deadline, std::function<bool()> step,
          std::function<void()> onTimeout)
        : m_deadline(deadline), m_step(std::move(step)), m_onTimeout(std::move(onTimeout)) {
        m_clock.start();
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { Tick(); });
        m_timer.start();
    }

  private:
    void Tick() {
        if (m_step()) {
            Finish();
        } else if (m_clock.elapsed() > m_deadline.count()) {
            Finish();
            m_onTimeout();
        }
    }
    void Finish() {
        m_timer.stop();
        deleteLater();
    }

    std::chrono::milliseconds m_deadline;
    std::function<bool()> m_step;
    std::function<void()> m_onTimeout;
    QElapsedTimer m_clock;
    QTimer m_timer;
};

std::string ClassOf(const QWidget* widget) {
    return widget != nullptr ? widget->metaObject()->className() : "none";
}

}  // namespace

void CloseAllModal() {
    for (int guard = 0; guard < 16; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
        modal->close();
        modal->hide();
    }
}

void Poll(const QString& what, std::function<QWidget*(QWidget*)> match,
          std::function<void(QWidget*)> onFound, std::chrono::milliseconds deadline) {
    const std::string name = what.toStdString();
    new Watch(
        deadline,
        [=] {
            QWidget* found = match(QApplication::activeModalWidget());
            if (found == nullptr) {
                return false;
            }
            QPointer<QWidget> dialog(found);
            onFound(found);
            new Watch(
                deadline, [dialog] { return dialog.isNull() || !dialog->isVisible(); },
                [=] {
                    ADD_FAILURE() << "the modal " << name << " was still open " << deadline.count()
                                  << " ms after it was answered";
                    CloseAllModal();
                });
            return true;
        },
        [=] {
            ADD_FAILURE() << "no modal " << name << " showed within " << deadline.count()
                          << " ms; the active modal window is "
                          << ClassOf(QApplication::activeModalWidget());
            CloseAllModal();
        });
}

}  // namespace ModalDialog
