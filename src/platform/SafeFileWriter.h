#pragma once

#include <string>

#include "platform/CFile.h"

// Replaces a file only when its new content is complete. The new bytes go to a temp file in
// the target's folder, synced to the disk every few MB as it grows (CFile::SetWriteBehind);
// Commit pushes the rest to the disk, gives the temp file the target's mode
// bits (and owner, where allowed), renames it over the target and syncs the folder. Until
// then the target keeps its old bytes; a writer destroyed without Commit removes its temp
// file, so a failed save leaves nothing behind. A symbolic link as target is followed.
class SafeFileWriter {
  public:
    explicit SafeFileWriter(std::string targetPath);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Creates the temp file, open for reading and writing. Throws CFileException.
    CFile& Begin();
    // Puts the new content in place. Throws CFileException; the temp file is gone then.
    void Commit();
    // Removes the temp file; the target is untouched.
    void Abort();

    const std::string& GetTempPath() const { return m_tempPath; }

  private:
    std::string m_targetPath;
    std::string m_tempPath;
    CFile m_file;
};
