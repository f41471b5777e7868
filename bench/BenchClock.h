#pragma once

#include <chrono>
#include <string>

// Seconds from start until now, on the steady clock.
double SecondsSince(std::chrono::steady_clock::time_point start);

// Seconds of processor time this thread has used: unlike the steady clock, it stops while
// other work on a busy machine has the processor.
double ThreadCpuSeconds();

// Seconds for dd to copy from into to with an fsync: the disk's share of writing those bytes,
// the baseline of the export benchmarks. bRemoveCopy deletes it after, so the next copy writes
// a new file as the exports do; otherwise the next one replaces it.
double FsyncCopySeconds(const std::string& from, const std::string& to, bool bRemoveCopy = true);
