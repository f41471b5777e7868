// Feeds arbitrary bytes as the "ach3" chunk of a small WAV file through the open a user's file
// takes, beside an "achk" chunk made to match the points the bytes hold (or a plain one when
// they hold none), so the reading gets past its checks. What opens saves and opens again to
// the very same trajectory; nothing else may happen.
#include "FuzzFile.h"
#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "document/DocumentOpen.h"
#include "document/DocumentSave.h"
#include "platform/UserPrompts.h"

namespace {

constexpr uint32_t kFrames = 64;

class SilentPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override { return box.defaultAnswer; }
    void OpenProcessingWindow() override {}
    void SetProcessingText(const std::string&) override {}
    void CloseProcessingWindow() override {}
};

class SilentHost : public DocumentHost {
  public:
    UserPrompts& OwnPrompts() override { return m_prompts; }
    bool AskSaveName(const SaveNameRequest&, SaveNameResult&) override { return false; }
    bool IsDocumentOpen(const std::string&) const override { return false; }
    PanPointList* GetPanClipboard() const override { return nullptr; }
    void SetPanClipboard(std::unique_ptr<PanPointList>) override {}
    int AskPasteMerge() override { return 0; }
    int AskPasteSize(bool) override { return 0; }
    std::string GetSaveFolder() const override { return {}; }
    void SetSaveFolder(const std::string&) override {}
    void SetOpenFolder(const std::string&) override {}
    std::string GetExportFolder() const override { return {}; }
    void SetExportFolder(const std::string&) override {}
    std::unique_ptr<BinauralRenderer> MakeBinauralRenderer() override { return nullptr; }
    bool ShowsViews() const override { return false; }

  private:
    SilentPrompts m_prompts;
};

uint32_t Le(const uint8_t* at, int bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= uint32_t{at[i]} << (8 * i);
    }
    return value;
}

// An "achk" chunk with the positions the places hold and the frontal fold of their azimuths.
std::vector<uint8_t> MatchingPanChunk(const uint8_t* data, size_t size) {
    std::vector<std::pair<uint32_t, int32_t>> points;
    if (size >= 16) {
        const size_t count = std::min<size_t>({Le(data + 4, 4), (size - 16) / 12, 65535});
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* at = data + 16 + 12 * i;
            const auto azimuth = static_cast<int16_t>(Le(at + 4, 2));
            const int32_t pan = azimuth > 90    ? 180 - azimuth
                                : azimuth < -90 ? -180 - azimuth
                                                : azimuth;
            points.emplace_back(Le(at, 4), pan);
        }
    }
    if (points.empty()) {
        points = {{0, -45}, {kFrames, 45}};
    }
    std::vector<uint8_t> chunk;
    FuzzPut(chunk, 6, 4);
    FuzzPut(chunk, static_cast<uint32_t>(points.size()), 2);
    FuzzPut(chunk, kFrames, 4);
    chunk.resize(32, 0);
    for (const auto& [position, pan] : points) {
        FuzzPut(chunk, position, 4);
        FuzzPut(chunk, static_cast<uint32_t>(pan), 2);
    }
    return chunk;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzDiskFile input("in.wav");
    static const std::string output = input.folder + "/out.wav";
    std::vector<uint8_t> middle;
    const std::vector<uint8_t> pan = MatchingPanChunk(data, size);
    FuzzChunk(middle, "achk", pan.data(), pan.size());
    FuzzChunk(middle, "ach3", data, size);
    input.Fill(FuzzWave(1, 22050, kFrames, middle));

    SilentHost host;
    CTesselDoc doc(host);
    if (!DocumentOpen(doc).Open(input.path)) {
        return 0;
    }
    FuzzCheck(doc.GetFrameCount() == kFrames);
    if (!DocumentSave(doc).WriteTo(output)) {
        return 0;
    }
    CTesselDoc again(host);
    FuzzCheck(DocumentOpen(again).Open(output));
    FuzzCheck(again.GetPanPoints().Values() == doc.GetPanPoints().Values());
    return 0;
}
