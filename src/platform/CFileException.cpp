#include "platform/CFileException.h"

#include <cstring>
#include <utility>

namespace {

std::string Describe(int error, const std::string& path, const std::string& what) {
    std::string text = what + " '" + path + "'";
    if (error != 0) {
        text += ": ";
        text += std::strerror(error);
    }
    return text;
}

}  // namespace

CFileException::CFileException(int error, std::string path, const std::string& what)
    : std::runtime_error(Describe(error, path, what)), m_error(error), m_path(std::move(path)) {}
