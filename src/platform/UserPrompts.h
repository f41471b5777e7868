#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/ProgressIndicator.h"

// The one way core code reaches the user. The editor answers with real message boxes and
// windows; the command-line tool prints; tests script the answers.
class UserPrompts {
  public:
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Icon { None, Exclamation, Question, Information, Stop };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Box {
        std::string text;
        // A line under the text that says more (which file, and why); "" for none.
        std::string informative;
        std::string caption;
        Buttons buttons = Buttons::Ok;
        Icon icon = Icon::None;
        unsigned helpId = 0;  // help context number, 0 for none
        Answer defaultAnswer = Answer::Ok;
    };

    // The caption a box gets when its caller names none: the application's title.
    static constexpr const char* kAppCaption = "Sonomap";

    virtual ~UserPrompts() = default;

    // Shows a modal box and returns the button chosen.
    virtual Answer ShowMessage(const Box& box) = 0;

    // The small "Processing..." status window of a long step. Open shows it, SetText changes
    // its one line, Close hides it. Closing a window that is not open does nothing.
    virtual void OpenProcessingWindow() = 0;
    virtual void SetProcessingText(const std::string& text) = 0;
    virtual void CloseProcessingWindow() = 0;

    // The progress window with Cancel ("Creating AmbrelStereo file..."), open until the
    // returned object is destroyed. Never null. This base shows nothing and never cancels.
    virtual std::unique_ptr<ProgressIndicator> OpenProgressDialog();
    // The same window under another caption; this base ignores the caption.
    virtual std::unique_ptr<ProgressIndicator> OpenProgressDialog(const std::string& caption);

    // An OK box with the application's caption: the form most failures take.
    Answer Message(const std::string& text, Icon icon = Icon::None, unsigned helpId = 0,
                   const std::string& informative = {});

    // A line for the status bar (what a save wrote, a warning about a file just opened); it
    // goes to the sink the shell installs, or nowhere.
    virtual void ShowStatus(const std::string& text);
    using StatusSink = std::function<void(const std::string& text)>;
    void SetStatusSink(StatusSink sink) { m_statusSink = std::move(sink); }

  private:
    StatusSink m_statusSink;
};
