// A loudness target chosen in an export's dialog: every export measures a first render, then
// writes the file turned to the target; a silent sound, a peak that would pass -1 dBTP and a
// failing first render are refused with their message, and nothing is left beside the output.
#include "deliver/LoudnessTarget.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "deliver/AdmExportCommand.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "sofa/SofaHrtfSet.h"
#include "support/DocumentTestFiles.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

namespace {

// Keeps what the exports measured of the files they put in place.
class MeasuringHost : public TestDocumentHost {
  public:
    struct Measure {
        std::string path;
        double lufs;
        double truePeak;
    };
    void ExportMeasured(const std::string& path, double lufs, double truePeak) override {
        measured.push_back({path, lufs, truePeak});
    }
    std::vector<Measure> measured;
};

using ExportDialog = std::function<bool(const CTesselDoc&)>;

}  // namespace

TEST(LoudnessTarget, EachExportDialogTurnsItsFileToTheTargetOrRefusesWithTheReason) {
    const ExportDialog stereo = [](const CTesselDoc& d) { return StereoExportCommand(d).Run(); };
    const ExportDialog ambix = [](const CTesselDoc& d) { return AmbisonicsExportCommand(d).Run(); };
    const ExportDialog speakers = [](const CTesselDoc& d) {
        return LoudspeakerExportCommand(d).Run();
    };
    const ExportDialog adm = [](const CTesselDoc& d) { return AdmExportCommand(d).Run(); };
    const ExportDialog binaural = [](const CTesselDoc& d) {
        return BinauralExportCommand(d).Run();
    };
    const struct {
        const char* name;
        ExportDialog run;
        std::vector<int> choices;  // the dialog's lists, the loudness last
        double typed;              // the value beside "Other:"
        double amplitude;          // of the noise; 0 is silence
        bool bPoints;
        double target;        // NAN: none asked
        std::string refusal;  // the start of the one message shown, or "" when written
    } cases[] = {
        {"stereo at -23", stereo, {2, 1}, 0, 3000, true, -23.0, ""},
        {"stereo, none", stereo, {0, 0}, 0, 9000, true, NAN, ""},
        {"ambix at a typed -30.5", ambix, {0, 2, 0, 5}, -30.5, 3000, true, -30.5, ""},
        {"5.1 at -24", speakers, {1, 2, 0, 2}, 0, 3000, true, -24.0, ""},
        {"adm at -16", adm, {0, 3}, 0, 1000, true, -16.0, ""},
        {"binaural at -23", binaural, {1, 1}, 0, 3000, true, -23.0, ""},
        {"silence", stereo, {3, 1}, 0, 0, true, -23.0, ": it is silent"},
        {"a peak past -1 dBTP",
         ambix,
         {0, 2, 0, 5},
         0.0,
         3000,
         true,
         0.0,
         ": at 0.0 LUFS its true peak would be"},
        {"no points", speakers, {1, 1, 0, 1}, 0, 3000, false, -23.0, "No Pan Events to track!"},
    };
    const std::shared_ptr<SofaSetChoice> sofa = SofaSetChoice::Load(SofaHrtfSet::DefaultPath());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        MeasuringHost host;
        host.rendererFactory = [sofa] { return std::make_unique<SofaExportRenderer>(sofa); };
        TestSound sound = FirstChannelNoise(1, 22050, 22050, c.amplitude, 5);
        if (!c.bPoints) {
            sound.points.clear();
        }
        const std::unique_ptr<CTesselDoc> doc = MemoryDocument(host, sound);
        const std::string path = dir.File("out.wav");
        SaveNameResult answer = TestDocumentHost::Name(path, 1);
        answer.choices = c.choices;
        answer.numbers.assign(c.choices.size(), c.typed);
        host.saveNames.push_back(answer);

        const bool bWritten = c.run(*doc);

        ASSERT_EQ(host.saveRequests.size(), 1u);
        EXPECT_EQ(host.saveRequests[0].choices.back().label, "Loudness:");
        // Nothing of the measuring render is left beside the output.
        size_t files = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            ++files;
        }
        EXPECT_EQ(files, bWritten ? 1u : 0u);
        if (!c.refusal.empty()) {
            EXPECT_FALSE(bWritten);
            ASSERT_EQ(host.prompts.Texts().size(), 1u);
            EXPECT_NE(host.prompts.Texts()[0].find(c.refusal), std::string::npos)
                << host.prompts.Texts()[0];
            EXPECT_TRUE(host.measured.empty());
            EXPECT_TRUE(host.prompts.StatusTexts().empty());
            continue;
        }
        ASSERT_TRUE(bWritten) << testing::PrintToString(host.prompts.Texts());
        // Only the file that counts is announced: its status line and its measure.
        ASSERT_EQ(host.measured.size(), 1u);
        EXPECT_EQ(host.measured[0].path, path);
        ASSERT_EQ(host.prompts.StatusTexts().size(), 1u);
        EXPECT_NE(host.prompts.StatusTexts()[0].find("out.wav"), std::string::npos);
        if (std::isnan(c.target)) {
            EXPECT_GT(std::abs(host.measured[0].lufs + 23.0), 1.0);
        } else {
            EXPECT_NEAR(host.measured[0].lufs, c.target, 0.05);
            EXPECT_LE(host.measured[0].truePeak, LoudnessTarget::kPeakLimit);
        }
    }
}

TEST(LoudnessTarget, ParsesALoudnessWithinItsRangeOnly) {
    const struct {
        const char* text;
        std::optional<double> value;
    } cases[] = {{"-23", -23.0}, {"-16.5", -16.5}, {"0", 0.0},   {"-70", -70.0},
                 {"-70.1", {}},  {"1", {}},        {"-23 ", {}}, {"", {}},
                 {"nan", {}},    {"-inf", {}},     {"LUFS", {}}, {"-2e1", -20.0}};
    for (const auto& c : cases) {
        EXPECT_EQ(LoudnessTarget::Parse(c.text), c.value) << c.text;
    }
}
