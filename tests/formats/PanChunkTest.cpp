#include <gtest/gtest.h>

#include <algorithm>

#include "formats/PanChunk.h"
#include "support/FileBytes.h"

namespace {

TEST(PanChunk, BuildsTheLayoutInMemoryOrder) {
    auto chunk = BuildPanChunk({{0x01020304, -90}, {0x7FFFFFFF, 90}}, 0x11223344, true, 0xABCD);
    ASSERT_TRUE(chunk.has_value());
    Bytes expected = {6, 0, 0, 0, 2, 0, 0x44, 0x33, 0x22, 0x11, 1, 0, 0xCD, 0xAB};
    expected.resize(32, 0);
    Append(expected, {4, 3, 2, 1, 0xA6, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 90, 0});
    EXPECT_EQ(*chunk, expected);

    // With the flag clear the value is not written.
    auto clear = BuildPanChunk({{1, 0}}, 5, false, 0xABCD);
    ASSERT_TRUE(clear.has_value());
    EXPECT_EQ((*clear)[10], 0);
    EXPECT_EQ((*clear)[12], 0);
    EXPECT_EQ((*clear)[13], 0);
}

TEST(PanChunk, NoChunkForNoPointsOrTooMany) {
    EXPECT_FALSE(BuildPanChunk({}, 10, false, 0).has_value());
    std::vector<PanChunkPoint> most(kPanChunkMaxPoints, PanChunkPoint{1, 1});
    auto chunk = BuildPanChunk(most, 10, false, 0);
    ASSERT_TRUE(chunk.has_value());
    EXPECT_EQ(chunk->size(), kPanChunkMaxBytes);
    most.push_back({2, 2});
    EXPECT_FALSE(BuildPanChunk(most, 10, false, 0).has_value());
}

TEST(PanChunk, ParsesWhatItBuiltWithPansSignExtended) {
    const std::vector<PanChunkPoint> points = {{0, -90}, {10, -1}, {10, 0}, {20, 90}};
    auto parsed = ParsePanChunk(*BuildPanChunk(points, 21, true, 0xFFFF));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->version, kPanChunkVersion);
    EXPECT_EQ(parsed->declaredCount, 4);
    EXPECT_EQ(parsed->frameCount, 21u);
    EXPECT_EQ(parsed->carriedFlag, 1);
    EXPECT_EQ(parsed->carriedValue, 0xFFFF);
    ASSERT_EQ(parsed->points.size(), 4u);
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(parsed->points[i].position, points[i].position);
        EXPECT_EQ(parsed->points[i].pan, points[i].pan);
    }
}

TEST(PanChunk, ReservedBytesAreIgnoredAndWrittenBackAsZero) {
    PanChunkBytes chunk = *BuildPanChunk({{4, 30}}, 9, true, 2);
    std::fill(chunk.begin() + 14, chunk.begin() + 32, 0x77);
    auto parsed = ParsePanChunk(chunk);
    ASSERT_TRUE(parsed.has_value());
    auto rebuilt = BuildPanChunk(parsed->points, parsed->frameCount, parsed->carriedFlag == 1,
                                 parsed->carriedValue);
    EXPECT_EQ(*rebuilt, *BuildPanChunk({{4, 30}}, 9, true, 2));
}

TEST(PanChunk, ReadsOnlyThePointsThatFit) {
    PanChunkBytes chunk = *BuildPanChunk({{1, 1}, {2, 2}, {3, 3}}, 9, false, 0);
    chunk[4] = 0xFF;  // claims 65535 points
    chunk[5] = 0xFF;
    chunk.resize(chunk.size() - 1);  // and the last point is cut short
    auto parsed = ParsePanChunk(chunk);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->declaredCount, 65535);
    ASSERT_EQ(parsed->points.size(), 2u);
    EXPECT_EQ(parsed->points[1].position, 2u);

    EXPECT_FALSE(ParsePanChunk(PanChunkBytes(31, 0)).has_value());
    EXPECT_TRUE(ParsePanChunk(PanChunkBytes(32, 0))->points.empty());
}

TEST(PanChunk, BigEndianConversionRoundTrips) {
    PanChunkBytes chunk = *BuildPanChunk({{0x01020304, -2}, {5, 7}}, 0x0A0B0C0D, true, 0x1122);
    chunk[20] = 0x5A;  // reserved bytes pass through untouched
    const PanChunkBytes original = chunk;
    PanChunkToBigEndian(chunk.data(), chunk.size());
    Bytes expected = {0, 0, 0, 6, 0, 2, 0x0A, 0x0B, 0x0C, 0x0D, 0, 1, 0x11, 0x22};
    expected.resize(32, 0);
    expected[20] = 0x5A;
    Append(expected, {1, 2, 3, 4, 0xFF, 0xFE, 0, 0, 0, 5, 0, 7});
    EXPECT_EQ(chunk, expected);
    PanChunkFromBigEndian(chunk.data(), chunk.size());
    EXPECT_EQ(chunk, original);

    // A count larger than the bytes converts only the points present.
    PanChunkBytes big = {0, 0, 0, 6, 0xFF, 0xFF};
    big.resize(32 + 6 + 3, 0);
    big[32] = 1;
    big[38] = 9;
    PanChunkFromBigEndian(big.data(), big.size());
    EXPECT_EQ(big[35], 1);
    EXPECT_EQ(big[38], 9);
}

}  // namespace
