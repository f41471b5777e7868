#pragma once

#include <optional>
#include <string>

// SHA-256 of a file's bytes, as sha256sum prints it (64 lower-case hexadecimal digits), through
// nettle. None when the file cannot be read whole.
class FileDigest {
  public:
    static std::optional<std::string> Sha256Of(const std::string& path);
};
