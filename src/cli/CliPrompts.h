#pragma once

#include <string>
#include <vector>

#include "platform/UserPrompts.h"

// Prompts for a run without a window: every box's text goes to stderr as one block of lines,
// and is kept so a command can report it. Questions get their default answer, the processing
// window is not shown. Progress goes to stderr, a line per tenth, only when stderr is a
// terminal. With a label (the file a batch worker is on) each line starts with it.
class CliPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override;
    void OpenProcessingWindow() override {}
    void SetProcessingText(const std::string&) override {}
    void CloseProcessingWindow() override {}
    std::unique_ptr<ProgressIndicator> OpenProgressDialog() override;

    void SetLabel(const std::string& label) { m_label = label; }

    const std::vector<std::string>& Texts() const { return m_texts; }
    // Each box printed, its text and the line under it joined by a space: a failure's reason.
    const std::vector<std::string>& Messages() const { return m_messages; }
    // The editor's status-bar lines (a file cut short, what a save wrote): kept, not printed,
    // so a command that reports what opening said can include them.
    void ShowStatus(const std::string& text) override { m_statusLines.push_back(text); }
    const std::vector<std::string>& StatusLines() const { return m_statusLines; }

  private:
    std::vector<std::string> m_texts;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_statusLines;
    std::string m_label;
    void Print(const Box& box);
};
