#include "platform/FileStamp.h"

#include <sys/stat.h>

namespace {

FileStamp StampOf(const struct stat& st) {
    FileStamp stamp;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<uint64_t>(st.st_size);
    stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}

}  // namespace

std::optional<FileStamp> FileStamp::Of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return StampOf(st);
}

std::optional<FileStamp> FileStamp::OfDescriptor(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return StampOf(st);
}
