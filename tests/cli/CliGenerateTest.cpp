// set-points --generate end to end: the real binary writes the shape, info reads it back, and
// the path playback walks through the points is held to the shape's own curve.
#include <gtest/gtest.h>

#include <filesystem>

#include <nlohmann/json.hpp>

#include "CliRun.h"
#include "support/DocumentTestFiles.h"
#include "support/FileBytes.h"
#include "support/GeneratorShapes.h"
#include "support/TempDir.h"

namespace {

class CliGenerateTest : public ::testing::Test {
  protected:
    std::string WriteSound(uint32_t frames, std::vector<PanChunkPoint> points = {}) {
        TestSound sound;
        sound.format = MakeFormat(1, kShapeRate, 16);
        sound.samples = Pattern(frames * 2);
        sound.chunkFrames = frames;
        sound.points = std::move(points);
        WriteBytes(dir.File("take.wav"), BuildSoundFile(sound));
        return dir.File("take.wav");
    }
    // The trajectory of a file as info gives it.
    std::vector<PanPoint> Trajectory(const std::string& path) {
        const CliRun info = RunCli(dir, "info " + path);
        EXPECT_EQ(info.exitCode, 0) << info.err;
        std::vector<PanPoint> points;
        const nlohmann::json json = nlohmann::json::parse(info.out);
        for (const auto& entry : json["trajectory"]) {
            PanPoint point;
            point.position = entry["frame"];
            SetAzimuth(point, entry["azimuth"].get<int>());
            point.elevation = entry["elevation"];
            point.distanceCm =
                static_cast<uint32_t>(std::lround(entry["distance"].get<double>() * 100));
            point.width = entry["width"];
            points.push_back(point);
        }
        return points;
    }

    TempDir dir;
};

TEST_F(CliGenerateTest, EveryShapeStaysWithinADegreeOfItsCurveAndLeavesTheRestAlone) {
    // Points outside every span, which no shape may touch.
    const std::vector<PanChunkPoint> outside = {{1000, -30}, {13000, 77}};
    for (const ShapeCase& shape : ShapeCases()) {
        SCOPED_TRACE(shape.text);
        const std::string path = WriteSound(kShapeFrames, outside);
        const CliRun run = RunCli(dir, "set-points " + path + " --generate '" + shape.text +
                                           "' --save-as " + dir.File("out.wav"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        PanPointList list;
        size_t inside = 0;
        std::vector<PanPoint> generated;
        for (const PanPoint& point : Trajectory(dir.File("out.wav"))) {
            list.AddPoint(point);
            if (point.position >= shape.from && point.position <= shape.to) {
                ++inside;
                generated.push_back(point);
            }
        }
        EXPECT_LT(WidestSegment(generated), 90.0);
        for (const PanChunkPoint& kept : outside) {
            if (kept.position < shape.from || kept.position > shape.to) {
                EXPECT_NE(list.FindInRange(kept.position, kept.position, kept.pan, kept.pan),
                          nullptr);
            }
        }
        EXPECT_LE(inside, shape.maxPoints);
        EXPECT_GE(inside, 2u);
        bool bDistanceOff = false;
        EXPECT_LE(
            WorstStray(list, shape.from, shape.to, CurveOf(shape), shape.distanceCm, bDistanceOff),
            1.0);
        EXPECT_FALSE(bDistanceOff);
    }
}

TEST_F(CliGenerateTest, ARandomWalkIsSeededAndKeepsToItsRangeAndSpeed) {
    const std::string text = "random:seed=7,min=-120,max=150,speed=400,elevation=10";
    std::vector<std::vector<PanPoint>> runs;
    for (int pass = 0; pass < 2; ++pass) {
        const std::string path = WriteSound(kShapeFrames);
        ASSERT_EQ(RunCli(dir, "set-points " + path + " --generate '" + text + "'").exitCode, 0);
        runs.push_back(Trajectory(path));
    }
    EXPECT_EQ(runs[0], runs[1]);
    PanPointList list;
    list.AddPoints(runs[0]);
    bool bDistanceOff = false;
    EXPECT_LE(WorstStray(list, 0, kShapeFrames, WalkOf(text), 100, bDistanceOff), 1.0);
    for (size_t i = 1; i < runs[0].size(); ++i) {
        const PanPoint& a = runs[0][i - 1];
        const PanPoint& b = runs[0][i];
        EXPECT_GE(b.azimuth, -120);
        EXPECT_LE(b.azimuth, 150);
        // Whole degrees: a step of one frame may show one degree of rounding.
        EXPECT_LE(std::abs(b.azimuth - a.azimuth),
                  400.0 * (b.position - a.position) / kShapeRate + 1.0);
    }
    const std::string other = WriteSound(kShapeFrames);
    ASSERT_EQ(RunCli(dir, "set-points " + other + " --generate 'random:seed=8,min=-120,max=150'")
                  .exitCode,
              0);
    EXPECT_NE(Trajectory(other), runs[0]);
}

TEST_F(CliGenerateTest, BadShapesAreUsageErrorsThatNameTheKeyAndHugeOnesAreRefused) {
    const std::string path = WriteSound(kShapeFrames, {{5, 5}});
    const struct {
        std::string text;
        int exitCode;
        std::string says;
    } kCases[] = {
        {"circle", 2, "unknown shape 'circle'"},
        {"orbit:speed=3", 2, "unknown key 'speed' for orbit"},
        {"orbit:period=0", 2, "key 'period' is out of range"},
        {"sweep:elevation=91", 2, "key 'elevation' is out of range"},
        {"orbit:direction=up", 2, "key 'direction' needs a direction"},
        {"sweep:to=16001", 2, "key 'to' is out of range"},
        {"sweep:from=800,to=800", 2, "key 'from' must lie before 'to'"},
        {"pendulum:period=2s", 2, "key 'period' needs a number"},
        // On a minute of sound: 60000 turns, 30000 swings.
        {"orbit:period=0.001", 1, "more than 65535 points"},
        {"pendulum:period=0.002", 1, "more than 65535 points"},
    };
    const std::string longPath = dir.File("long.wav");
    std::filesystem::copy_file(WriteSound(60 * kShapeRate, {{5, 5}}), longPath);
    WriteSound(kShapeFrames, {{5, 5}});
    for (const auto& bad : kCases) {
        const std::string& file = bad.exitCode == 1 ? longPath : path;
        const Bytes unchanged = ReadBytes(file);
        const CliRun run = RunCli(dir, "set-points " + file + " --generate '" + bad.text + "'");
        EXPECT_EQ(run.exitCode, bad.exitCode) << bad.text;
        EXPECT_NE(run.err.find(bad.says), std::string::npos) << bad.text << ": " << run.err;
        EXPECT_EQ(ReadBytes(file), unchanged) << bad.text;
    }
    EXPECT_EQ(RunCli(dir, "set-points " + path + " --generate sweep --points 1:1").exitCode, 2);
}

}  // namespace
