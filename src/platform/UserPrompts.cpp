#include "platform/UserPrompts.h"

namespace {

// For prompts that have no window to show: the job runs to its end.
class NoProgress : public ProgressIndicator {
  public:
    void SetRange(int lower, int) override { m_pos = lower; }
    int SetPos(int pos) override {
        const int previous = m_pos;
        m_pos = pos;
        return previous;
    }
    void SetStatus(const std::string&) override {}
    bool CheckCancelButton() override { return false; }

  private:
    int m_pos = 0;
};

}  // namespace

std::unique_ptr<ProgressIndicator> UserPrompts::OpenProgressDialog() {
    return std::make_unique<NoProgress>();
}

std::unique_ptr<ProgressIndicator> UserPrompts::OpenProgressDialog(const std::string&) {
    return OpenProgressDialog();
}

UserPrompts::Answer UserPrompts::Message(const std::string& text, Icon icon, unsigned helpId,
                                         const std::string& informative) {
    Box box;
    box.text = text;
    box.informative = informative;
    box.caption = kAppCaption;
    box.icon = icon;
    box.helpId = helpId;
    return ShowMessage(box);
}

void UserPrompts::ShowStatus(const std::string& text) {
    if (m_statusSink) {
        m_statusSink(text);
    }
}
