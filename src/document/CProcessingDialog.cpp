#include "document/CProcessingDialog.h"

#include "platform/UserPrompts.h"

CProcessingDialog::CProcessingDialog(UserPrompts& prompts) : m_prompts(prompts) {
    m_prompts.OpenProcessingWindow();
}

CProcessingDialog::~CProcessingDialog() {
    m_prompts.CloseProcessingWindow();
}

void CProcessingDialog::SetStatusText(const std::string& text) {
    m_prompts.SetProcessingText(text);
}
