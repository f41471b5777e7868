#include "platform/CFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/CFileException.h"
#include "platform/FlushBehind.h"

CFile::CFile() = default;

CFile::CFile(const std::string& path, Mode mode) {
    Open(path, mode);
}

CFile::~CFile() {
    Close();
}

void CFile::Open(const std::string& path, Mode mode) {
    Close();
    m_path = path;
    // A FIFO opened to read would wait for a writer that may never come.
    const int flags = mode == Mode::Read ? O_RDONLY | O_NONBLOCK | O_NOCTTY : (O_RDWR | O_CREAT);
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        Fail(errno, "Cannot open");
    }
    if (mode == Mode::Read) {
        // A device or a FIFO never ends; a folder fails at its first read, as it always did.
        struct stat info {};
        const int error = ::fstat(fd, &info) != 0                            ? errno
                          : !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode) ? ENODEV
                                                                             : 0;
        if (error != 0) {
            ::close(fd);
            Fail(error, "Cannot open");
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    m_fd = fd;
}

void CFile::Close() {
    // The syncing thread is done with the descriptor before it closes.
    m_pFlushBehind.reset();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void CFile::Fail(int error, const char* what) const {
    throw CFileException(error, m_path, what);
}

uint64_t CFile::Seek(int64_t offset, SeekFrom from) {
    const off_t result = ::lseek(m_fd, offset, from == SeekFrom::Begin ? SEEK_SET : SEEK_CUR);
    if (result < 0) {
        Fail(errno, "Cannot seek in");
    }
    return static_cast<uint64_t>(result);
}

uint64_t CFile::GetPosition() const {
    const off_t result = ::lseek(m_fd, 0, SEEK_CUR);
    if (result < 0) {
        Fail(errno, "Cannot get the position in");
    }
    return static_cast<uint64_t>(result);
}

size_t CFile::Read(void* buffer, size_t count) {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(m_fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno, "Cannot read");
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, size_t count) {
    const auto* in = static_cast<const char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno, "Cannot write");
        }
        if (n == 0) {
            Fail(ENOSPC, "Cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (m_pFlushBehind) {
        m_pFlushBehind->Wrote(count);
    }
}

uint64_t CFile::GetLength() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        Fail(errno, "Cannot get the length of");
    }
    return static_cast<uint64_t>(st.st_size);
}

void CFile::SetLength(uint64_t length) {
    int rc;
    do {
        rc = ::ftruncate(m_fd, static_cast<off_t>(length));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        Fail(errno, "Cannot set the length of");
    }
}

void CFile::SetWriteBehind(uint64_t stride) {
    m_pFlushBehind.reset();
    if (stride != 0 && m_fd >= 0) {
        m_pFlushBehind = std::make_unique<FlushBehind>(m_fd, stride);
    }
}

void CFile::Flush() {
    if (m_pFlushBehind) {
        if (const int error = m_pFlushBehind->Settle(); error != 0) {
            Fail(error, "Cannot flush");
        }
    }
    if (::fsync(m_fd) != 0) {
        Fail(errno, "Cannot flush");
    }
}
