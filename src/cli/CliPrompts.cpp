#include "cli/CliPrompts.h"

#include <unistd.h>

#include <cstdio>

namespace {

class TerminalProgress : public ProgressIndicator {
  public:
    explicit TerminalProgress(std::string label) : m_label(std::move(label)) {}

    void SetRange(int lower, int upper) override {
        m_lower = lower;
        m_upper = upper;
    }
    int SetPos(int pos) override {
        const int previous = m_pos;
        m_pos = pos;
        return previous;
    }
    // Printed with the status, which follows each position.
    void SetStatus(const std::string& text) override {
        const int percent = m_upper > m_lower ? (m_pos - m_lower) * 100 / (m_upper - m_lower) : 0;
        if (percent / 10 == m_printedTenth) {
            return;
        }
        m_printedTenth = percent / 10;
        std::fprintf(stderr, "%s%s%d%% %s\n", m_label.c_str(), m_label.empty() ? "" : ": ", percent,
                     text.c_str());
    }
    bool CheckCancelButton() override { return false; }

  private:
    std::string m_label;
    int m_lower = 0;
    int m_upper = 100;
    int m_pos = 0;
    int m_printedTenth = -1;
};

}  // namespace

UserPrompts::Answer CliPrompts::ShowMessage(const Box& box) {
    Print(box);
    return box.defaultAnswer;
}

void CliPrompts::Print(const Box& box) {
    // Blocks are set apart by an empty line, as a message may span several lines.
    std::fprintf(stderr, "%s%s%s%s\n", m_texts.empty() ? "" : "\n", m_label.c_str(),
                 m_label.empty() ? "" : ": ", box.text.c_str());
    if (!box.informative.empty()) {
        std::fprintf(stderr, "%s\n", box.informative.c_str());
    }
    m_texts.push_back(box.text);
    m_messages.push_back(box.informative.empty() ? box.text : box.text + " " + box.informative);
}

std::unique_ptr<ProgressIndicator> CliPrompts::OpenProgressDialog() {
    if (::isatty(STDERR_FILENO) == 0) {
        return UserPrompts::OpenProgressDialog();
    }
    return std::make_unique<TerminalProgress>(m_label);
}
