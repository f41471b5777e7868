#include "cli/FileDigest.h"

#include <fcntl.h>
#include <nettle/sha2.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

std::optional<std::string> FileDigest::Sha256Of(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    sha256_ctx context;
    sha256_init(&context);
    std::vector<uint8_t> buffer(1 << 20);
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) != 0) {
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        sha256_update(&context, static_cast<size_t>(got), buffer.data());
    }
    ::close(fd);
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}
