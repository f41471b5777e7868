// Feeds arbitrary bytes as a recovery journal file through the read a starting editor does on
// each journal it finds. A journal is refused, or read as one that writes back to exactly the
// same bytes; nothing else may happen.
#include <string>

#include "FuzzFile.h"
#include "document/RecoveryJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzDiskFile file("fuzz.journal");
    file.Fill(data, size);
    RecoveryJournal journal;
    const RecoveryJournal::ReadStatus status = RecoveryJournal::ReadFrom(file.path, journal);
    RecoveryJournal decoded;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    FuzzCheck(RecoveryJournal::Decode(bytes, decoded) == status);
    if (status == RecoveryJournal::ReadStatus::Ok) {
        FuzzCheck(decoded == journal && journal.Encode() == bytes);
    } else {
        FuzzCheck(journal == RecoveryJournal());
    }
    return 0;
}
