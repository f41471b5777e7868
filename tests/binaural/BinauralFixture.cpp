#include "BinauralFixture.h"
#include "deliver/BinauralExportCommand.h"
#include "document/DocumentOpen.h"

#include "binaural/TrevantBinauralRenderer.h"
#include "support/SoxTools.h"

BinauralFixture::BinauralFixture() {
    host.rendererFactory = [this] {
        return std::make_unique<TrevantBinauralRenderer>(hrtfName, 0);
    };
}

TestSound BinauralFixture::Noise(uint32_t rate, uint32_t frames, double amplitude,
                                 std::vector<PanChunkPoint> points) {
    TestSound sound;
    sound.format = MakeFormat(1, rate, 16);
    sound.samples = MakeNoise16(frames, amplitude, rate);
    sound.points = std::move(points);
    sound.chunkFrames = frames;
    return sound;
}

std::unique_ptr<CTesselDoc> BinauralFixture::Open(const TestSound& sound, const std::string& name) {
    auto doc = OpenTestDocument(host, dir.File(name), sound);
    host.prompts.Clear();
    return doc;
}

bool BinauralFixture::Export(CTesselDoc& doc, const std::string& out, int filterIndex) {
    host.saveNames.push_back(TestDocumentHost::Name(out, filterIndex));
    return BinauralExportCommand(doc).Run();
}

StereoSamples BinauralFixture::ExportAndRead(const TestSound& sound, const std::string& name) {
    auto doc = Open(sound);
    StereoSamples samples;
    const std::string out = dir.File(name);
    EXPECT_TRUE(Export(*doc, out)) << testing::PrintToString(host.prompts.Texts());
    EXPECT_TRUE(ReadStereo16(out, &samples)) << out;
    return samples;
}

StereoSamples BinauralFixture::ExportPlaces(const TestSound& sound,
                                            const std::vector<PanPoint>& places,
                                            const std::string& name) {
    auto doc = Open(sound, name + "-in.wav");
    doc->BeginGroup(UndoKind::Replace);
    while (const PanPoint* first = doc->NextPoint(nullptr)) {
        doc->RemovePoint(first);
    }
    for (const PanPoint& place : places) {
        doc->AddPoint(place);
    }
    doc->EndGroup();
    StereoSamples samples;
    const std::string out = dir.File(name);
    EXPECT_TRUE(Export(*doc, out)) << testing::PrintToString(host.prompts.Texts());
    EXPECT_TRUE(ReadStereo16(out, &samples)) << out;
    return samples;
}

bool BinauralFixture::SoxReads(const std::string& path) {
    return SoxTools::Command("sox " + SoxTools::Quote(path) + " -n stat").status == 0;
}
