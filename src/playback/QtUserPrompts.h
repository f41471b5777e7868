#pragma once

#include <QLabel>
#include <QWidget>
#include <memory>

#include "platform/UserPrompts.h"

// The editor's prompts: QMessageBox for boxes (the help id is kept with the box as its
// "helpId" property), a small modeless "Processing..." window with one line of text, and the
// export's CProgressDialog.
class QtUserPrompts : public UserPrompts {
  public:
    QtUserPrompts();
    ~QtUserPrompts() override;

    Answer ShowMessage(const Box& box) override;
    void OpenProcessingWindow() override;
    void SetProcessingText(const std::string& text) override;
    void CloseProcessingWindow() override;
    // A shown CProgressDialog with the default caption and no parent.
    std::unique_ptr<ProgressIndicator> OpenProgressDialog() override;
    std::unique_ptr<ProgressIndicator> OpenProgressDialog(const std::string& caption) override;

    // The processing window while it exists; null before the first open.
    QWidget* ProcessingWindow() const { return m_pProcessing.get(); }
    QString ProcessingText() const;

  private:
    std::unique_ptr<QWidget> m_pProcessing;
    QLabel* m_pProcessingLabel = nullptr;  // owned by the window
};
