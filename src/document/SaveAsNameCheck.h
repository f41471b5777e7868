#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"

// The checks a save-as dialog runs on the name the user accepts: the default extension of the
// chosen file type, the refusal of a name that belongs to an open document, and the question
// before an existing file is replaced. Plain code, so the dialog, the command-line tool and the
// tests share it. Paths are file-system paths with "/" as the separator; nothing is written.
class SaveAsNameCheck {
  public:
    // Answers whether a document with this full path is open in the program.
    using IsOpenQuery = std::function<bool(const std::string& fullPath)>;

    // File types, numbered from 1 as the dialog's filter list is.
    static constexpr int kWaveType = 1;
    static constexpr int kAiffType = 2;

    struct Outcome {
        bool accepted = false;
        std::string fullPath;  // folder + name + "." + extension
        std::string title;     // name + "." + extension: goes into the dialog's name box
    };

    SaveAsNameCheck(UserPrompts& prompts, IsOpenQuery isOpen);

    // Set by a document's own Save As: its own path may be chosen again (and then replaced).
    void SetOwnDocument(const std::string& fullPath);
    void ClearOwnDocument();

    // Runs the checks on the entered path with the selected file type. Boxes go through the
    // prompts; a refused name leaves the dialog open. An empty name is refused without a box.
    Outcome CheckOnAccept(const std::string& enteredPath, int fileType) const;

    // The name box after the user picks file type index (from 1): the current name without its
    // extension ("*" for an empty box) plus the extension of that type's pattern, the part
    // after "*" and before the first ";", in lower case unless the extension in the box is
    // upper case. None for index 0 or a type with no pattern.
    static std::optional<std::string> NameForFileType(const std::vector<std::string>& patterns,
                                                      int index, const std::string& nameBox);

  private:
    UserPrompts& m_prompts;
    IsOpenQuery m_isOpen;
    bool m_bOwnDocument = false;
    std::string m_ownDocumentPath;
};
