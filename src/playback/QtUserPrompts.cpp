#include "playback/QtUserPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QVBoxLayout>

#include "playback/CProgressDialog.h"

namespace {

QMessageBox::Icon IconOf(UserPrompts::Icon icon) {
    switch (icon) {
        case UserPrompts::Icon::Exclamation:
            return QMessageBox::Warning;
        case UserPrompts::Icon::Question:
            return QMessageBox::Question;
        case UserPrompts::Icon::Information:
            return QMessageBox::Information;
        case UserPrompts::Icon::Stop:
            return QMessageBox::Critical;
        case UserPrompts::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ButtonOf(UserPrompts::Answer answer) {
    switch (answer) {
        case UserPrompts::Answer::Cancel:
            return QMessageBox::Cancel;
        case UserPrompts::Answer::Yes:
            return QMessageBox::Yes;
        case UserPrompts::Answer::No:
            return QMessageBox::No;
        case UserPrompts::Answer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons ButtonsOf(UserPrompts::Buttons buttons) {
    switch (buttons) {
        case UserPrompts::Buttons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case UserPrompts::Buttons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case UserPrompts::Buttons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case UserPrompts::Buttons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

UserPrompts::Answer AnswerOf(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return UserPrompts::Answer::Cancel;
        case QMessageBox::Yes:
            return UserPrompts::Answer::Yes;
        case QMessageBox::No:
            return UserPrompts::Answer::No;
        default:
            return UserPrompts::Answer::Ok;
    }
}

}  // namespace

QtUserPrompts::QtUserPrompts() = default;
QtUserPrompts::~QtUserPrompts() = default;

UserPrompts::Answer QtUserPrompts::ShowMessage(const Box& box) {
    const QString caption = QString::fromStdString(box.caption.empty() ? kAppCaption : box.caption);
    QMessageBox message(IconOf(box.icon), caption, QString::fromStdString(box.text),
                        ButtonsOf(box.buttons), QApplication::activeWindow());
    message.setDefaultButton(ButtonOf(box.defaultAnswer));
    if (!box.informative.empty()) {
        message.setInformativeText(QString::fromStdString(box.informative));
    }
    message.setProperty("helpId", box.helpId);
    const int chosen = message.exec();
    // Closing the box without a button is its cancel, or its only button.
    if (chosen != QMessageBox::Ok && chosen != QMessageBox::Cancel && chosen != QMessageBox::Yes &&
        chosen != QMessageBox::No) {
        return box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
    return AnswerOf(chosen);
}

void QtUserPrompts::OpenProcessingWindow() {
    if (!m_pProcessing) {
        m_pProcessing = std::make_unique<QWidget>(nullptr, Qt::Dialog);
        m_pProcessing->setWindowTitle("Processing...");
        auto* layout = new QVBoxLayout(m_pProcessing.get());
        m_pProcessingLabel = new QLabel(m_pProcessing.get());
        m_pProcessingLabel->setMinimumWidth(220);
        layout->addWidget(m_pProcessingLabel);
    }
    m_pProcessingLabel->clear();
    m_pProcessing->show();
    // The work that follows runs on this thread: let the window paint first.
    QApplication::processEvents();
}

void QtUserPrompts::SetProcessingText(const std::string& text) {
    if (!m_pProcessing) {
        return;
    }
    m_pProcessingLabel->setText(QString::fromStdString(text));
    QApplication::processEvents();
}

void QtUserPrompts::CloseProcessingWindow() {
    if (m_pProcessing) {
        m_pProcessing->hide();
    }
}

QString QtUserPrompts::ProcessingText() const {
    return m_pProcessingLabel != nullptr ? m_pProcessingLabel->text() : QString();
}

std::unique_ptr<ProgressIndicator> QtUserPrompts::OpenProgressDialog() {
    auto dialog = std::make_unique<CProgressDialog>();
    dialog->Create(nullptr);
    return dialog;
}

std::unique_ptr<ProgressIndicator> QtUserPrompts::OpenProgressDialog(const std::string& caption) {
    auto dialog = std::make_unique<CProgressDialog>(QString::fromStdString(caption));
    dialog->Create(nullptr);
    return dialog;
}
