#include "document/RecoveryJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "document/CTesselDoc.h"
#include "platform/ByteOrder.h"
#include "platform/SafeFileWriter.h"
#include "trajectory/Place.h"

namespace {

constexpr char kMagic[8] = {'S', 'N', 'M', 'P', 'J', 'R', 'N', 'L'};
// Far above any key a file system allows: a larger count can only be damage.
constexpr uint32_t kMaxKeyBytes = 1u << 16;
constexpr size_t kPointBytes = 24;

uint64_t Fnv1a(const char* data, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= static_cast<uint8_t>(data[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

void Put(std::string& out, uint64_t value, int bytes) {
    uint8_t field[8];
    ByteOrder::StoreU(field, value, bytes, false);
    out.append(reinterpret_cast<const char*>(field), static_cast<size_t>(bytes));
}

// Reads little-endian fields in turn; once past the end every read fails.
class Reader {
  public:
    explicit Reader(const std::string& bytes) : m_bytes(bytes) {}
    bool Take(int bytes, uint64_t& value) {
        if (m_bytes.size() - m_at < static_cast<size_t>(bytes)) {
            return false;
        }
        value =
            ByteOrder::LoadU(reinterpret_cast<const uint8_t*>(m_bytes.data()) + m_at, bytes, false);
        m_at += bytes;
        return true;
    }
    bool TakeText(size_t size, std::string& text) {
        if (m_bytes.size() - m_at < size) {
            return false;
        }
        text.assign(m_bytes, m_at, size);
        m_at += size;
        return true;
    }
    size_t Left() const { return m_bytes.size() - m_at; }

  private:
    const std::string& m_bytes;
    size_t m_at = 0;
};

}  // namespace

RecoveryJournal RecoveryJournal::Snapshot(const CTesselDoc& document, uint64_t ownerToken) {
    RecoveryJournal journal;
    journal.key = KeyOf(document);
    journal.bImported = document.GetPathName().empty() && !document.GetImportSource().empty();
    journal.ownerToken = ownerToken;
    journal.lastEditMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    journal.undoPosition = document.GetUndoHistory().UndoCount();
    journal.points = document.GetPanPoints().Values();
    return journal;
}

std::string RecoveryJournal::KeyOf(const CTesselDoc& document) {
    // An import saved under a name of its own is that file from then on.
    return document.GetPathName().empty() ? document.GetImportSource() : document.GetPathName();
}

void RecoveryJournal::StampKeyFile() {
    struct stat st {};
    if (::stat(key.c_str(), &st) != 0) {
        fileBytes = 0;
        fileMtimeNs = 0;
        return;
    }
    fileBytes = static_cast<uint64_t>(st.st_size);
    fileMtimeNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool RecoveryJournal::KeyFileChanged() const {
    RecoveryJournal now;
    now.key = key;
    now.StampKeyFile();
    return now.fileBytes != fileBytes || now.fileMtimeNs != fileMtimeNs;
}

std::string RecoveryJournal::Encode() const {
    std::string out(kMagic, sizeof kMagic);
    out.reserve(80 + key.size() + points.size() * kPointBytes);
    Put(out, kVersion, 4);
    Put(out, key.size(), 4);
    out += key;
    Put(out, bImported ? 1 : 0, 1);
    Put(out, ownerToken, 8);
    Put(out, static_cast<uint64_t>(lastEditMs), 8);
    Put(out, fileBytes, 8);
    Put(out, static_cast<uint64_t>(fileMtimeNs), 8);
    Put(out, undoPosition, 8);
    Put(out, points.size(), 4);
    for (const PanPoint& point : points) {
        Put(out, point.position, 4);
        Put(out, static_cast<uint32_t>(point.Pan()), 4);  // for a reader of pans alone
        Put(out, static_cast<uint32_t>(point.azimuth), 4);
        Put(out, static_cast<uint32_t>(point.elevation), 4);
        Put(out, point.distanceCm, 4);
        Put(out, static_cast<uint32_t>(point.width), 4);
    }
    Put(out, Fnv1a(out.data(), out.size()), 8);
    return out;
}

RecoveryJournal::ReadStatus RecoveryJournal::Decode(const std::string& bytes,
                                                    RecoveryJournal& journal) {
    Reader in(bytes);
    std::string magic;
    uint64_t version = 0;
    if (!in.TakeText(sizeof kMagic, magic) || magic != std::string(kMagic, sizeof kMagic) ||
        !in.Take(4, version) || version == 0) {
        return ReadStatus::Damaged;
    }
    // A later version may lay out the rest differently: only its version is ours to read.
    if (version > kVersion) {
        return ReadStatus::NewerVersion;
    }
    uint64_t checksum = 0;
    if (bytes.size() < sizeof kMagic + 12 ||
        !Reader(bytes.substr(bytes.size() - 8)).Take(8, checksum) ||
        Fnv1a(bytes.data(), bytes.size() - 8) != checksum) {
        return ReadStatus::Damaged;
    }
    RecoveryJournal read;
    uint64_t keyBytes = 0, imported = 0, lastEdit = 0, mtime = 0, count = 0;
    if (!in.Take(4, keyBytes) || keyBytes > kMaxKeyBytes || !in.TakeText(keyBytes, read.key) ||
        !in.Take(1, imported) || imported > 1 || !in.Take(8, read.ownerToken) ||
        !in.Take(8, lastEdit) || !in.Take(8, read.fileBytes) || !in.Take(8, mtime) ||
        !in.Take(8, read.undoPosition) || !in.Take(4, count) ||
        in.Left() != count * kPointBytes + 8) {
        return ReadStatus::Damaged;
    }
    read.bImported = imported != 0;
    read.lastEditMs = static_cast<int64_t>(lastEdit);
    read.fileMtimeNs = static_cast<int64_t>(mtime);
    read.points.resize(count);
    for (PanPoint& point : read.points) {
        uint64_t fields[6] = {};
        for (uint64_t& field : fields) {
            in.Take(4, field);
        }
        point.position = static_cast<uint32_t>(fields[0]);
        point.azimuth = static_cast<int32_t>(static_cast<uint32_t>(fields[2]));
        point.elevation = static_cast<int32_t>(static_cast<uint32_t>(fields[3]));
        point.distanceCm = static_cast<uint32_t>(fields[4]);
        point.width = static_cast<int32_t>(static_cast<uint32_t>(fields[5]));
        // A journal only this program writes: a value out of range, or a pan that is not its
        // azimuth's fold, is damage whatever its checksum says.
        if (!WhyOutOfRange(point).empty() ||
            static_cast<int32_t>(static_cast<uint32_t>(fields[1])) != point.Pan()) {
            return ReadStatus::Damaged;
        }
    }
    journal = std::move(read);
    return ReadStatus::Ok;
}

void RecoveryJournal::WriteTo(const std::string& path) const {
    const std::string bytes = Encode();
    SafeFileWriter writer(path);
    writer.Begin().Write(bytes.data(), bytes.size());
    writer.Commit();
}

RecoveryJournal::ReadStatus RecoveryJournal::ReadFrom(const std::string& path,
                                                      RecoveryJournal& journal) {
    // Neither a link, nor a pipe that would wait for a writer, nor a device without end.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ReadStatus::Unreadable;
    }
    struct stat st {};
    std::string bytes;
    bool bRead = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (bRead && static_cast<uint64_t>(st.st_size) <= kMaxBytes) {
        // One byte past the bound tells a file that grew since fstat.
        bytes.resize(static_cast<size_t>(st.st_size) + 1);
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                bRead = n == 0;
                break;
            }
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    if (!bRead) {
        return ReadStatus::Unreadable;
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxBytes || bytes.size() > kMaxBytes) {
        return ReadStatus::Damaged;  // larger than any journal of a document that could be saved
    }
    return Decode(bytes, journal);
}
