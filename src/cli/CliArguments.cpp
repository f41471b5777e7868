#include "cli/CliArguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>

#include "formats/CSoundFile.h"

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

template <typename T>
bool ParseNumber(const std::string& text, T& value) {
    const std::string trimmed = Trim(text);
    const char* begin = trimmed.data();
    const char* end = begin + trimmed.size();
    if (begin != end && *begin == '+') {
        ++begin;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && begin != end;
}

// One "pos:pan" (or "pos,pan") pair.
bool ParsePoint(const std::string& text, char separator, PanChunkPoint& point, std::string& error) {
    const size_t at = text.find(separator);
    int32_t pan = 0;
    if (at == std::string::npos || !ParseNumber(text.substr(0, at), point.position) ||
        !ParseNumber(text.substr(at + 1), pan)) {
        error = "not a point (position" + std::string(1, separator) + "pan): '" + Trim(text) + "'";
        return false;
    }
    if (pan < -90 || pan > 90) {
        error = "pan " + std::to_string(pan) + " lies outside -90 ... 90 degrees";
        return false;
    }
    point.pan = pan;
    return true;
}

}  // namespace

CliArguments::CliArguments(const std::vector<std::string>& words,
                           const std::vector<std::string>& valueOptions,
                           const std::vector<std::string>& flags) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool bLong = word.size() > 2 && word.rfind("--", 0) == 0;
        const bool bShort = word.size() == 2 && word[0] == '-' && word[1] != '-';
        if (bLong || bShort) {
            if (Contains(flags, word)) {
                m_flags.push_back(word);
            } else if (!Contains(valueOptions, word)) {
                m_error = "unknown option " + word;
                return;
            } else if (i + 1 == words.size()) {
                m_error = word + " needs a value";
                return;
            } else if (m_options.count(word) != 0) {
                m_error = word + " given twice";
                return;
            } else {
                m_options[word] = words[++i];
            }
        } else {
            m_positional.push_back(word);
        }
    }
}

std::optional<std::string> CliArguments::Option(const std::string& name) const {
    const auto found = m_options.find(name);
    if (found == m_options.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool CliArguments::Flag(const std::string& name) const {
    return Contains(m_flags, name);
}

std::optional<std::vector<PanChunkPoint>> CliArguments::ParsePoints(const std::string& text,
                                                                    std::string& error) {
    std::vector<PanChunkPoint> points;
    if (Trim(text).empty()) {
        return points;
    }
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        PanChunkPoint point{};
        if (!ParsePoint(text.substr(start, comma - start), ':', point, error)) {
            return std::nullopt;
        }
        points.push_back(point);
        if (comma == std::string::npos) {
            return points;
        }
        start = comma + 1;
    }
}

std::optional<std::vector<PanChunkPoint>> CliArguments::ParsePointsFile(const std::string& path,
                                                                        std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the points file " + path;
        return std::nullopt;
    }
    std::vector<PanChunkPoint> points;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = Trim(line);
        if (text.empty() || text[0] == '#' || std::isalpha(static_cast<unsigned char>(text[0]))) {
            continue;
        }
        PanChunkPoint point{};
        const char separator = text.find(',') != std::string::npos ? ',' : ':';
        if (!ParsePoint(text, separator, point, error)) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return std::nullopt;
        }
        points.push_back(point);
    }
    return points;
}

std::optional<int> CliArguments::ParseType(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower == "wav" || lower == "wave") {
        return kSoundTypeWave;
    }
    if (lower == "aiff" || lower == "aif") {
        return kSoundTypeAiff;
    }
    return std::nullopt;
}
