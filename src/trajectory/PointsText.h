#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "trajectory/PanPoint.h"

// The trajectory as text, the command line's and the batch manifests' codec of points:
// "frame:azimuth[:elevation[:distance[:width]]],..." in frames, whole degrees and metres
// ("frame:pan" is a frontal azimuth). Every value is checked against its range, and a problem
// is named in words.
class PointsText {
  public:
    // An empty text is no points. None with error naming the point or value at fault.
    static std::optional<std::vector<PanPoint>> Parse(const std::string& text, std::string& error);
    // One point a line, the same columns separated by commas (or colons); empty lines and lines
    // starting with '#' or a letter (a heading) are skipped. Errors name the file and line. The
    // file is read only when it is a regular file of at most kLargestFile bytes.
    static constexpr uint64_t kLargestFile = 16u << 20;
    static std::optional<std::vector<PanPoint>> ParseFile(const std::string& path,
                                                          std::string& error);
    // One point as Parse reads it back, the values that are not their defaults written out.
    static std::string Format(const PanPoint& point);
};
