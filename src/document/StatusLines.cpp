#include "document/StatusLines.h"

#include <sys/stat.h>

#include <algorithm>

#include "formats/PcmFormat.h"
#include "geometry/TimeText.h"
#include "platform/PathNames.h"

std::string StatusLines::Grouped(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

std::string StatusLines::Written(const std::string& verb, const std::string& path) {
    struct stat st {};
    const uint64_t size = ::stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    return verb + " " + PathNames::FileName(path) + " in " + PathNames::FolderOf(path) + " (" +
           Grouped(size) + (size == 1 ? " byte)." : " bytes).");
}

std::string StatusLines::ShortOfData(const std::string& path, uint32_t declaredBytes,
                                     uint32_t presentBytes, const PcmFormat& format) {
    const uint32_t missing = declaredBytes - std::min(presentBytes, declaredBytes);
    const uint32_t frameBytes =
        std::max<uint32_t>(1, format.channels * (format.bitsPerSample / 8u));
    const uint32_t rate = std::max<uint32_t>(1, format.sampleRate);
    return PathNames::FileName(path) + " is shorter than its header says: " + Grouped(missing) +
           " of " + Grouped(declaredBytes) + " bytes of sample data (" +
           TimeText::Precise(missing / frameBytes, rate) + " of sound) are missing.";
}

std::string StatusLines::PlacesSetAside(const std::string& path, const std::string& why) {
    return "The 3-D trajectory in " + PathNames::FileName(path) + " " + why +
           " and was set aside; the pan points are used.";
}

std::string StatusLines::PlacesClamped(const std::string& path) {
    return "Some 3-D values in " + PathNames::FileName(path) +
           " lay outside their ranges and were brought inside them.";
}

std::string StatusLines::PlacesOfAnotherVersion(const std::string& path) {
    return "The 3-D trajectory in " + PathNames::FileName(path) +
           " is of another version or byte order than Sonomap reads; it is kept as it stands, "
           "and the pan points are used.";
}

std::string StatusLines::SpaceSetAside(const std::string& path, const std::string& why) {
    return "The space stored in " + PathNames::FileName(path) + " " + why +
           " and was set aside; the sound is heard dry.";
}

std::string StatusLines::SpaceOfAnotherVersion(const std::string& path) {
    return "The space stored in " + PathNames::FileName(path) +
           " is of another version than Sonomap reads; it is kept as it stands, and the sound "
           "is heard dry.";
}

std::string StatusLines::PansClamped(const std::string& path) {
    return "Some pan points in " + PathNames::FileName(path) +
           " lay beyond full left or full right and were held there.";
}

std::string StatusLines::FoldedOntoTheFront() {
    return "A stereo file cannot hold behind or above: the trajectory is folded onto the front, "
           "with its distance as loudness.";
}
