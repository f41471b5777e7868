#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "document/CTesselDoc.h"
#include "support/DocumentTestFiles.h"
#include "support/Interaural.h"
#include "support/TempDir.h"
#include "support/TestDocumentHost.h"

// Documents of generated sounds exported through the real mixer with HRTF, and what sox
// says of the files that come out.
class BinauralFixture : public ::testing::Test {
  protected:
    BinauralFixture();

    // A mono 16-bit sound of noise (peak amplitude, full scale 1.0) with points.
    static TestSound Noise(uint32_t rate, uint32_t frames, double amplitude,
                           std::vector<PanChunkPoint> points);
    std::unique_ptr<CTesselDoc> Open(const TestSound& sound, const std::string& name = "in.wav");
    // Exports to out (filterIndex 1: WAV, 2: AIFF); the result of the command.
    bool Export(CTesselDoc& doc, const std::string& out, int filterIndex = 1);
    // Exports sound to a file of that name and reads it back; fails the test when either fails.
    StereoSamples ExportAndRead(const TestSound& sound, const std::string& name);
    // Exports sound with its trajectory replaced by places; fails the test when it fails.
    StereoSamples ExportPlaces(const TestSound& sound, const std::vector<PanPoint>& places,
                               const std::string& name);
    // Whether `sox FILE -n stat` reads the whole file without an error.
    static bool SoxReads(const std::string& path);

    std::string hrtfName;  // the HRTF the export asks for; empty: the first that fits
    TempDir dir;
    TestDocumentHost host;
};
