#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/TempDir.h"

// The whole of a file, as text.
inline std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs the real sonomap-cli with args, its output caught in files in dir. env: assignments put
// before the command, as "NAME=value ".
inline CliRun RunCli(const TempDir& dir, const std::string& args, const std::string& env = "") {
    const std::string command = env + std::string(SONOMAP_CLI_PATH) + " " + args + " >'" +
                                dir.File("stdout") + "' 2>'" + dir.File("stderr") + "'";
    CliRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = Slurp(dir.File("stdout"));
    run.err = Slurp(dir.File("stderr"));
    return run;
}
