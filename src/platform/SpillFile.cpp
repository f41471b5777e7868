#include "platform/SpillFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace {

int OpenUnnamed(const std::string& folder) {
    if (folder.empty()) {
        return -1;
    }
#ifdef O_TMPFILE
    if (const int unnamed = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        unnamed >= 0) {
        return unnamed;
    }
#endif
    // File systems without O_TMPFILE: a named file, unlinked at once.
    std::string pattern = folder + "/.sonomap-spill-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        unlink(name.data());
    }
    return fd;
}

}  // namespace

std::unique_ptr<SpillFile> SpillFile::Open(const std::string& folder) {
    int fd = OpenUnnamed(folder);
    if (fd < 0) {
        const char* tmp = std::getenv("TMPDIR");
        fd = OpenUnnamed(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
    }
    return fd < 0 ? nullptr : std::unique_ptr<SpillFile>(new SpillFile(fd));
}

SpillFile::~SpillFile() {
    close(m_fd);
}

bool SpillFile::Append(const void* bytes, size_t count) {
    const auto* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t wrote = write(m_fd, at, count);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        at += wrote;
        count -= static_cast<size_t>(wrote);
        m_size += static_cast<uint64_t>(wrote);
    }
    return true;
}

bool SpillFile::Rewind() {
    return lseek(m_fd, 0, SEEK_SET) == 0;
}

bool SpillFile::Read(void* bytes, size_t count) {
    auto* at = static_cast<char*>(bytes);
    while (count > 0) {
        const ssize_t got = read(m_fd, at, count);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        at += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}
