#include "cli/CliArguments.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "formats/CSoundFile.h"

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

}  // namespace

CliArguments::CliArguments(const std::vector<std::string>& words,
                           const std::vector<std::string>& valueOptions,
                           const std::vector<std::string>& flags) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        const bool bLong = word.size() > 2 && word.rfind("--", 0) == 0;
        // "--name=value": the value joined on, which also lets a value begin with '-'.
        if (const size_t equals = word.find('='); bLong && equals != std::string::npos) {
            const std::string name = word.substr(0, equals);
            if (!Contains(valueOptions, name)) {
                m_error =
                    Contains(flags, name) ? name + " takes no value" : "unknown option " + name;
                return;
            }
            if (m_options.count(name) != 0) {
                m_error = name + " given twice";
                return;
            }
            m_options[name] = word.substr(equals + 1);
            continue;
        }
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

std::optional<HeadTurn> CliArguments::ParseHead(const std::string& text) {
    double angles[3] = {0.0, 0.0, 0.0};
    const char* at = text.c_str();
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && *at++ != ',') {
            return std::nullopt;
        }
        // strtod would skip leading blanks and read "inf" and hex: only a plain number counts.
        if (!(std::isdigit(static_cast<unsigned char>(*at)) || *at == '-' || *at == '+' ||
              *at == '.')) {
            return std::nullopt;
        }
        char* end = nullptr;
        angles[i] = std::strtod(at, &end);
        if (end == at || !std::isfinite(angles[i]) ||
            std::string(at, static_cast<const char*>(end)).find_first_of("xX") !=
                std::string::npos) {
            return std::nullopt;
        }
        at = end;
    }
    if (*at != '\0') {
        return std::nullopt;
    }
    return HeadTurn{angles[0], angles[1], angles[2]}.Wrapped();
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
