#include "platform/SafeFileWriter.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/RegularFile.h"
#include "platform/TempFileRegistry.h"

namespace {

constexpr uint64_t kWriteBehindBytes = 16u << 20;

std::string FollowLink(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

// The temp file's name up to mkostemp's six characters: ".NAME.saving-" beside the target.
std::string TempPrefix(const std::string& targetPath) {
    return PathNames::DirectoryOf(targetPath) + "/." + PathNames::FileName(targetPath) + ".saving-";
}

// A rename would put the file in place of a device node, a FIFO or a socket, and a folder
// cannot take it: only a regular file is ever replaced.
void RefuseSpecialTarget(const std::string& path) {
    if (!RegularFile::WhyNotOutput(path).empty()) {
        throw CFileException(EEXIST, path, "Not a regular file:");
    }
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

SafeFileWriter::SafeFileWriter(std::string targetPath) : m_targetPath(FollowLink(targetPath)) {}

SafeFileWriter::~SafeFileWriter() {
    Abort();
}

CFile& SafeFileWriter::Begin() {
    Abort();
    RefuseSpecialTarget(m_targetPath);
    std::string pattern = TempPrefix(m_targetPath) + "XXXXXX";
    {
        TempFileRegistry::Change change;
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            throw CFileException(errno, m_targetPath, "Cannot create a file beside");
        }
        change.Add(pattern);
        m_tempPath = pattern;
        m_lockFd = fd;
    }
    // Held until the file is renamed or removed: a sweep of leftovers leaves it alone.
    ::flock(m_lockFd, LOCK_EX | LOCK_NB);
    try {
        m_file.Open(m_tempPath, CFile::Mode::ReadWriteCreate);
        // Commit syncs the file: it may as well reach the disk while it is being written.
        m_file.SetWriteBehind(kWriteBehindBytes);
    } catch (...) {
        Abort();
        throw;
    }
    return m_file;
}

void SafeFileWriter::Commit() {
    try {
        m_file.Flush();
        struct stat target {};
        if (::stat(m_targetPath.c_str(), &target) == 0) {
            if (::fchmod(m_file.GetDescriptor(), target.st_mode & 07777) != 0) {
                throw CFileException(errno, m_tempPath, "Cannot set the mode of");
            }
            // Keeps a shared file's owner when we may; an ordinary user cannot, and need not.
            if (::fchown(m_file.GetDescriptor(), target.st_uid, target.st_gid) != 0) {
                errno = 0;
            }
        } else if (::fchmod(m_file.GetDescriptor(), NewFileMode()) != 0) {
            throw CFileException(errno, m_tempPath, "Cannot set the mode of");
        }
        m_file.Close();
        RefuseSpecialTarget(m_targetPath);
        TempFileRegistry::Change change;
        if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0) {
            throw CFileException(errno, m_targetPath, "Cannot replace");
        }
        change.Remove(m_tempPath);
        m_tempPath.clear();
        ReleaseLock();
    } catch (...) {
        Abort();
        throw;
    }
    // The rename is durable only once the folder is on the disk.
    const int dir =
        ::open(PathNames::DirectoryOf(m_targetPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void SafeFileWriter::Abort() {
    m_file.Close();
    if (!m_tempPath.empty()) {
        TempFileRegistry::Change change;
        ::unlink(m_tempPath.c_str());
        change.Remove(m_tempPath);
        m_tempPath.clear();
    }
    ReleaseLock();
}

void SafeFileWriter::ReleaseLock() {
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
        m_lockFd = -1;
    }
}

int SafeFileWriter::RemoveStaleTempFiles(const std::string& targetPath, int olderThanSeconds) {
    // Writers put their temp files beside the file a link leads to.
    const std::string target = FollowLink(targetPath);
    const std::string folder = PathNames::DirectoryOf(target);
    const std::string prefix = PathNames::FileName(TempPrefix(target));
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return 0;
    }
    const time_t oldest = ::time(nullptr) - olderThanSeconds;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        // mkostemp's six characters, and nothing else, follow the prefix.
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string path = folder + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd < 0) {
            continue;
        }
        // Only a regular file that no live writer holds and nobody has written for a while.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < oldest &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.c_str()) == 0) {
            ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}
