#include "support/DocumentTestFiles.h"

#include "document/DocumentOpen.h"
#include "trajectory/SoundPlace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "document/CTesselDoc.h"
#include "document/DocumentHost.h"
#include "formats/CSoundFile.h"
#include "peaks/MasterOverview.h"
#include "peaks/PeakSummary.h"
#include "trajectory/SoundPlace.h"

namespace {

Bytes PanChunkData(const TestSound& sound) {
    PanChunkBytes chunk =
        *BuildPanChunk(sound.points, sound.chunkFrames, sound.bCarriedFlag, sound.carriedValue);
    std::memcpy(chunk.data(), &sound.chunkVersion, 4);
    if (sound.bAiff) {
        PanChunkToBigEndian(chunk.data(), chunk.size());
    }
    return chunk;
}

// Rates the tests use, as 80-bit big-endian extended values.
Bytes Rate80(uint32_t rate) {
    Bytes out(10, 0);
    int exponent = 31;
    uint32_t mantissa = rate;
    while ((mantissa & 0x80000000u) == 0) {
        mantissa <<= 1;
        --exponent;
    }
    const uint16_t biased = static_cast<uint16_t>(16383 + exponent);
    out[0] = static_cast<uint8_t>(biased >> 8);
    out[1] = static_cast<uint8_t>(biased);
    for (int i = 0; i < 4; ++i) {
        out[2 + i] = static_cast<uint8_t>(mantissa >> (24 - 8 * i));
    }
    return out;
}

}  // namespace

uint32_t FramesOf(const TestSound& sound) {
    return static_cast<uint32_t>(sound.samples.size() / (sound.format.bitsPerSample / 8) /
                                 sound.format.channels);
}

Bytes BuildSoundFile(const TestSound& sound) {
    const bool be = sound.bAiff;
    Bytes chunks = sound.chunksBefore;
    if (!be) {
        Append(chunks, Chunk("fmt ", FmtPayload(sound.format), false));
        Append(chunks, Chunk("data", sound.samples, false));
    } else {
        Bytes fileSamples = sound.samples;
        for (size_t i = 0; i < fileSamples.size(); ++i) {
            if (sound.format.bitsPerSample == 8) {
                fileSamples[i] = static_cast<uint8_t>(fileSamples[i] - 128);
            } else if (i % 2 == 0 && i + 1 < fileSamples.size()) {
                std::swap(fileSamples[i], fileSamples[i + 1]);
            }
        }
        Append(chunks,
               Chunk("COMM",
                     CommPayload(sound.format.channels, FramesOf(sound), sound.format.bitsPerSample,
                                 Rate80(sound.format.sampleRate)),
                     true));
        Append(chunks, Chunk("SSND", SsndPayload(fileSamples), true));
    }
    if (!sound.points.empty()) {
        Append(chunks, Chunk("achk", PanChunkData(sound), be));
    }
    Append(chunks, sound.chunksAfter);
    return be ? Form("FORM", "AIFF", chunks, true) : Form("RIFF", "WAVE", chunks, false);
}

std::unique_ptr<CTesselDoc> OpenTestDocument(DocumentHost& host, const std::string& path,
                                             const TestSound& sound) {
    WriteBytes(path, BuildSoundFile(sound));
    auto doc = std::make_unique<CTesselDoc>(host);
    EXPECT_TRUE(DocumentOpen(*doc).Open(path)) << path;
    return doc;
}

std::unique_ptr<CTesselDoc> MemoryDocument(DocumentHost& host, const TestSound& sound) {
    auto doc = std::make_unique<CTesselDoc>(host);
    SampleBuffer samples = SampleBuffer::Allocate(sound.samples.size());
    if (!sound.samples.empty()) {
        std::memcpy(samples.data(), sound.samples.data(), sound.samples.size());
    }
    doc->SetSound(sound.format, std::move(samples), static_cast<uint32_t>(sound.samples.size()));
    if (host.ShowsViews()) {
        doc->SetPeakSummary(PeakSummary::Build(doc->GetSampleData()));
        doc->SetOverview(BuildMasterOverview(doc->GetSampleData(), host.Prompts()));
    }
    std::vector<PanPoint> points;
    for (const PanChunkPoint& point : sound.points) {
        points.push_back(PanPoint(point.position, point.pan));
    }
    doc->LoadTrajectory(points);
    doc->SetCarriedFields(sound.bCarriedFlag, sound.carriedValue);
    doc->SetFileType(SoundTypeName(sound.bAiff ? kSoundTypeAiff : kSoundTypeWave));
    doc->SetTitle(sound.bAiff ? "memory.aif" : "memory.wav");
    return doc;
}

std::unique_ptr<CTesselDoc> PointPropertiesDocument(DocumentHost& host) {
    TestSound sound;
    sound.format = MakeFormat(1, 44100, 8);
    sound.samples = Pattern(44100);
    auto doc = MemoryDocument(host, sound);
    doc->AddPoint(1000, -10);
    doc->AddPoint(2000, 20);
    doc->AddPoint(3000, 30);
    doc->SetModifiedFlag(false);
    return doc;
}

TestSound FirstChannelNoise(uint16_t channels, uint32_t rate, uint32_t frames, double amplitude,
                            unsigned seed) {
    TestSound sound;
    sound.format = MakeFormat(channels, rate, 16);
    sound.samples.assign(size_t{frames} * channels * 2, 0);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> noise(-amplitude, amplitude);
    for (uint32_t f = 0; f < frames; ++f) {
        const auto value = static_cast<uint16_t>(static_cast<int16_t>(noise(rng)));
        sound.samples[size_t{f} * channels * 2] = static_cast<uint8_t>(value);
        sound.samples[size_t{f} * channels * 2 + 1] = static_cast<uint8_t>(value >> 8);
    }
    sound.points = {{0, 0}, {frames - 1, 0}};
    sound.chunkFrames = frames;
    return sound;
}

double FirstChannelPower(const TestSound& sound) {
    const size_t stride = size_t{sound.format.channels} * 2;
    double sum = 0.0;
    for (size_t i = 0; i < sound.samples.size(); i += stride) {
        const double s = static_cast<int16_t>(sound.samples[i] | sound.samples[i + 1] << 8);
        sum += s * s;
    }
    return sum / static_cast<double>(sound.samples.size() / stride) / (32768.0 * 32768.0);
}
