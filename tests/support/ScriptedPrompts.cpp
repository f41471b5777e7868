#include "support/ScriptedPrompts.h"

class ScriptedPrompts::Progress : public ProgressIndicator {
  public:
    explicit Progress(ScriptedPrompts& owner) : m_owner(owner) {
        m_owner.m_progressOpen = true;
        m_owner.m_progressCalls.push_back("open");
    }
    ~Progress() override {
        m_owner.m_progressOpen = false;
        m_owner.m_progressCalls.push_back("close");
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void SetRange(int lower, int upper) override {
        m_owner.m_progressCalls.push_back("range " + std::to_string(lower) + " " +
                                          std::to_string(upper));
    }
    int SetPos(int pos) override {
        m_owner.m_progressCalls.push_back("pos " + std::to_string(pos));
        const int previous = m_pos;
        m_pos = pos;
        return previous;
    }
    void SetStatus(const std::string& text) override {
        m_owner.m_progressCalls.push_back("status " + text);
    }
    void SetTime(const std::string& text) override { m_owner.m_progressTimes.push_back(text); }
    bool CheckCancelButton() override {
        m_owner.m_progressCalls.push_back("cancel?");
        return ++m_owner.m_cancelChecks == m_owner.m_cancelAt;
    }

  private:
    ScriptedPrompts& m_owner;
    int m_pos = 0;
};

UserPrompts::Answer ScriptedPrompts::ShowMessage(const Box& box) {
    m_boxes.push_back(box);
    if (m_script.empty()) {
        return box.defaultAnswer;
    }
    const Answer answer = m_script.front();
    m_script.pop_front();
    return answer;
}

void ScriptedPrompts::OpenProcessingWindow() {
    m_processingOpen = true;
    ++m_processingOpenCount;
}

void ScriptedPrompts::SetProcessingText(const std::string& text) {
    m_processingTexts.push_back(text);
}

void ScriptedPrompts::CloseProcessingWindow() {
    m_processingOpen = false;
}

std::unique_ptr<ProgressIndicator> ScriptedPrompts::OpenProgressDialog() {
    return std::make_unique<Progress>(*this);
}

void ScriptedPrompts::ShowStatus(const std::string& text) {
    m_statusTexts.push_back(text);
    UserPrompts::ShowStatus(text);
}

std::vector<std::string> ScriptedPrompts::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(m_boxes.size());
    for (const Box& box : m_boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

void ScriptedPrompts::Clear() {
    m_script.clear();
    m_boxes.clear();
    m_processingTexts.clear();
    m_processingOpen = false;
    m_processingOpenCount = 0;
    m_progressCalls.clear();
    m_progressTimes.clear();
    m_statusTexts.clear();
    m_cancelAt = 0;
    m_cancelChecks = 0;
}
