#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "deliver/BinauralRenderer.h"
#include "document/DocumentHost.h"
#include "document/PanClipboard.h"
#include "document/PasteOptionIds.h"
#include "support/ScriptedPrompts.h"

// A host for documents under test: scripted prompts and save names, the clipboard and its
// questions, the folders.
class TestDocumentHost : public DocumentHost {
  public:
    ScriptedPrompts prompts;
    // Answers for the save dialog in order; nullopt means Cancel.
    std::deque<std::optional<SaveNameResult>> saveNames;
    std::vector<SaveNameRequest> saveRequests;
    std::vector<std::string> openDocuments;

    std::string saveFolder, openFolder;
    // The program's clipboard; the Paste Options answers in order (button ids, Cancel once
    // used up) and the size questions asked (true: the caret variant).
    std::unique_ptr<PanClipboard> panClipboard;
    std::deque<int> pasteMergeAnswers, pasteSizeAnswers;
    int pasteMergeQuestions = 0;
    std::vector<bool> pasteSizeQuestions;

    UserPrompts& OwnPrompts() override { return prompts; }
    bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override {
        saveRequests.push_back(request);
        if (saveNames.empty() || !saveNames.front()) {
            if (!saveNames.empty()) {
                saveNames.pop_front();
            }
            return false;
        }
        result = *saveNames.front();
        saveNames.pop_front();
        return true;
    }
    bool IsDocumentOpen(const std::string& fullPath) const override {
        for (const std::string& open : openDocuments) {
            if (open == fullPath) {
                return true;
            }
        }
        return false;
    }
    PanPointList* GetPanClipboard() const override { return panClipboard.get(); }
    void SetPanClipboard(std::unique_ptr<PanPointList> clipboard) override {
        panClipboard.reset();
        panClipboard = std::move(clipboard);
    }
    int AskPasteMerge() override {
        ++pasteMergeQuestions;
        return NextAnswer(pasteMergeAnswers);
    }
    int AskPasteSize(bool caretVariant) override {
        pasteSizeQuestions.push_back(caretVariant);
        return NextAnswer(pasteSizeAnswers);
    }
    std::string GetSaveFolder() const override { return saveFolder; }
    void SetSaveFolder(const std::string& folder) override { saveFolder = folder; }
    void SetOpenFolder(const std::string& folder) override { openFolder = folder; }

    static int NextAnswer(std::deque<int>& answers) {
        if (answers.empty()) {
            return kPasteCancel;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::string exportFolder;
    std::string GetExportFolder() const override { return exportFolder; }
    void SetExportFolder(const std::string& folder) override { exportFolder = folder; }
    bool showsViews = true;
    bool ShowsViews() const override { return showsViews; }
    bool offersImport = false;
    bool OffersImport() const override { return offersImport; }
    // The binaural export's mixer; none until a test gives one.
    std::function<std::unique_ptr<BinauralRenderer>()> rendererFactory;
    std::unique_ptr<BinauralRenderer> MakeBinauralRenderer() override {
        return rendererFactory ? rendererFactory() : nullptr;
    }

    static SaveNameResult Name(const std::string& path, int filterIndex) {
        SaveNameResult result;
        result.fullPath = path;
        result.title = path.substr(path.find_last_of('/') + 1);
        result.filterIndex = filterIndex;
        return result;
    }
};
