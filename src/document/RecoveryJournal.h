#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "trajectory/PanPoint.h"

class CTesselDoc;

// What an unsaved document's trajectory looked like at its last edit, kept on disk so a run
// that ends abnormally loses nothing. The bytes (little-endian): an 8-byte magic, a 32-bit
// version, the key (the document's path, or the file an imported document came from), the
// token of the run that wrote it, the time of the last edit, the key file's size and mtime
// when written, the undo position, every field of every point, and a 64-bit FNV-1a checksum
// of all that precedes it.
class RecoveryJournal {
  public:
    static constexpr uint32_t kVersion = 1;
    // The largest journal read: far more points than a file can store (65535).
    static constexpr uint64_t kMaxBytes = uint64_t{64} << 20;

    enum class ReadStatus { Ok, Unreadable, Damaged, NewerVersion };

    std::string key;
    bool bImported = false;     // key names an import's source, not a native file
    uint64_t ownerToken = 0;    // the run that wrote it (RecoveryFolder::Token)
    int64_t lastEditMs = 0;     // wall clock, ms since 1970
    uint64_t fileBytes = 0;     // the key file's size when written; 0 when missing
    int64_t fileMtimeNs = 0;    // its modification time, ns since 1970; 0 when missing
    uint64_t undoPosition = 0;  // steps done in the history at the last edit
    std::vector<PanPoint> points;

    bool operator==(const RecoveryJournal&) const = default;

    // The journal of a document as it is now: the only part of keeping a journal that runs
    // on the interface thread, so it copies and does nothing else.
    static RecoveryJournal Snapshot(const CTesselDoc& document, uint64_t ownerToken);
    // The key a document's journal is filed under: its path, or while an import has none, the
    // file it was imported from; "" for a document with neither.
    static std::string KeyOf(const CTesselDoc& document);

    // Records the key file's size and mtime as they are now (zeros when it is missing).
    void StampKeyFile();
    // Whether the key file differs from what StampKeyFile saw.
    bool KeyFileChanged() const;

    std::string Encode() const;
    static ReadStatus Decode(const std::string& bytes, RecoveryJournal& journal);

    // Written in full or not at all (temp file, fsync, rename). Throws CFileException.
    void WriteTo(const std::string& path) const;
    // Reads a journal file: Unreadable for anything but a regular file (a link, a pipe, a
    // folder, a device) and for a failed read, Damaged past kMaxBytes; never waits for a
    // writer nor reads more than kMaxBytes + 1 bytes.
    static ReadStatus ReadFrom(const std::string& path, RecoveryJournal& journal);
};
