#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// A fresh folder under the system's temp folder, removed with everything in it at the end.
// How many entries folder holds: a test's way to see that nothing was left behind.
size_t FilesIn(const std::filesystem::path& folder);

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

  private:
    std::filesystem::path m_path;
};
