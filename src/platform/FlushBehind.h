#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// Pushes a growing file's data to the disk while it is being written: each time stride more
// bytes (a byte count) have been written, a thread of its own syncs the file (fdatasync), so
// the disk works while the writer computes and the sync at the end finds little left. A
// plain write-back hint is not enough where the disk keeps a cache of its own: its flush at
// the end would still cost as much as the data. The thread starts at the first stride. The
// descriptor is borrowed and must stay open until Stop. A failed sync's errno is kept for
// Settle: the kernel reports a write-back error to one sync only.
class FlushBehind {
  public:
    FlushBehind(int fd, uint64_t stride);
    ~FlushBehind();  // stops
    FlushBehind(const FlushBehind&) = delete;
    FlushBehind& operator=(const FlushBehind&) = delete;

    // bytes more were written to the file.
    void Wrote(uint64_t bytes);
    // Waits until no sync is under way or due; returns the errno of the first sync that
    // failed since the last Settle, or 0.
    int Settle();
    // The bytes written when the last finished sync began: those known to be on the disk.
    uint64_t SyncedBytes();
    // Ends the syncing; the file is not synced further.
    void Stop();

  private:
    void Serve();
    bool Due() const;  // with m_mutex held

    const int m_fd;
    const uint64_t m_stride;
    std::mutex m_mutex;
    std::condition_variable m_work;  // a sync is due, or stop
    std::condition_variable m_idle;  // a sync ended
    uint64_t m_written = 0;
    uint64_t m_synced = 0;  // written when the last sync began
    bool m_bSyncing = false;
    bool m_bStop = false;
    int m_error = 0;
    std::thread m_thread;
};
