#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"

// Prompts for tests and batch runs: records every box and every processing-window text, and
// answers boxes from a script. With the script used up a box gets its default answer.
class ScriptedPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override;
    void OpenProcessingWindow() override;
    void SetProcessingText(const std::string& text) override;
    void CloseProcessingWindow() override;

    // Queues the answer for the next box that has not been answered yet.
    void Script(Answer answer) { m_script.push_back(answer); }

    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<std::string> Texts() const;
    const std::vector<std::string>& ProcessingTexts() const { return m_processingTexts; }
    bool IsProcessingWindowOpen() const { return m_processingOpen; }
    int ProcessingWindowOpenCount() const { return m_processingOpenCount; }
    void Clear();

  private:
    std::deque<Answer> m_script;
    std::vector<Box> m_boxes;
    std::vector<std::string> m_processingTexts;
    bool m_processingOpen = false;
    int m_processingOpenCount = 0;
};
