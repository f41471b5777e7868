// sonomap-cli: the document's own open and save code, without a window.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "platform/TempFileRegistry.h"

int main(int argc, char** argv) {
    // Ctrl+C, a closed terminal or a kill ends a render without its temp files.
    TempFileRegistry::RemoveOnTerminatingSignals();
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty()) {
        return UsageError("",
                          "name a command (info, set-points, save-as, render, import or batch)");
    }
    if (words[0] == "--help" || words[0] == "-h") {
        std::fputs(UsageOf("").c_str(), stdout);
        return kExitOk;
    }
    if (words[0] == "--version" || words[0] == "-V") {
        std::fputs(
            "sonomap-cli (Sonomap) " SONOMAP_VERSION
            "\n"
            "Copyright (C) 2026 Ambrel.\n"
            "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
            "This is free software: you are free to change and redistribute it.\n"
            "There is NO WARRANTY, to the extent permitted by law.\n",
            stdout);
        return kExitOk;
    }
    const std::string command = words[0];
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    for (const std::string& word : rest) {
        if (word == "--help" || word == "-h") {
            std::fputs(UsageOf(command).c_str(), stdout);
            return kExitOk;
        }
    }
    if (command == "info") {
        return RunInfo(rest);
    }
    if (command == "set-points") {
        return RunSetPoints(rest);
    }
    if (command == "save-as") {
        return RunSaveAs(rest);
    }
    if (command == "render") {
        return RunRender(rest);
    }
    if (command == "import") {
        return RunImport(rest);
    }
    if (command == "batch") {
        return RunBatch(rest);
    }
    return UsageError("", "unknown command '" + command + "'");
}
