#include "platform/ScriptedPrompts.h"

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
}
