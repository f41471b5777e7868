#include "platform/CFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>
#include <vector>

#include "platform/CFileException.h"
#include "platform/FlushBehind.h"
#include "support/TempDir.h"

namespace {

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWhole(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(CFile, ReadWriteCreateMakesAMissingFileAndKeepsAnExistingOne) {
    TempDir dir;
    const std::string fresh = dir.File("fresh.bin");
    {
        CFile file(fresh, CFile::Mode::ReadWriteCreate);
        EXPECT_EQ(file.GetLength(), 0u);
        file.Write("abcdef", 6);
    }
    EXPECT_EQ(ReadWhole(fresh), "abcdef");

    // Opening again must not truncate: the old bytes stay until overwritten.
    CFile again(fresh, CFile::Mode::ReadWriteCreate);
    EXPECT_EQ(again.GetLength(), 6u);
    again.Write("XY", 2);
    again.Close();
    EXPECT_EQ(ReadWhole(fresh), "XYcdef");
}

TEST(CFile, SeekFromStartAndFromCurrentPosition) {
    TempDir dir;
    const std::string path = dir.File("seek.bin");
    WriteWhole(path, "0123456789");
    CFile file(path, CFile::Mode::Read);
    EXPECT_EQ(file.Seek(3, CFile::SeekFrom::Begin), 3u);
    char c = 0;
    EXPECT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, '3');
    EXPECT_EQ(file.Seek(2, CFile::SeekFrom::Current), 6u);
    EXPECT_EQ(file.Read(&c, 1), 1u);
    EXPECT_EQ(c, '6');
    EXPECT_EQ(file.Seek(-7, CFile::SeekFrom::Current), 0u);
    EXPECT_EQ(file.GetPosition(), 0u);
    EXPECT_THROW(file.Seek(-1, CFile::SeekFrom::Current), CFileException);
}

TEST(CFile, ReadStopsAtTheEndAndLeavesTheRestOfTheBuffer) {
    TempDir dir;
    const std::string path = dir.File("short.bin");
    WriteWhole(path, "abc");
    CFile file(path, CFile::Mode::Read);
    std::vector<char> buffer(8, '#');
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 3u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), "abc#####");
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 0u);
}

TEST(CFile, SetLengthTruncatesAndExtendsWithZeros) {
    TempDir dir;
    const std::string path = dir.File("len.bin");
    WriteWhole(path, "abcdef");
    CFile file(path, CFile::Mode::ReadWriteCreate);
    file.SetLength(2);
    EXPECT_EQ(file.GetLength(), 2u);
    file.SetLength(4);
    file.Flush();
    file.Close();
    EXPECT_EQ(ReadWhole(path), std::string("ab\0\0", 4));
}

TEST(CFile, FailuresThrowWithErrnoAndPath) {
    TempDir dir;
    const std::string missing = dir.File("missing.wav");
    try {
        CFile file(missing, CFile::Mode::Read);
        FAIL() << "opening a missing file must throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetError(), ENOENT);
        EXPECT_EQ(e.GetPath(), missing);
    }

    WriteWhole(dir.File("ro.bin"), "x");
    CFile readOnly(dir.File("ro.bin"), CFile::Mode::Read);
    EXPECT_THROW(readOnly.Write("y", 1), CFileException);
    EXPECT_THROW(readOnly.SetLength(0), CFileException);

    CFile none;
    EXPECT_FALSE(none.IsOpen());
    char c;
    EXPECT_THROW(none.Read(&c, 1), CFileException);
}

TEST(CFile, ShortWriteOnAFullDeviceThrows) {
    // /dev/full accepts the open and fails every write with ENOSPC.
    CFile full("/dev/full", CFile::Mode::ReadWriteCreate);
    try {
        full.Write("data", 4);
        FAIL() << "a write to a full device must throw";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.GetError(), ENOSPC);
    }
}

// Write-behind only starts the disk early: the bytes are those written, also when a header is
// patched behind the written end.
TEST(CFile, WriteBehindKeepsTheBytesThroughSeeksBackAndEndsWithTheFile) {
    TempDir dir;
    const std::string path = dir.File("behind.bin");
    std::string want;
    {
        CFile file(path, CFile::Mode::ReadWriteCreate);
        file.SetWriteBehind(64 * 1024);
        for (int block = 0; block < 40; ++block) {
            const std::string bytes(10000 + block, static_cast<char>('a' + block % 26));
            file.Write(bytes.data(), bytes.size());
            want += bytes;
            if (block % 7 == 6) {
                const uint64_t end = file.GetPosition();
                file.Seek(0, CFile::SeekFrom::Begin);
                file.Write("HEAD", 4);
                want.replace(0, 4, "HEAD");
                file.Seek(static_cast<int64_t>(end), CFile::SeekFrom::Begin);
            }
        }
        file.Flush();
    }
    EXPECT_EQ(ReadWhole(path), want);
}

// The syncing thread runs once a stride is written, covers what was written, and hands a
// failed sync's error to one Settle only.
TEST(FlushBehind, SyncsAsTheFileGrowsAndReportsAFailureOnce) {
    TempDir dir;
    CFile file(dir.File("grow.bin"), CFile::Mode::ReadWriteCreate);
    const struct {
        const char* name;
        int fd;
        std::vector<uint64_t> writes;
        uint64_t stride;
        uint64_t leastSynced;  // bytes a finished sync must cover after Settle
        int firstError;
    } cases[] = {
        {"below the stride", file.GetDescriptor(), {100, 100}, 250, 0, 0},
        {"past it", file.GetDescriptor(), {100, 100, 100, 100, 100, 100, 100}, 250, 451, 0},
        {"closed below the stride", -1, {100}, 250, 0, 0},
        {"closed past it", -1, {100, 100, 100}, 250, 51, EBADF},
    };
    const std::string block(100, 'x');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FlushBehind behind(c.fd, c.stride);
        for (const uint64_t bytes : c.writes) {
            if (c.fd >= 0) {
                file.Write(block.data(), bytes);
            }
            behind.Wrote(bytes);
        }
        EXPECT_EQ(behind.Settle(), c.firstError);
        EXPECT_EQ(behind.Settle(), 0);
        EXPECT_GE(behind.SyncedBytes(), c.leastSynced);
        if (c.leastSynced == 0) {
            EXPECT_EQ(behind.SyncedBytes(), 0u);
        }
    }
}
