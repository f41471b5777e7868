#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "geometry/HeadTurn.h"

// The words after the command: positional arguments and "--name value", "--name=value" (or
// "-n value") options. Problems are usage errors, kept as text for the caller to print.
class CliArguments {
  public:
    // valueOptions: the options that take a value; flags: those that do not.
    CliArguments(const std::vector<std::string>& words,
                 const std::vector<std::string>& valueOptions,
                 const std::vector<std::string>& flags);

    bool IsValid() const { return m_error.empty(); }
    const std::string& GetError() const { return m_error; }
    const std::vector<std::string>& Positional() const { return m_positional; }
    std::optional<std::string> Option(const std::string& name) const;
    bool Flag(const std::string& name) const;

    // "wav" or "aiff" (also "aif"), any case: the type id. None otherwise.
    static std::optional<int> ParseType(const std::string& text);
    // "YAW,PITCH,ROLL": three finite numbers of degrees, each wrapped into -180 .. 180. None
    // for anything else.
    static std::optional<HeadTurn> ParseHead(const std::string& text);

  private:
    std::vector<std::string> m_positional;
    std::map<std::string, std::string> m_options;
    std::vector<std::string> m_flags;
    std::string m_error;
};
