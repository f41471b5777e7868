#include "document/RecoveryFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

const char* const kJournalSuffix = ".journal";

std::string Hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return text;
}

uint64_t Fnv1a(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<uint8_t>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace

std::string RecoveryFolder::DefaultPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::string(state) + "/sonomap/recovery";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.local/state/sonomap/recovery";
    }
    return {};
}

RecoveryFolder::RecoveryFolder(std::string path) : m_path(std::move(path)) {}

RecoveryFolder::~RecoveryFolder() {
    if (m_lockFd >= 0) {
        ::unlink(LockPathOf(m_token).c_str());
        ::close(m_lockFd);
    }
}

bool RecoveryFolder::Open(std::string& reason) {
    if (m_path.empty()) {
        reason = "no home folder is set";
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(m_path, error);
    if (error) {
        reason = m_path + ": " + error.message();
        return false;
    }
    std::random_device random;
    while (m_token == 0) {
        m_token = (uint64_t(random()) << 32) ^ random();
    }
    const std::string lockPath = LockPathOf(m_token);
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        reason = m_path + ": " + std::strerror(errno);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        reason = lockPath + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(lockPath.c_str());
        return false;
    }
    m_lockFd = fd;
    SweepLeftovers();
    return true;
}

void RecoveryFolder::SweepLeftovers() const {
    namespace fs = std::filesystem;
    // Young files may belong to a run that is starting or writing right now.
    const auto oldEnough = fs::file_time_type::clock::now() - std::chrono::minutes(1);
    std::error_code error;
    for (fs::directory_iterator it(m_path, error), end; !error && it != end; it.increment(error)) {
        const fs::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        const bool bLock = name.ends_with(".lock") && name != Hex(m_token) + ".lock";
        const bool bUnfinished = name[0] == '.' && name.find(".saving-") != std::string::npos;
        std::error_code timeError;
        if ((!bLock && !bUnfinished) || entry.last_write_time(timeError) > oldEnough || timeError) {
            continue;
        }
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        // A file goes only while held here: a live run keeps its lock and the journal it is
        // writing. Its journals stay, and a missing lock file reads as a dead run, which it is.
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(entry.path().c_str());
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::string RecoveryFolder::JournalPathFor(const std::string& key) const {
    return JournalPathFor(key, m_token);
}

std::string RecoveryFolder::JournalPathFor(const std::string& key, uint64_t token) const {
    return m_path + "/" + Hex(Fnv1a(key)) + "-" + Hex(token) + kJournalSuffix;
}

std::vector<std::string> RecoveryFolder::JournalPaths() const {
    std::vector<std::string> paths;
    std::error_code error;
    // Stepped without exceptions: an unreadable folder lists nothing, it stops nothing.
    for (std::filesystem::directory_iterator it(m_path, error), end; !error && it != end;
         it.increment(error)) {
        const std::filesystem::directory_entry& entry = *it;
        const std::string name = entry.path().filename().string();
        std::error_code typeError;
        // The entry itself, not where a link leads: only a plain file can be a journal.
        if (name.size() > std::strlen(kJournalSuffix) && name[0] != '.' &&
            name.ends_with(kJournalSuffix) && entry.is_regular_file(typeError) &&
            !entry.is_symlink(typeError)) {
            paths.push_back(entry.path().string());
            if (paths.size() == kMaxJournals) {
                break;
            }
        }
    }
    return paths;
}

std::vector<std::string> RecoveryFolder::LeftJournalsFor(const std::string& key) const {
    const std::string hash = Hex(Fnv1a(key));
    const std::string own = JournalPathFor(key);
    std::vector<std::string> left;
    for (const std::string& path : JournalPaths()) {
        const std::string name = path.substr(m_path.size() + 1);
        if (path != own && name.starts_with(hash) &&
            (name.size() == hash.size() + std::strlen(kJournalSuffix) ||
             name[hash.size()] == '-')) {
            left.push_back(path);
        }
    }
    std::sort(left.begin(), left.end());  // offered in one order, whatever the folder's
    return left;
}

bool RecoveryFolder::IsOwnerAlive(uint64_t token) const {
    if (IsOpen() && token == m_token) {
        return true;
    }
    const int fd =
        ::open(LockPathOf(token).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool bHeld = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return bHeld;
}

void RecoveryFolder::ForgetDeadOwner(uint64_t token) const {
    if (token == m_token) {
        return;
    }
    const int fd =
        ::open(LockPathOf(token).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    // Held while it goes: a run still alive keeps its file.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        ::unlink(LockPathOf(token).c_str());
    }
    ::close(fd);
}

std::string RecoveryFolder::SetAside(const std::string& journalPath) const {
    for (int i = 1; i < 1000; ++i) {
        const std::string aside = journalPath + ".set-aside-" + std::to_string(i);
        // link + unlink: never replaces a journal set aside before.
        if (::link(journalPath.c_str(), aside.c_str()) == 0) {
            ::unlink(journalPath.c_str());
            return aside;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

std::string RecoveryFolder::LockPathOf(uint64_t token) const {
    return m_path + "/" + Hex(token) + ".lock";
}
