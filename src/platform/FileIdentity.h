#pragma once

#include <string>

// Whether two paths reach one file, so that nothing written to one can replace the other.
// Comparing names misses symbolic links, hard links and aliased folders; this compares what
// the file system says. Nothing is created or changed.
namespace FileIdentity {

// True when a and b are one file: the same device and inode when both exist; when neither
// exists yet, the same name in the same folder once every link in the folders is followed.
// A path that exists and one that does not are never the same file. Empty paths never match.
bool IsSameFile(const std::string& a, const std::string& b);

// Where a file written at path would land: the path with every link followed when it exists;
// else its folder resolved (as far as it exists) plus its name. Relative paths start from the
// working folder.
std::string ResolvedPath(const std::string& path);

}  // namespace FileIdentity
