#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliPrompts.h"
#include "deliver/BinauralRenderer.h"
#include "document/DocumentHost.h"
#include "document/PanClipboard.h"
#include "document/PasteOptionIds.h"

// The application as the command-line tool plays it: messages on stderr, one open document,
// and a save name given on the command line instead of a dialog.
class CliHost : public DocumentHost {
  public:
    struct SaveTarget {
        std::string path;
        std::optional<int> typeId;  // from --type; none: follow the name's extension
    };

    // The name Save As will take; without one, Save As reports that a name is needed.
    void SetSaveTarget(std::optional<SaveTarget> target) { m_target = std::move(target); }
    void SetOpenDocument(const std::string& fullPath) { m_openDocument = fullPath; }
    // Files that count as open beside the document: a batch's other inputs.
    void SetFilesInUse(std::vector<std::string> paths) { m_filesInUse = std::move(paths); }
    // Where the binaural export gets its mixer; without one it has none.
    using RendererFactory = std::function<std::unique_ptr<BinauralRenderer>()>;
    void SetRendererFactory(RendererFactory factory) { m_rendererFactory = std::move(factory); }
    std::unique_ptr<BinauralRenderer> MakeBinauralRenderer() override {
        return m_rendererFactory ? m_rendererFactory() : nullptr;
    }
    CliPrompts& GetPrompts() { return m_prompts; }

    // The name the command line gave, checked as the save dialog checks a name (a file of
    // that name is replaced; an open document's is refused unless it is ownDocument's own).
    // Without one, says that a name is needed. False when there is no name to use.
    bool TakeTarget(int fallbackType, const std::string& ownDocument, SaveNameResult& result);
    // Save (to the document's own file, or Save As when it cannot be written) or Save As, to
    // the name given on the command line. False when it failed (shown).
    bool SaveDocument(CTesselDoc& document, bool bSaveAs);
    // Save As, which the command line cannot ask: the name given on it, or none.
    bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override;
    // Whether fullPath is the open document's file or one in use, by whatever name or link it
    // is reached.
    bool IsDocumentOpen(const std::string& fullPath) const override;
    // The clipboard is held as the editor holds it; nobody is there to answer the paste
    // questions, so a paste that would ask is cancelled.
    PanPointList* GetPanClipboard() const override { return m_pPanClipboard.get(); }
    void SetPanClipboard(std::unique_ptr<PanPointList> clipboard) override {
        m_pPanClipboard.reset();
        m_pPanClipboard = std::move(clipboard);
    }
    int AskPasteMerge() override { return kPasteCancel; }
    int AskPasteSize(bool) override { return kPasteCancel; }
    std::string GetSaveFolder() const override { return m_saveFolder; }
    void SetSaveFolder(const std::string& folder) override { m_saveFolder = folder; }
    void SetOpenFolder(const std::string&) override {}
    std::string GetExportFolder() const override { return m_exportFolder; }
    void SetExportFolder(const std::string& folder) override { m_exportFolder = folder; }
    bool ShowsViews() const override { return false; }

    // What the last export measured of the file it wrote.
    struct Measured {
        std::string path;
        double lufs = 0;
        double truePeak = 0;
    };
    void ExportMeasured(const std::string& path, double lufs, double truePeak) override {
        m_measured = Measured{path, lufs, truePeak};
    }
    const std::optional<Measured>& GetMeasured() const { return m_measured; }

  protected:
    UserPrompts& OwnPrompts() override { return m_prompts; }

  private:
    CliPrompts m_prompts;
    std::optional<SaveTarget> m_target;
    std::string m_openDocument;
    std::vector<std::string> m_filesInUse;
    RendererFactory m_rendererFactory;
    std::string m_saveFolder;
    std::unique_ptr<PanClipboard> m_pPanClipboard;
    std::string m_exportFolder;
    std::optional<Measured> m_measured;
};
