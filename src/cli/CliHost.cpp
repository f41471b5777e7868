#include "cli/CliHost.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "document/CTesselDoc.h"
#include "document/DocumentSave.h"
#include "document/SaveAsNameCheck.h"
#include "formats/CSoundFile.h"
#include "platform/FileIdentity.h"

namespace {

// The replace question is answered by naming the output on the command line.
class ReplaceAllowed : public UserPrompts {
  public:
    explicit ReplaceAllowed(UserPrompts& inner) : m_inner(inner) {}
    Answer ShowMessage(const Box& box) override {
        return box.buttons == Buttons::YesNo ? Answer::Yes : m_inner.ShowMessage(box);
    }
    void OpenProcessingWindow() override {}
    void SetProcessingText(const std::string&) override {}
    void CloseProcessingWindow() override {}

  private:
    UserPrompts& m_inner;
};

int TypeFromExtension(const std::string& path, int fallback) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (ext == ".aif" || ext == ".aiff") {
        return kSoundTypeAiff;
    }
    if (ext == ".wav") {
        return kSoundTypeWave;
    }
    return fallback;
}

}  // namespace

bool CliHost::SaveDocument(CTesselDoc& document, bool bSaveAs) {
    DocumentSave save(document);
    if (!bSaveAs) {
        return save.Save();
    }
    SaveNameResult chosen;
    return TakeTarget(SoundTypeId(document.GetFileType()), document.GetPathName(), chosen) &&
           save.SaveAsChosen(chosen);
}

bool CliHost::IsDocumentOpen(const std::string& fullPath) const {
    const auto isThat = [&](const std::string& used) {
        return !used.empty() && (fullPath == used || FileIdentity::IsSameFile(fullPath, used));
    };
    return isThat(m_openDocument) || std::any_of(m_filesInUse.begin(), m_filesInUse.end(), isThat);
}

bool CliHost::AskSaveName(const SaveNameRequest& request, SaveNameResult& result) {
    return TakeTarget(request.filterIndex - 1, request.bOwnDocument ? request.ownDocumentPath : "",
                      result);
}

bool CliHost::TakeTarget(int fallbackType, const std::string& ownDocument, SaveNameResult& result) {
    if (!m_target) {
        std::fprintf(stderr,
                     "sonomap-cli: the file cannot be saved in place; name another "
                     "with --save-as OUT\n");
        return false;
    }
    const std::string full = std::filesystem::absolute(m_target->path).lexically_normal().string();
    const int typeId = m_target->typeId.value_or(TypeFromExtension(full, fallbackType));
    ReplaceAllowed prompts(m_prompts);
    SaveAsNameCheck check(prompts,
                          [this](const std::string& path) { return IsDocumentOpen(path); });
    if (!ownDocument.empty()) {
        check.SetOwnDocument(ownDocument);
    }
    const SaveAsNameCheck::Outcome outcome = check.CheckOnAccept(full, typeId + 1);
    if (!outcome.accepted) {
        return false;
    }
    result.fullPath = outcome.fullPath;
    result.title = outcome.title;
    result.filterIndex = typeId + 1;
    return true;
}
