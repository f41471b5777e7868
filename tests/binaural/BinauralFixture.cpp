#include "BinauralFixture.h"

#include <cstdio>

#include "binaural/TrevantBinauralRenderer.h"

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
    const std::string path = dir.File(name);
    WriteBytes(path, BuildSoundFile(sound));
    auto doc = std::make_unique<CTesselDoc>(host);
    EXPECT_TRUE(doc->OnOpenDocument(path));
    host.prompts.Clear();
    return doc;
}

bool BinauralFixture::Export(CTesselDoc& doc, const std::string& out, int filterIndex) {
    host.saveNames.push_back(TestDocumentHost::Name(out, filterIndex));
    return doc.ExportBinauralFile();
}

StereoSamples BinauralFixture::ExportAndRead(const TestSound& sound, const std::string& name) {
    auto doc = Open(sound);
    StereoSamples samples;
    const std::string out = dir.File(name);
    EXPECT_TRUE(Export(*doc, out)) << testing::PrintToString(host.prompts.Texts());
    EXPECT_TRUE(ReadStereo16(out, &samples)) << out;
    return samples;
}

std::string BinauralFixture::SoxDescription(const std::string& path) {
    std::string out;
    for (const char* option : {"-c", "-r", "-b", "-s"}) {
        const std::string command = std::string("soxi ") + option + " '" + path + "' 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        char line[64] = {};
        if (pipe == nullptr || std::fgets(line, sizeof line, pipe) == nullptr) {
            line[0] = '?';
        }
        if (pipe != nullptr) {
            pclose(pipe);
        }
        std::string word(line);
        word.erase(word.find_last_not_of(" \n") + 1);
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

bool BinauralFixture::SoxReads(const std::string& path) {
    const std::string command = "sox '" + path + "' -n stat 2>/dev/null";
    return std::system(command.c_str()) == 0;
}
