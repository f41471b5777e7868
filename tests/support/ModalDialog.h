#pragma once

#include <QString>
#include <QWidget>
#include <chrono>
#include <functional>

// Drives the modal dialog a call under test is about to open, without ever waiting forever.
// If no dialog of type T is showing within the deadline, or it is still open the deadline after
// the action ran, the test fails with a message naming the dialog, and every modal window is
// closed so that the call under test returns.
namespace ModalDialog {

constexpr std::chrono::milliseconds kDeadline{5000};

// Closes every modal window, innermost first; a stuck test then ends instead of hanging.
void CloseAllModal();

// Polls the active modal widget every few ms until match() accepts it, then calls onFound with
// it; fails and closes every modal window when the deadline passes first.
void Poll(const QString& what, std::function<QWidget*(QWidget*)> match,
          std::function<void(QWidget*)> onFound, std::chrono::milliseconds deadline);

// Runs action on the modal dialog of type T once it is up, showing and active.
template <typename T>
void When(std::function<void(T&)> action, std::chrono::milliseconds deadline = kDeadline) {
    Poll(
        QString::fromLatin1(T::staticMetaObject.className()),
        [](QWidget* modal) -> QWidget* {
            auto* dialog = dynamic_cast<T*>(modal);
            // Active, as a user meets it: Qt's file dialogs treat a name box without focus
            // differently.
            return dialog != nullptr && dialog->isVisible() && dialog->isActiveWindow() ? modal
                                                                                        : nullptr;
        },
        [action](QWidget* modal) { action(*dynamic_cast<T*>(modal)); }, deadline);
}

}  // namespace ModalDialog
