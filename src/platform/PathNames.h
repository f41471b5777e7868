#pragma once

#include <cstddef>
#include <string>

// The parts of a file path, '/' separated. A path without a separator is a bare name.
namespace PathNames {

// The index just past the last separator, where the file name starts; 0 for a bare name.
size_t NameStart(const std::string& path);
// The file name: everything after the last separator.
std::string FileName(const std::string& path);
// The folder with its separator ("/a/" of "/a/b.wav"); "" for a bare name.
std::string FolderOf(const std::string& path);
// The folder as a directory to open: "." for a bare name, "/" for the root.
std::string DirectoryOf(const std::string& path);
// The file name's extension with its dot (".wav"); "" when the name has no dot. A dot in a
// folder is no extension.
std::string Extension(const std::string& path);

}  // namespace PathNames
