#include "app/EditorCommandLine.h"

namespace {

constexpr const char* kOscPort = "--osc-port";

// A UDP port in text, or none.
std::optional<int> PortOf(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int port = std::stoi(text);
    return port >= 1 && port <= 65535 ? std::optional<int>(port) : std::nullopt;
}

}  // namespace

EditorCommandLine EditorCommandLine::Read(const std::vector<std::string>& words) {
    EditorCommandLine line;
    bool bHelp = false;
    bool bVersion = false;
    bool bOptionsEnd = false;
    auto fail = [&line](const std::string& what) {
        if (line.m_error.empty()) {
            line.m_error = "sonomap: " + what + "\nTry 'sonomap --help' for more information.\n";
        }
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (bOptionsEnd || word.size() < 2 || word[0] != '-') {
            line.m_files.push_back(word);
        } else if (word == "--") {
            bOptionsEnd = true;
        } else if (word == "--help" || word == "-h") {
            bHelp = true;
        } else if (word == "--version" || word == "-V") {
            bVersion = true;
        } else if (word == kOscPort || word.rfind(std::string(kOscPort) + "=", 0) == 0) {
            std::optional<std::string> value;
            if (word != kOscPort) {
                value = word.substr(word.find('=') + 1);
            } else if (i + 1 < words.size()) {
                value = words[++i];
            }
            if (!value) {
                fail("option '--osc-port' requires an argument");
            } else if (const std::optional<int> port = PortOf(*value)) {
                line.m_oscPort = port;
            } else {
                fail("--osc-port takes a UDP port from 1 to 65535, not '" + *value + "'");
            }
        } else {
            fail("unrecognized option '" + word + "'");
        }
    }
    line.m_action = bHelp                   ? Action::Help
                    : bVersion              ? Action::Version
                    : !line.m_error.empty() ? Action::Error
                                            : Action::Run;
    return line;
}

std::string EditorCommandLine::HelpText() {
    return "Usage: sonomap [OPTION]... [FILE]...\n"
           "Open each FILE in the Sonomap sound editor, a window of its own each. When Sonomap\n"
           "is already running, the files open there. A sound file Sonomap does not open but\n"
           "can import is offered for import.\n"
           "\n"
           "  -h, --help     show this help and exit\n"
           "  -V, --version  show the version and exit\n"
           "  --osc-port PORT\n"
           "                 follow a head tracker over OSC on UDP port PORT for this run:\n"
           "                 Play Through Binaural Renderer turns with /sonomap/head, /ypr\n"
           "                 and /quaternion, and /sonomap/place performs the path while\n"
           "                 Record Trajectory is armed (Preferences keeps it for every run)\n"
           "  --             take every later argument as a FILE, even one starting with '-'\n"
           "\n"
           "Qt's own options, such as -platform and -style, are passed on to Qt.\n"
           "Exit status: 0 when the editor ran or the help or version was shown, 1 when a FILE\n"
           "could not be opened, 2 for an unrecognized option.\n"
           "Batch work without a window: sonomap-cli(1).\n";
}

std::string EditorCommandLine::VersionText() {
    return "sonomap (Sonomap) " SONOMAP_VERSION
           "\n"
           "Copyright (C) 2026 Ambrel.\n"
           "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
}
