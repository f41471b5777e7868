#pragma once

#include <signal.h>
#include <sys/resource.h>

// Caps the size of any file this process writes (bytes), so the next write past it fails as on
// a full disk; the old limit and the SIGXFSZ handler come back on destruction.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    sighandler_t m_oldHandler;
};
