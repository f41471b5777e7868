#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

RegularFile::RegularFile(const std::string& path) {
    // Without O_NONBLOCK the open of a FIFO waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        m_why = std::strerror(m_error);
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        m_error = errno;
        m_why = std::strerror(m_error);
        ::close(fd);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        m_why = "it is " + KindOf(info.st_mode) + ", not a regular file";
        m_bSpecial = true;
        ::close(fd);
        return;
    }
    // Reads of a regular file never wait; blocking mode keeps short reads to the end of it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd;
    m_size = static_cast<uint64_t>(info.st_size);
}

RegularFile::~RegularFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::string RegularFile::ProcPath() const {
    return "/proc/self/fd/" + std::to_string(m_fd);
}

std::optional<std::string> RegularFile::ReadAll(uint64_t limit) {
    if (m_fd < 0) {
        return std::nullopt;
    }
    const auto tooLarge = [&] {
        m_why = "it holds more than " + SizeText(limit) + ", the most that is read of it";
        return std::nullopt;
    };
    if (m_size > limit) {
        return tooLarge();
    }
    std::string bytes;
    bytes.resize(static_cast<size_t>(m_size) + 1);
    size_t got = 0;
    while (true) {
        if (got == bytes.size()) {
            if (got > limit) {
                return tooLarge();
            }
            bytes.resize(std::min<uint64_t>(limit + 1, got * 2 + 4096));
        }
        const ssize_t n =
            ::pread(m_fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            m_error = errno;
            m_why = std::strerror(m_error);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<size_t>(n);
    }
    if (got > limit) {
        return tooLarge();
    }
    bytes.resize(got);
    return bytes;
}

std::string RegularFile::KindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return "a regular file";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "a special file";
}

std::string RegularFile::WhyNotOutput(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return {};
    }
    return path + " is " + KindOf(info.st_mode) + ", not a regular file";
}

std::string RegularFile::SizeText(uint64_t bytes) {
    if (bytes >= (1u << 30) && bytes % (1u << 30) == 0) {
        return std::to_string(bytes >> 30) + " GiB";
    }
    if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) {
        return std::to_string(bytes >> 20) + " MiB";
    }
    return std::to_string(bytes) + " bytes";
}
