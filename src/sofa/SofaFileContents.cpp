#include "sofa/SofaFileContents.h"

#include <fcntl.h>
#include <mysofa.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// The child's report: libmysofa's error code, then, when it read the file, the dimensions,
// the attributes and each array (a count, the floats, the attributes), in the host's byte
// order. Strings and lists are counted with 64-bit numbers.
class Writer {
  public:
    void Number(uint64_t value) { Bytes(&value, sizeof value); }
    void Text(const char* text) {
        const size_t length = text != nullptr ? std::strlen(text) : 0;
        Number(length);
        Bytes(text, length);
    }
    void Attributes(const MYSOFA_ATTRIBUTE* pList) {
        uint64_t count = 0;
        for (const MYSOFA_ATTRIBUTE* p = pList; p != nullptr; p = p->next) {
            ++count;
        }
        Number(count);
        for (const MYSOFA_ATTRIBUTE* p = pList; p != nullptr; p = p->next) {
            Text(p->name);
            Text(p->value);
        }
    }
    void Array(const MYSOFA_ARRAY& array) {
        const size_t count = array.values != nullptr ? array.elements : 0;
        Number(count);
        Bytes(array.values, count * sizeof(float));
        Attributes(array.attributes);
    }
    const std::string& Written() const { return m_bytes; }

  private:
    void Bytes(const void* data, size_t size) {
        if (size != 0) {
            m_bytes.append(static_cast<const char*>(data), size);
        }
    }
    std::string m_bytes;
};

class Reader {
  public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes) {}
    bool Number(uint64_t& value) { return Bytes(&value, sizeof value); }
    bool Text(std::string& text) {
        uint64_t length = 0;
        if (!Number(length) || length > Left()) {
            return false;
        }
        text.assign(m_bytes, m_at, length);
        m_at += length;
        return true;
    }
    bool Attributes(SofaFileContents::Attributes& attributes) {
        uint64_t count = 0;
        if (!Number(count) || count > Left() / 16) {
            return false;
        }
        attributes.resize(count);
        for (auto& [name, value] : attributes) {
            if (!Text(name) || !Text(value)) {
                return false;
            }
        }
        return true;
    }
    bool Array(SofaFileContents::Array& array) {
        uint64_t count = 0;
        if (!Number(count) || count > Left() / sizeof(float)) {
            return false;
        }
        array.values.resize(count);
        return Bytes(array.values.data(), count * sizeof(float)) && Attributes(array.attributes);
    }
    bool AtEnd() const { return m_at == m_bytes.size(); }

  private:
    size_t Left() const { return m_bytes.size() - m_at; }
    bool Bytes(void* data, size_t size) {
        if (size > Left()) {
            return false;
        }
        if (size != 0) {
            std::memcpy(data, m_bytes.data() + m_at, size);
        }
        m_at += size;
        return true;
    }
    const std::string& m_bytes;
    size_t m_at = 0;
};

// In the child: libmysofa's reading, reported on fd. Never returns.
[[noreturn]] void ReadInChild(const std::string& path, int fd) {
    int error = MYSOFA_OK;
    MYSOFA_HRTF* pHrtf = mysofa_load(path.c_str(), &error);
    Writer out;
    out.Number(static_cast<uint64_t>(
        static_cast<int64_t>(pHrtf == nullptr && error == MYSOFA_OK ? MYSOFA_READ_ERROR : error)));
    if (pHrtf != nullptr && error == MYSOFA_OK) {
        for (const unsigned dimension :
             {pHrtf->I, pHrtf->C, pHrtf->R, pHrtf->E, pHrtf->N, pHrtf->M}) {
            out.Number(dimension);
        }
        out.Attributes(pHrtf->attributes);
        for (const MYSOFA_ARRAY* pArray :
             {&pHrtf->ListenerPosition, &pHrtf->ReceiverPosition, &pHrtf->SourcePosition,
              &pHrtf->EmitterPosition, &pHrtf->ListenerUp, &pHrtf->ListenerView, &pHrtf->DataIR,
              &pHrtf->DataSamplingRate, &pHrtf->DataDelay}) {
            out.Array(*pArray);
        }
    }
    const std::string& bytes = out.Written();
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::_exit(2);
        }
        done += static_cast<size_t>(n);
    }
    // Nothing of the parent's runs here: no destructors, no handlers at exit.
    ::_exit(0);
}

bool Decode(const std::string& bytes, SofaFileRead& found) {
    Reader in(bytes);
    uint64_t error = 0;
    if (!in.Number(error)) {
        return false;
    }
    found.error = static_cast<int>(static_cast<int64_t>(error));
    if (found.error != MYSOFA_OK) {
        return in.AtEnd();
    }
    SofaFileContents contents;
    for (unsigned* pDimension :
         {&contents.I, &contents.C, &contents.R, &contents.E, &contents.N, &contents.M}) {
        uint64_t value = 0;
        if (!in.Number(value) || value > UINT32_MAX) {
            return false;
        }
        *pDimension = static_cast<unsigned>(value);
    }
    if (!in.Attributes(contents.attributes)) {
        return false;
    }
    for (SofaFileContents::Array* pArray :
         {&contents.listenerPosition, &contents.receiverPosition, &contents.sourcePosition,
          &contents.emitterPosition, &contents.listenerUp, &contents.listenerView, &contents.dataIr,
          &contents.dataSamplingRate, &contents.dataDelay}) {
        if (!in.Array(*pArray)) {
            return false;
        }
    }
    found.contents = std::move(contents);
    return in.AtEnd();
}

}  // namespace

std::string SofaFileContents::Attribute(const Attributes& attributes, const std::string& name) {
    for (const auto& [key, value] : attributes) {
        if (key == name) {
            return value;
        }
    }
    return "";
}

SofaFileRead SofaFileContents::Of(const std::string& path, double seconds) {
    SofaFileRead found;
    int pipeFds[2] = {-1, -1};
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        found.failure =
            std::string("Sonomap cannot start reading it (") + std::strerror(errno) + ")";
        return found;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        ReadInChild(path, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    if (child < 0) {
        found.failure =
            std::string("Sonomap cannot start reading it (") + std::strerror(errno) + ")";
        ::close(pipeFds[0]);
        return found;
    }
    const Clock::time_point deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(seconds));
    std::string bytes;
    char buffer[65536];
    bool bEnded = false;
    while (!bEnded) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd wait{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::min<long long>(left, 1000)));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            bEnded = true;
        } else {
            bytes.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (!bEnded) {
        ::kill(child, SIGKILL);
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        char text[120];
        std::snprintf(text, sizeof text, "libmysofa did not finish reading it within %.0f s",
                      seconds);
        found.failure = text;
        return found;
    }
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        found.failure =
            std::string("libmysofa failed as it read it (") + ::strsignal(WTERMSIG(status)) + ")";
        return found;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !Decode(bytes, found)) {
        found.contents.reset();
        found.failure = "libmysofa failed as it read it";
    }
    return found;
}
