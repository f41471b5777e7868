#include "playback/CProgressDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

CProgressDialog::CProgressDialog(int captionId)
    : QDialog(nullptr),
      m_captionId(captionId),
      m_pBar(new QProgressBar(this)),
      m_pPercent(new QLabel(" 0 %", this)),
      m_pStatus(new QLabel(this)),
      m_pTime(new QLabel(this)),
      m_pCancel(new QPushButton("Cancel", this)) {
    // No parent: a disabled owner would disable its child windows too.
    setModal(false);
    m_pBar->setTextVisible(false);
    m_pPercent->setMinimumWidth(40);
    m_pStatus->setMinimumWidth(220);
    m_pTime->setObjectName("timeLine");
    m_pTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(m_pBar, 1);
    barRow->addWidget(m_pPercent);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(barRow);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_pStatus, 1);
    statusRow->addWidget(m_pTime);
    layout->addLayout(statusRow);
    layout->addWidget(m_pCancel, 0, Qt::AlignHCenter);
    connect(m_pCancel, &QPushButton::clicked, this, [this] { OnCancel(); });
}

CProgressDialog::CProgressDialog(const QString& caption) : CProgressDialog(kDefaultCaptionId) {
    m_caption = caption;
}

CProgressDialog::~CProgressDialog() {
    if (m_bOwnerDisabled && m_pOwner) {
        m_pOwner->setEnabled(true);
    }
}

QString CProgressDialog::LoadCaption(int id) {
    return id == kDefaultCaptionId ? QStringLiteral("Creating AmbrelStereo file...") : QString();
}

QWidget* CProgressDialog::MainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow*>(widget) != nullptr) {
            return widget;
        }
    }
    return nullptr;
}

bool CProgressDialog::Create(QWidget* parent) {
    m_pOwner = parent != nullptr ? parent : MainWindow();
    if (m_pOwner && m_pOwner->isEnabled()) {
        m_pOwner->setEnabled(false);
        m_bOwnerDisabled = true;
    }
    m_pBar->setRange(m_lower, m_upper);
    m_pBar->setValue(m_lower);
    setWindowTitle(m_caption.isEmpty() ? LoadCaption(m_captionId) : m_caption);
    show();
    return true;
}

void CProgressDialog::SetRange(int lower, int upper) {
    m_lower = lower;
    m_upper = upper;
    m_pBar->setRange(lower, upper);
}

int CProgressDialog::SetPos(int pos) {
    PumpMessages();
    const int previous = m_pBar->value();
    m_pBar->setValue(pos);
    // An empty range has no share to show; it reads as 0 rather than dividing by zero.
    const int span = m_upper - m_lower;
    const int percent = span == 0 ? 0 : static_cast<int>((int64_t{pos} - m_lower) * 100 / span);
    const QString text = QString("%1%").arg(percent == 100 ? 100 : percent % 100);
    if (m_pPercent->text() != text) {
        m_pPercent->setText(text);
    }
    return previous;
}

void CProgressDialog::SetStatus(const std::string& text) {
    m_pStatus->setText(QString::fromStdString(text));
}

void CProgressDialog::SetTime(const std::string& text) {
    m_pTime->setText(QString::fromStdString(text));
}

bool CProgressDialog::CheckCancelButton() {
    PumpMessages();
    const bool bCancel = m_bCancel;
    m_bCancel = false;
    return bCancel;
}

void CProgressDialog::PumpMessages() {
    QApplication::processEvents(QEventLoop::AllEvents);
}

void CProgressDialog::reject() {
    OnCancel();
}

void CProgressDialog::closeEvent(QCloseEvent* event) {
    OnCancel();
    event->ignore();
}
