#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What tells, without reading it, whether a file is still the one seen before: its device and
// inode (a save that replaces a file in place makes a new one), its size in bytes and its
// modification time in nanoseconds. Another program's save changes at least one of them.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t mtimeNs = 0;

    // The stamp of the file at path, or of an open descriptor; none when it cannot be had
    // (the file is gone or cannot be reached).
    static std::optional<FileStamp> Of(const std::string& path);
    static std::optional<FileStamp> OfDescriptor(int fd);

    bool operator==(const FileStamp&) const = default;
};
