#include "document/SaveAsNameCheck.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

#include "platform/PathNames.h"

namespace {

constexpr const char* kCaption = "Save As...";

bool IsUpper(char c) {
    return std::isupper(static_cast<unsigned char>(c)) != 0;
}
bool IsLower(char c) {
    return std::islower(static_cast<unsigned char>(c)) != 0;
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

SaveAsNameCheck::SaveAsNameCheck(UserPrompts& prompts, IsOpenQuery isOpen)
    : m_prompts(prompts), m_isOpen(std::move(isOpen)) {}

void SaveAsNameCheck::SetOwnDocument(const std::string& fullPath) {
    m_bOwnDocument = true;
    m_ownDocumentPath = fullPath;
}

void SaveAsNameCheck::ClearOwnDocument() {
    m_bOwnDocument = false;
    m_ownDocumentPath.clear();
}

SaveAsNameCheck::Outcome SaveAsNameCheck::CheckOnAccept(const std::string& enteredPath,
                                                        int fileType) const {
    Outcome outcome;
    const size_t nameStart = PathNames::NameStart(enteredPath);
    const std::string folder = enteredPath.substr(0, nameStart);
    std::string name = enteredPath.substr(nameStart);
    std::string extension;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
        extension = name.substr(dot + 1);
        name.erase(dot);
    }
    if (extension.empty()) {
        extension = fileType == kAiffType ? "aif" : "wav";
    }
    if (name.empty() && dot == std::string::npos) {
        // Nothing typed: there is no file to name, so there is nothing to ask about either.
        return outcome;
    }
    outcome.title = name + "." + extension;
    outcome.fullPath = folder + outcome.title;

    UserPrompts::Box box;
    box.caption = kCaption;
    box.icon = UserPrompts::Icon::Exclamation;
    const bool ownPath = m_bOwnDocument && outcome.fullPath == m_ownDocumentPath;
    if (m_isOpen && m_isOpen(outcome.fullPath) && !ownPath) {
        box.text = outcome.fullPath +
                   "\nThis file is currently open.\n\nPlease choose a different file name.";
        box.buttons = UserPrompts::Buttons::Ok;
        m_prompts.ShowMessage(box);
        return outcome;
    }
    if (FileExists(outcome.fullPath)) {
        box.text = outcome.fullPath + "\nThis file already exists.\n\nReplace existing file?";
        box.buttons = UserPrompts::Buttons::YesNo;
        box.defaultAnswer = UserPrompts::Answer::No;
        if (m_prompts.ShowMessage(box) != UserPrompts::Answer::Yes) {
            return outcome;
        }
    }
    outcome.accepted = true;
    return outcome;
}

std::optional<std::string> SaveAsNameCheck::NameForFileType(
    const std::vector<std::string>& patterns, int index, const std::string& nameBox) {
    if (index <= 0 || static_cast<size_t>(index) > patterns.size()) {
        return std::nullopt;
    }
    const std::string& pattern = patterns[static_cast<size_t>(index) - 1];
    if (pattern.empty()) {
        return std::nullopt;
    }
    std::string name = nameBox;
    std::string typed;
    const size_t dot = name.rfind('.');
    // A dot in a folder of a typed path is not the start of an extension.
    if (dot != std::string::npos && dot >= PathNames::NameStart(name)) {
        typed = name.substr(dot + 1);
        name.erase(dot);
    }
    if (nameBox.empty()) {
        name = "*";
    }
    // The type's extension in the letter case of the one typed: upper-case only where the
    // user wrote it so, lower-case otherwise.
    const bool bUpper = std::any_of(typed.begin(), typed.end(), IsUpper) &&
                        std::none_of(typed.begin(), typed.end(), IsLower);
    std::string extension = pattern.substr(1, pattern.find(';') - 1);
    for (char& c : extension) {
        c = static_cast<char>(bUpper ? std::toupper(static_cast<unsigned char>(c))
                                     : std::tolower(static_cast<unsigned char>(c)));
    }
    return name + extension;
}
