// Cancel and a full disk during a binaural export: no file is left, and a file of the same
// name keeps its bytes.
#include <gtest/gtest.h>

#include <filesystem>

#include "BinauralFixture.h"
#include "support/FileSizeLimit.h"

namespace fs = std::filesystem;

namespace {

using BinauralSafety = BinauralFixture;

}  // namespace

TEST_F(BinauralSafety, CancelLeavesNoFileAndKeepsAnOlderOne) {
    auto doc = Open(Noise(44100, 44100, 0.3, {{0, -30}, {44099, 30}}));
    const std::string fresh = dir.File("fresh.wav");
    const std::string older = dir.File("older.wav");
    WriteBytes(older, {'o', 'l', 'd'});
    const size_t files = FilesIn(dir.Path());

    host.prompts.ScriptCancelAt(1);
    EXPECT_FALSE(Export(*doc, fresh));
    EXPECT_FALSE(fs::exists(fresh));
    host.prompts.Clear();
    host.prompts.ScriptCancelAt(2);
    EXPECT_FALSE(Export(*doc, older));
    EXPECT_EQ(ReadBytes(older), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(FilesIn(dir.Path()), files);
    EXPECT_TRUE(host.prompts.Boxes().empty());
}

TEST_F(BinauralSafety, AFullDiskLeavesNoFileAndKeepsAnOlderOne) {
    auto doc = Open(Noise(44100, 44100, 0.3, {{0, 45}}));
    const std::string fresh = dir.File("fresh.aif");
    const std::string older = dir.File("older.wav");
    WriteBytes(older, {'o', 'l', 'd'});
    const size_t files = FilesIn(dir.Path());
    {
        // The output would be 176 kB; the disk takes 64 kB.
        const FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(Export(*doc, fresh, 2));
        EXPECT_FALSE(Export(*doc, older, 1));
    }
    EXPECT_EQ(host.prompts.Texts(),
              (std::vector<std::string>{"Error writing wave data!", "Error writing wave data!"}));
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(ReadBytes(older), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(FilesIn(dir.Path()), files);
}
