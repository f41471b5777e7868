#pragma once

#include <cstdint>
#include <string>

struct PcmFormat;

// The status-bar lines a document writes for the user: what a save or an export wrote, and
// the warning for a file that opened with part of its samples missing. Sizes are bytes.
namespace StatusLines {

// "Saved take.wav in /home/me/sounds/ (88,244 bytes)." with verb "Saved"; the size is the
// file's on disk now.
std::string Written(const std::string& verb, const std::string& path);
// "take.wav is shorter than its header says: 12,000 of 100,000 bytes of sample data
// (0:00.272 of sound) are missing."
std::string ShortOfData(const std::string& path, uint32_t declaredBytes, uint32_t presentBytes,
                        const PcmFormat& format);
// "The 3-D trajectory in take.wav no longer matched its pan points and was set aside; the
// pan points are used." with why = "no longer matched its pan points".
std::string PlacesSetAside(const std::string& path, const std::string& why);
// "Some 3-D values in take.wav lay outside their ranges and were brought inside them."
std::string PlacesClamped(const std::string& path);
// "The 3-D trajectory in take.wav is of another version (256) than Sonomap reads; it is kept
// as it stands, and the pan points are used."
std::string PlacesOfAnotherVersion(const std::string& path);
// "The space stored in take.wav was damaged and was set aside; the sound is heard dry." with
// why = "was damaged".
std::string SpaceSetAside(const std::string& path, const std::string& why);
// A "spce" chunk of another version: kept as it stands, the document heard dry.
std::string SpaceOfAnotherVersion(const std::string& path);
// "Some pan points in take.wav lay beyond full left or full right and were held there."
std::string PansClamped(const std::string& path);
// What the stereo export says of a trajectory that leaves the front half-circle.
std::string FoldedOntoTheFront();
// 1234567 as "1,234,567".
std::string Grouped(uint64_t value);

}  // namespace StatusLines
