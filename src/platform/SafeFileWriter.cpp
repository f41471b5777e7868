#include "platform/SafeFileWriter.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/CFileException.h"
#include "platform/PathNames.h"

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
    std::string pattern = PathNames::DirectoryOf(m_targetPath) + "/." +
                          PathNames::FileName(m_targetPath) + ".saving-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        throw CFileException(errno, m_targetPath, "Cannot create a file beside");
    }
    ::close(fd);
    m_tempPath = pattern;
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
        if (::rename(m_tempPath.c_str(), m_targetPath.c_str()) != 0) {
            throw CFileException(errno, m_targetPath, "Cannot replace");
        }
        m_tempPath.clear();
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
        ::unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
}
