// The export's writer thread on its own: order, failure, back-pressure and errors.
#include "deliver/BlockWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "support/TempDir.h"

namespace {

// A sound file that records the first byte and size of every block, fails or throws at a
// chosen block, and can hold back its writes until released (for a bounded time).
class ScriptedSink : public CWaveFile {
  public:
    using CWaveFile::CWaveFile;

    bool WriteSamples(const void* buffer, uint32_t count) override {
        std::unique_lock<std::mutex> lock(mutex);
        if (!released.wait_for(lock, std::chrono::seconds(5), [this] { return bReleased; })) {
            bTimedOut = true;
        }
        writer = std::this_thread::get_id();
        const size_t index = blocks.size();
        blocks.push_back({static_cast<const uint8_t*>(buffer)[0], count});
        if (index == throwAt) {
            throw CFileException(EIO, "sink", "Cannot write");
        }
        return index != failAt;
    }
    void Release() {
        const std::lock_guard<std::mutex> lock(mutex);
        bReleased = true;
        released.notify_all();
    }

    struct Block {
        uint8_t first;
        uint32_t bytes;
    };
    std::mutex mutex;
    std::condition_variable released;
    bool bReleased = true;
    bool bTimedOut = false;
    size_t failAt = size_t(-1);
    size_t throwAt = size_t(-1);
    std::vector<Block> blocks;
    std::thread::id writer;
};

void QueueBlock(BlockWriter& writer, uint8_t first, uint32_t bytes) {
    uint8_t* buffer = writer.NextBuffer();
    ASSERT_NE(buffer, nullptr);
    std::memset(buffer, first, bytes);
    writer.Queue(bytes);
}

class BlockWriterTest : public ::testing::Test {
  protected:
    TempDir dir;
    ScriptedSink sink{dir.File("sink.wav")};
};

}  // namespace

TEST_F(BlockWriterTest, BlocksReachTheFileInOrderWithTheirSizesOffTheCallersThread) {
    {
        BlockWriter writer(sink, 100);
        for (int k = 0; k < 70; ++k) {
            while (writer.NextBuffer() == nullptr) {
                writer.AwaitWrite();
            }
            QueueBlock(writer, static_cast<uint8_t>(k), static_cast<uint32_t>(1 + k % 100));
        }
        writer.Drain();
        const BlockWriter::Status status = writer.GetStatus();
        EXPECT_EQ(status.written, 70u);
        EXPECT_FALSE(status.bFailed);
    }
    ASSERT_EQ(sink.blocks.size(), 70u);
    for (size_t k = 0; k < 70; ++k) {
        EXPECT_EQ(sink.blocks[k].first, k) << k;
        EXPECT_EQ(sink.blocks[k].bytes, 1 + k % 100) << k;
    }
    EXPECT_NE(sink.writer, std::this_thread::get_id());
}

TEST_F(BlockWriterTest, AFailedWriteEndsTheWritingAndDropsTheBlocksAfterIt) {
    sink.failAt = 2;
    BlockWriter writer(sink, 16);
    for (int k = 0; k < 6; ++k) {
        QueueBlock(writer, static_cast<uint8_t>(k), 16);
    }
    writer.Drain();
    const BlockWriter::Status status = writer.GetStatus();
    EXPECT_EQ(status.written, 2u);
    EXPECT_TRUE(status.bFailed);
    EXPECT_EQ(sink.blocks.size(), 3u);  // the two written and the one that failed
}

TEST_F(BlockWriterTest, EveryBufferInHandHoldsTheCallerUntilAWriteIsDone) {
    sink.bReleased = false;
    BlockWriter writer(sink, 8);
    for (size_t k = 0; k < BlockWriter::kBuffers; ++k) {
        QueueBlock(writer, static_cast<uint8_t>(k), 8);
    }
    EXPECT_EQ(writer.NextBuffer(), nullptr);
    EXPECT_EQ(writer.GetStatus().written, 0u);
    sink.Release();
    writer.AwaitWrite();
    EXPECT_GE(writer.GetStatus().written, 1u);
    EXPECT_NE(writer.NextBuffer(), nullptr);
    writer.Drain();
    EXPECT_EQ(writer.GetStatus().written, BlockWriter::kBuffers);
    EXPECT_FALSE(sink.bTimedOut);
}

TEST_F(BlockWriterTest, AFileErrorInAWriteIsThrownToTheCaller) {
    sink.throwAt = 1;
    BlockWriter writer(sink, 8);
    for (int k = 0; k < 3; ++k) {
        QueueBlock(writer, static_cast<uint8_t>(k), 8);
    }
    writer.Drain();
    EXPECT_THROW(writer.GetStatus(), CFileException);
    const BlockWriter::Status status = writer.GetStatus();  // thrown once, failed after
    EXPECT_EQ(status.written, 1u);
    EXPECT_TRUE(status.bFailed);
}
