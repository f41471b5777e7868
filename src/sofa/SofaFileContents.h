#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SofaFileRead;

// What libmysofa reads of a SOFA file: its dimensions, its attributes and the variables a
// SimpleFreeFieldHRIR set holds, as the file gives them, unchecked. libmysofa runs in a child
// process of its own with a time limit, because a hostile file can make it loop for ever or
// crash: that costs the child, and the file is refused with the reason. The values come back
// through a pipe.
struct SofaFileContents {
    using Attributes = std::vector<std::pair<std::string, std::string>>;  // name, value

    struct Array {
        std::vector<float> values;
        Attributes attributes;
    };

    // Reads path (a name libmysofa opens; a /proc/self/fd name reaches an open file) within
    // seconds. Any thread; the child does nothing but read and report.
    static SofaFileRead Of(const std::string& path, double seconds);

    // The value of an attribute, or "" when there is none.
    static std::string Attribute(const Attributes& attributes, const std::string& name);

    unsigned I = 0, C = 0, R = 0, E = 0, N = 0, M = 0;
    Attributes attributes;  // the file's own
    Array listenerPosition, receiverPosition, sourcePosition, emitterPosition, listenerUp,
        listenerView, dataIr, dataSamplingRate, dataDelay;
};

// What SofaFileContents::Of found.
struct SofaFileRead {
    std::optional<SofaFileContents> contents;  // none when not read
    int error = 0;        // libmysofa's error code when it refused the file (MYSOFA_OK: none)
    std::string failure;  // when libmysofa never finished: why, in words
};
