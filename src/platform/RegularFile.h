#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

// An input that must be a regular file, opened for reading without ever waiting: a FIFO, a
// device, a socket or a folder is refused by what it is before a byte is read, and a file is
// read only up to a bound the caller gives. Owns the descriptor; sizes are bytes.
class RegularFile {
  public:
    // Opens path (links followed) and checks what it is. IsOpen() tells whether it is a
    // regular file open for reading; Why() says otherwise.
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // Why it cannot be read, in words: the system's reason ("No such file or directory") or
    // what it is instead ("it is a FIFO, not a regular file"). Empty while all is well.
    const std::string& Why() const { return m_why; }
    // True when the path is there but is no regular file (Why() says what it is).
    bool IsSpecial() const { return m_bSpecial; }
    // The errno of the open that failed (ENOENT: nothing is there); 0 otherwise.
    int SystemError() const { return m_error; }
    int Descriptor() const { return m_fd; }
    uint64_t Size() const { return m_size; }
    // The open file by a name, for a library that takes a name: it reaches this very file
    // even if the path is replaced meanwhile.
    std::string ProcPath() const;

    // Every byte, when the file holds at most limit of them (a file growing past the limit
    // as it is read counts too); none with Why() set otherwise.
    std::optional<std::string> ReadAll(uint64_t limit);

    // "a folder", "a FIFO", "a character device", "a block device", "a socket", "a regular
    // file", or "a special file" for anything else.
    static std::string KindOf(mode_t mode);
    // Whether path may be written as an output: it does not exist yet, or it is a regular file
    // (a link counts as what it leads to). Empty when it may; else why not, naming the path
    // ("/dev/null is a character device, not a regular file").
    static std::string WhyNotOutput(const std::string& path);
    // "1 GiB", "64 MiB", "512 bytes": a limit for a message.
    static std::string SizeText(uint64_t bytes);

  private:
    int m_fd = -1;
    uint64_t m_size = 0;
    std::string m_why;
    bool m_bSpecial = false;
    int m_error = 0;
};
