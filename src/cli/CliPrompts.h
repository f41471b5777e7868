#pragma once

#include <string>
#include <vector>

#include "platform/UserPrompts.h"

// Prompts for a run without a window: every box's text goes to stderr as one block of lines,
// and is kept so a command can report it. Questions get their default answer, the processing
// window is not shown.
class CliPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override;
    void OpenProcessingWindow() override {}
    void SetProcessingText(const std::string&) override {}
    void CloseProcessingWindow() override {}

    const std::vector<std::string>& Texts() const { return m_texts; }

  private:
    std::vector<std::string> m_texts;
};
