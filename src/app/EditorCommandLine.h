#pragma once

#include <optional>
#include <string>
#include <vector>

// What the editor's command line asks for: the help, the version, or files to open, and for
// this run a UDP port to follow a head tracker on (--osc-port PORT or --osc-port=PORT). Read
// once before Qt starts (help and the version need no display), and again on what Qt leaves of
// the words, where an option neither knows is an error. "--" makes every later word a file.
class EditorCommandLine {
  public:
    enum class Action { Run, Help, Version, Error };

    // words: the arguments after the program's name. Help wins over the version, and both
    // over an unknown option, wherever they stand before "--".
    static EditorCommandLine Read(const std::vector<std::string>& words);

    Action GetAction() const { return m_action; }
    // The files to open, in order (Run).
    const std::vector<std::string>& Files() const { return m_files; }
    // What is wrong, in the form GNU tools use (Error).
    const std::string& ErrorText() const { return m_error; }
    // --osc-port's port (1 .. 65535); none when not given.
    std::optional<int> OscPort() const { return m_oscPort; }

    static std::string HelpText();
    static std::string VersionText();

  private:
    Action m_action = Action::Run;
    std::vector<std::string> m_files;
    std::string m_error;
    std::optional<int> m_oscPort;
};
