#pragma once

#include <string>
#include <vector>

// The commands of sonomap-cli. Each takes the words after its name and returns the exit code:
// 0 success, 1 a failure reported by a message on stderr, 2 a usage error.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int RunInfo(const std::vector<std::string>& words);
int RunSetPoints(const std::vector<std::string>& words);
int RunSaveAs(const std::vector<std::string>& words);
// Renders each IN along its pan trajectory into a stereo file (or, with --binaural, through
// the mixer with HRTF), in parallel workers; 1 when any file failed (each is named on stderr).
int RunRender(const std::vector<std::string>& words);
// Converts a file libsndfile reads into a new WAV or AIFF file.
int RunImport(const std::vector<std::string>& words);
std::string ImportUsage();
// Renders the jobs of a JSON Lines manifest (or one shard of them); 1 when any job failed
// (each listed with its line on stderr), 2 when the manifest is refused (nothing rendered).
int RunBatch(const std::vector<std::string>& words);
std::string BatchUsage();

// The help text of one command, or of the whole tool for an empty name.
std::string UsageOf(const std::string& command);
// A usage error of command (empty: of the tool itself) on stderr: the problem in one line and
// where the help is, not the help itself. Returns kExitUsage.
int UsageError(const std::string& command, const std::string& problem);
