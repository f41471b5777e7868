#include "platform/FileIdentity.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "platform/PathNames.h"

namespace {

// The path with every link followed, or "" when some part of it is missing.
std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

}  // namespace

std::string FileIdentity::ResolvedPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    const std::string whole = RealPath(path);
    if (!whole.empty()) {
        return whole;
    }
    const std::string folder = RealPath(PathNames::DirectoryOf(path));
    if (folder.empty()) {
        return path;  // nothing to resolve against: the name as given
    }
    return (folder == "/" ? folder : folder + "/") + PathNames::FileName(path);
}

bool FileIdentity::IsSameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    struct stat first {};
    struct stat second {};
    const bool bFirst = ::stat(a.c_str(), &first) == 0;
    const bool bSecond = ::stat(b.c_str(), &second) == 0;
    if (bFirst && bSecond) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    return !bFirst && !bSecond && ResolvedPath(a) == ResolvedPath(b);
}
