#pragma once

#include <string>

class UserPrompts;

// The small "Processing..." window shown while a file opens: visible from construction to
// destruction, with one line of status text.
class CProcessingDialog {
  public:
    explicit CProcessingDialog(UserPrompts& prompts);
    ~CProcessingDialog();
    CProcessingDialog(const CProcessingDialog&) = delete;
    CProcessingDialog& operator=(const CProcessingDialog&) = delete;

    void SetStatusText(const std::string& text);

  private:
    UserPrompts& m_prompts;
};
