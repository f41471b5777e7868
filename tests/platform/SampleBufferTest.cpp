#include "platform/SampleBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <utility>

TEST(SampleBuffer, SmallAndLargeBlocksHoldTheirBytesAndMoveOwnership) {
    for (const size_t bytes : {size_t{0}, size_t{5}, size_t{3} << 20}) {
        SampleBuffer buffer = SampleBuffer::Allocate(bytes);
        ASSERT_TRUE(buffer) << bytes;
        EXPECT_EQ(buffer.size(), bytes);
        std::memset(buffer.data(), 0xA5, bytes);
        SampleBuffer moved = std::move(buffer);
        EXPECT_FALSE(buffer);
        EXPECT_EQ(moved.size(), bytes);
        if (bytes > 0) {
            EXPECT_EQ(moved.data()[bytes - 1], 0xA5);
        }
        moved.reset();
        EXPECT_FALSE(moved);
        EXPECT_EQ(moved.size(), 0u);
    }
}
