#include "platform/PathNames.h"

size_t PathNames::NameStart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::string PathNames::FileName(const std::string& path) {
    return path.substr(NameStart(path));
}

std::string PathNames::FolderOf(const std::string& path) {
    return path.substr(0, NameStart(path));
}

std::string PathNames::DirectoryOf(const std::string& path) {
    const size_t start = NameStart(path);
    if (start == 0) {
        return ".";
    }
    return start == 1 ? "/" : path.substr(0, start - 1);
}

std::string PathNames::Extension(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < NameStart(path)) {
        return {};
    }
    return path.substr(dot);
}
