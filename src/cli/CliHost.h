#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliPrompts.h"
#include "document/DocumentHost.h"
#include "document/PanClipboard.h"
#include "document/PasteOptionIds.h"

// The application as the command-line tool plays it: messages on stderr, no mixer, one open
// document, and a save name given on the command line instead of a dialog.
class CliHost : public DocumentHost {
  public:
    struct SaveTarget {
        std::string path;
        std::optional<int> typeId;  // from --type; none: follow the name's extension
    };

    // The name Save As will take; without one, Save As reports that a name is needed.
    void SetSaveTarget(std::optional<SaveTarget> target) { m_target = std::move(target); }
    void SetOpenDocument(const std::string& fullPath) { m_openDocument = fullPath; }
    // Where the binaural export gets its mixer; without one it has none.
    using RendererFactory = std::function<std::unique_ptr<BinauralRenderer>()>;
    void SetRendererFactory(RendererFactory factory) { m_rendererFactory = std::move(factory); }
    std::unique_ptr<BinauralRenderer> MakeBinauralRenderer() override {
        return m_rendererFactory ? m_rendererFactory() : nullptr;
    }
    CliPrompts& GetPrompts() { return m_prompts; }

    UserPrompts& Prompts() override { return m_prompts; }
    bool AskSaveName(const SaveNameRequest& request, SaveNameResult& result) override;
    bool IsDocumentOpen(const std::string& fullPath) const override {
        return !m_openDocument.empty() && fullPath == m_openDocument;
    }
    void OpenMixerSession(uint32_t) override {}
    AmbrelWaveMixSession GetMixerSession() const override { return 0; }
    void ReportMixerError(int) override {}
    AmbrelWaveMixWave MixerOpenWave(AmbrelWaveMixSession, const MixerWaveSource&) override {
        return 0;
    }
    int MixerGetLastError() override { return AMBREL_WAVEMIX_ERR_NO_DEVICE; }
    int MixerFreeWave(AmbrelWaveMixSession, AmbrelWaveMixWave) override { return 0; }
    int MixerStopChannel(AmbrelWaveMixSession, uint32_t) override { return 0; }
    CTesselDoc* GetPlayingDocument() const override { return nullptr; }
    void ClearPlaying() override {}
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

  private:
    CliPrompts m_prompts;
    std::optional<SaveTarget> m_target;
    std::string m_openDocument;
    RendererFactory m_rendererFactory;
    std::string m_saveFolder;
    std::unique_ptr<PanClipboard> m_pPanClipboard;
    std::string m_exportFolder;
};
