// Reading SOFA files: what a set holds, read the same from spherical and Cartesian positions,
// and every file that cannot serve refused with its reason and its name (a FIFO without
// waiting for it).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "SofaTestSets.h"
#include "sofa/SofaHrtfSet.h"
#include "support/TempDir.h"

namespace {

using Refusal = SofaHrtfSet::Refusal;

TEST(SofaHrtfSet, ReadsTheDefaultAndItsOwnSetsAsTheFilesHoldThem) {
    const SofaHrtfSet::Loaded kemar = SofaHrtfSet::Load(SofaSetPath("default"));
    ASSERT_NE(kemar.set, nullptr) << kemar.message;
    EXPECT_EQ(kemar.set->Size(), 710u);
    EXPECT_EQ(kemar.set->SampleRate(), 44100u);
    EXPECT_EQ(kemar.set->Taps(), 512u);

    // The same directions and responses, whether the file gives angles or x, y and z.
    const SofaHrtfSet::Loaded angles = SofaHrtfSet::Load(SofaSetPath("grid-48000"));
    const SofaHrtfSet::Loaded points = SofaHrtfSet::Load(SofaSetPath("cartesian-48000"));
    ASSERT_NE(angles.set, nullptr) << angles.message;
    ASSERT_NE(points.set, nullptr) << points.message;
    ASSERT_EQ(angles.set->Size(), 122u);
    ASSERT_EQ(points.set->Size(), angles.set->Size());
    const SofaHrtfSet& set = *angles.set;
    size_t toTheLeft = set.Size();
    for (size_t m = 0; m < set.Size(); ++m) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(points.set->At(m).direction[k], set.At(m).direction[k], 1e-6);
        }
        for (int ear = 0; ear < 2; ++ear) {
            EXPECT_TRUE(std::equal(set.Response(m, ear), set.Response(m, ear) + set.Taps(),
                                   points.set->Response(m, ear)));
        }
        if (std::abs(set.At(m).direction[1] - 1.0) < 1e-9) {
            toTheLeft = m;
        }
    }
    // SOFA's azimuth 90 is to the left, and there the left ear (receiver 0) leads and is
    // louder.
    ASSERT_LT(toTheLeft, set.Size());
    auto onset = [&](int ear) {
        const float* response = set.Response(toTheLeft, ear);
        return std::max_element(response, response + set.Taps()) - response;
    };
    EXPECT_LT(onset(0), onset(1));
    EXPECT_GT(set.Response(toTheLeft, 0)[onset(0)], 2.0f * set.Response(toTheLeft, 1)[onset(1)]);
}

TEST(SofaHrtfSet, AFileThatCannotServeIsRefusedWithItsReason) {
    TempDir dir;
    std::ofstream(dir.File("words.sofa")) << "not a SOFA file at all\n";
    const auto whole = std::filesystem::file_size(SofaSetPath("grid-48000"));
    {
        std::ifstream in(SofaSetPath("grid-48000"), std::ios::binary);
        std::vector<char> bytes(whole / 2);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(dir.File("half.sofa"), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::filesystem::create_directory(dir.File("folder.sofa"));
    // Read as a file, a FIFO would wait for a writer that never comes.
    ASSERT_EQ(::mkfifo(dir.File("fifo.sofa").c_str(), 0600), 0);

    struct Case {
        std::string path;
        Refusal refusal;
        const char* reason;  // a part of the message
    };
    const Case cases[] = {
        {dir.File("missing.sofa"), Refusal::Unreadable, "No such file"},
        {dir.File("folder.sofa"), Refusal::Unreadable, "folder"},
        {dir.File("fifo.sofa"), Refusal::Unreadable, "it is a FIFO, not a regular file"},
        {dir.File("half.sofa"), Refusal::Unreadable, "cut short"},
        {dir.File("words.sofa"), Refusal::NotSofa, "not a SOFA file"},
        {SofaSetPath("netcdf-not-sofa"), Refusal::NotSofa, "not a SOFA file"},
        {SofaSetPath("general-fir"), Refusal::NotSimpleFreeFieldHrir, "GeneralFIR"},
        {SofaSetPath("no-measurements"), Refusal::NoMeasurements, "no measurements"},
        {SofaSetPath("one-ear"), Refusal::OneEar, "one ear"},
        {SofaSetPath("rate-zero"), Refusal::UnusableRate, "0 Hz"},
        {SofaSetPath("rate-huge"), Refusal::UnusableRate, "1000000000 Hz"},
        {SofaSetPath("rate-per-measurement"), Refusal::UnusableRate, "different sampling rates"},
        {SofaSetPath("units-furlong"), Refusal::UnknownUnits,
         "its SourcePosition is in \"furlong\""},
        {SofaSetPath("units-receivers"), Refusal::UnknownUnits,
         "its ReceiverPosition is in \"banana, kelvin, parsec\""},
        {SofaSetPath("delay-1e9"), Refusal::Unreadable, "its Data.Delay of 1000000000 samples"},
        {SofaSetPath("delay-4e9"), Refusal::Unreadable, "its Data.Delay of 4000000000 samples"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const SofaHrtfSet::Loaded loaded = SofaHrtfSet::Load(c.path);
        EXPECT_EQ(loaded.set, nullptr);
        EXPECT_EQ(loaded.refusal, c.refusal);
        EXPECT_NE(loaded.message.find("\"" + c.path + "\""), std::string::npos) << loaded.message;
        EXPECT_NE(loaded.message.find(c.reason), std::string::npos) << loaded.message;
    }
}

}  // namespace
