#pragma once

#include <stdexcept>
#include <string>

// A failed file operation. Carries the errno of the failing call (0 when the failure was not
// a system error, e.g. a write that made no progress) and the path of the file.
class CFileException : public std::runtime_error {
  public:
    CFileException(int error, std::string path, const std::string& what);

    int GetError() const { return m_error; }
    const std::string& GetPath() const { return m_path; }

  private:
    int m_error;
    std::string m_path;
};
