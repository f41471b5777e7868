#pragma once

#include <string>

#include "platform/CFile.h"

// Replaces a file only when its new content is complete. The new bytes go to a temp file in
// the target's folder, synced to the disk every few MB as it grows (CFile::SetWriteBehind);
// Commit pushes the rest to the disk, gives the temp file the target's mode
// bits (and owner, where allowed), renames it over the target and syncs the folder. Until
// then the target keeps its old bytes; a writer destroyed without Commit removes its temp
// file, so a failed save leaves nothing behind. A symbolic link as target is followed; a
// target that is not a regular file (a device, a FIFO, a folder) is never replaced.
//
// The temp file is ".NAME.saving-XXXXXX" beside the target. While it exists its writer holds
// an flock on it and lists it with TempFileRegistry, so a terminating signal can take it
// along and a later run can tell a killed writer's leftover from a live one's file.
class SafeFileWriter {
  public:
    // Leftovers younger than this may belong to a writer that is just starting.
    static constexpr int kStaleAfterSeconds = 5 * 60;

    explicit SafeFileWriter(std::string targetPath);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Creates the temp file, open for reading and writing. Throws CFileException (EEXIST for a
    // target that is not a regular file).
    CFile& Begin();
    // Puts the new content in place. Throws CFileException; the temp file is gone then.
    void Commit();
    // Removes the temp file; the target is untouched.
    void Abort();

    const std::string& GetTempPath() const { return m_tempPath; }

    // Removes the temp files that writers of targetPath left when they were killed: files of
    // this naming beside it, older than olderThanSeconds and held by no live writer. Returns
    // how many went; a folder that cannot be read gives 0.
    static int RemoveStaleTempFiles(const std::string& targetPath,
                                    int olderThanSeconds = kStaleAfterSeconds);

  private:
    void ReleaseLock();

    std::string m_targetPath;
    std::string m_tempPath;
    int m_lockFd = -1;  // the temp file, flock-held until it is renamed or removed
    CFile m_file;
};
