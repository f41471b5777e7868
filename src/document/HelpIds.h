#pragma once

// The help context numbers the document's message boxes carry.
namespace HelpId {
inline constexpr unsigned kOutOfMemory = 101;
// Reading or writing the file failed.
inline constexpr unsigned kFileError = 103;
inline constexpr unsigned kNotASoundFile = 104;
inline constexpr unsigned kBadFormat = 105;
inline constexpr unsigned kBadPanChunkVersion = 106;
// The file changed length since its pan chunk was written.
inline constexpr unsigned kModifiedOutside = 107;
inline constexpr unsigned kTypeConversion = 108;
}  // namespace HelpId
