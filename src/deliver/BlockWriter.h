#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

class CSoundFile;
class ExportLoudness;

// Hands the export's blocks to a sound file's WriteSamples on a thread of its own, in the
// order they are queued, while the caller renders the next ones; up to kBuffers blocks are in
// hand at once. The first write that fails ends the writing, and the blocks queued after it
// are dropped. The sound file must not be used elsewhere while the object lives.
class BlockWriter {
  public:
    static constexpr size_t kBuffers = 32;

    BlockWriter(CSoundFile& output, uint32_t blockBytes);
    ~BlockWriter();  // drops what is still queued, waits for the write in hand
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // The buffer for the next block, blockBytes long, or null while every buffer is in hand.
    uint8_t* NextBuffer();
    // Queues that buffer with its first bytes filled.
    void Queue(uint32_t bytes);
    // Before the first Queue: every block written is also handed to loudness (borrowed).
    void MeasureWith(ExportLoudness* loudness) { m_pLoudness = loudness; }
    // Waits until one more block is written, or the writing has ended.
    void AwaitWrite();
    // Waits until every queued block is written, or the writing has ended.
    void Drain();

    struct Status {
        size_t written;  // blocks written so far, the first ones queued
        bool bFailed;    // the block after them failed, and nothing more will be written
    };
    // Both at one moment. An exception that a write threw is thrown here instead.
    Status GetStatus();

  private:
    void Serve();
    bool HasWork() const;  // with m_mutex held

    CSoundFile& m_output;
    ExportLoudness* m_pLoudness = nullptr;
    std::vector<std::vector<uint8_t>> m_buffers;  // block n in buffer n % kBuffers
    std::vector<uint32_t> m_bytes;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_queued = 0;
    size_t m_written = 0;
    bool m_bFailed = false;
    std::exception_ptr m_error;
    bool m_bDraining = false;  // write whatever is queued, however little
    bool m_bStop = false;
    bool m_bWriting = false;  // the writer is awake
    std::thread m_thread;
};
