#include "shell/CPasteOptionsDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "document/PasteOptionIds.h"

CPasteOptionsDialog::CPasteOptionsDialog(QWidget* parent)
    : QDialog(parent), m_pTexts(new QVBoxLayout), m_pButtons(new QHBoxLayout) {
    setWindowTitle("Paste Options...");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(m_pTexts);
    m_pButtons->addStretch();
    layout->addLayout(m_pButtons);
}

void CPasteOptionsDialog::AddText(const QString& text) {
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    m_pTexts->addWidget(label);
}

void CPasteOptionsDialog::AddButton(const QString& caption, int id, bool bDefault) {
    auto* button = new QPushButton(caption, this);
    // Only the default button answers Enter, not whichever button has the focus.
    button->setAutoDefault(false);
    if (bDefault) {
        button->setDefault(true);
        button->setFocus();
        m_defaultId = id;
    }
    connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
    m_pButtons->addWidget(button);
    m_buttons[id] = button;
}

QPushButton* CPasteOptionsDialog::GetButton(int id) const {
    const auto found = m_buttons.find(id);
    return found == m_buttons.end() ? nullptr : found->second;
}

void CPasteOptionsDialog::reject() {
    done(kPasteCancel);
}
