#include "app/EditorCommandLine.h"

EditorCommandLine EditorCommandLine::Read(const std::vector<std::string>& words) {
    EditorCommandLine line;
    bool bHelp = false;
    bool bVersion = false;
    bool bOptionsEnd = false;
    for (const std::string& word : words) {
        if (bOptionsEnd || word.size() < 2 || word[0] != '-') {
            line.m_files.push_back(word);
        } else if (word == "--") {
            bOptionsEnd = true;
        } else if (word == "--help" || word == "-h") {
            bHelp = true;
        } else if (word == "--version" || word == "-V") {
            bVersion = true;
        } else if (line.m_error.empty()) {
            line.m_error = "sonomap: unrecognized option '" + word +
                           "'\nTry 'sonomap --help' for more information.\n";
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
