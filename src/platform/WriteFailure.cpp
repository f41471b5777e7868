#include "platform/WriteFailure.h"

#include <cerrno>
#include <cstring>

#include "platform/PathNames.h"

std::string WriteFailure::Reason(int error, const std::string& path) {
    const std::string folder = PathNames::DirectoryOf(path);
    switch (error) {
        case ENOSPC:
            return "The disk holding " + folder + " is full.";
        case EDQUOT:
            return "Your disk quota on the disk holding " + folder + " is used up.";
        case EFBIG:
            return "The file grew past the largest size allowed for it in " + folder + ".";
        case EROFS:
            return "The folder " + folder + " is on a read-only disk.";
        case EACCES:
        case EPERM:
            return "The folder " + folder + " is read-only: Sonomap may not write there.";
        case ENOENT:
        case ENOTDIR:
            return "The folder " + folder + " does not exist.";
        case EEXIST:
            return PathNames::FileName(path) + " in " + folder +
                   " is not a regular file, and Sonomap replaces only regular files.";
        case 0:
            return "Writing into " + folder + " failed.";
        default:
            return "Writing into " + folder + " failed: " + std::strerror(error) + ".";
    }
}
