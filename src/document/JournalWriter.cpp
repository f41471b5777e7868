#include "document/JournalWriter.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/CFileException.h"

namespace {

// Lets a drag's stream of edits fold into one write instead of a write per mouse move.
constexpr auto kSettle = std::chrono::milliseconds(250);

}  // namespace

JournalWriter::JournalWriter(FailureSink onFailure)
    : m_onFailure(std::move(onFailure)), m_thread([this] { Run(); }) {}

JournalWriter::~JournalWriter() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bStop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void JournalWriter::Write(const std::string& path, RecoveryJournal journal) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending[path] = std::move(journal);
    }
    m_wake.notify_all();
}

void JournalWriter::Remove(const std::string& path) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending[path] = std::nullopt;
    }
    m_wake.notify_all();
}

void JournalWriter::Flush() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_bFlushing = true;
    m_wake.notify_all();
    m_idle.wait(lock, [this] { return m_pending.empty() && !m_bBusy; });
    m_bFlushing = false;
}

void JournalWriter::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_bStop || !m_pending.empty(); });
        if (m_pending.empty()) {
            return;  // stopping, nothing left
        }
        std::map<std::string, std::optional<RecoveryJournal>> batch;
        batch.swap(m_pending);
        m_bBusy = true;
        lock.unlock();
        for (auto& [path, journal] : batch) {
            try {
                if (journal) {
                    journal->StampKeyFile();
                    journal->WriteTo(path);
                } else if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
                    throw CFileException(errno, path, "Cannot remove");
                }
            } catch (const CFileException& error) {
                if (m_onFailure) {
                    m_onFailure(path + ": " + std::strerror(error.GetError()));
                }
            }
        }
        lock.lock();
        m_bBusy = false;
        if (m_pending.empty()) {
            m_idle.notify_all();
        }
        if (!m_bStop && !m_bFlushing) {
            m_wake.wait_for(lock, kSettle, [this] { return m_bStop || m_bFlushing; });
        }
    }
}
