#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"

// Prompts for tests and batch runs: records every box, every processing-window text and every
// call on a progress window, and answers boxes and Cancel from a script. With the script used
// up a box gets its default answer.
class ScriptedPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override;
    void OpenProcessingWindow() override;
    void SetProcessingText(const std::string& text) override;
    void CloseProcessingWindow() override;
    std::unique_ptr<ProgressIndicator> OpenProgressDialog() override;
    // Recorded, then passed on to the sink if one is installed.
    void ShowStatus(const std::string& text) override;

    // Queues the answer for the next box that has not been answered yet.
    void Script(Answer answer) { m_script.push_back(answer); }

    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<std::string> Texts() const;
    const std::vector<std::string>& ProcessingTexts() const { return m_processingTexts; }
    bool IsProcessingWindowOpen() const { return m_processingOpen; }
    int ProcessingWindowOpenCount() const { return m_processingOpenCount; }
    void Clear();

    // The progress calls in order, as "open", "range 0 100", "pos 40", "status (0 of 20000)",
    // "cancel?" (a reading of Cancel) and "close" (the window was destroyed).
    const std::vector<std::string>& ProgressCalls() const { return m_progressCalls; }
    // The times the progress window was given, in order.
    const std::vector<std::string>& ProgressTimes() const { return m_progressTimes; }
    // The status-bar lines, in order.
    const std::vector<std::string>& StatusTexts() const { return m_statusTexts; }
    // The nth reading of Cancel (from 1, counted from the last Clear) finds it pressed.
    void ScriptCancelAt(int nthCheck) { m_cancelAt = nthCheck; }
    bool IsProgressOpen() const { return m_progressOpen; }

  private:
    class Progress;

    std::deque<Answer> m_script;
    std::vector<Box> m_boxes;
    std::vector<std::string> m_processingTexts;
    bool m_processingOpen = false;
    int m_processingOpenCount = 0;
    std::vector<std::string> m_progressCalls;
    std::vector<std::string> m_progressTimes;
    std::vector<std::string> m_statusTexts;
    int m_cancelAt = 0;
    int m_cancelChecks = 0;
    bool m_progressOpen = false;
};
