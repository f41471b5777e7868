#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "support/FileBytes.h"

// The whole read path a document takes through a sound file, and the whole write path.
struct SoundContents {
    bool bOpened = false;
    std::string typeName;
    PcmFormat format{};
    uint32_t dataBytes = 0;
    Bytes samples;
    bool bHasPan = false;
    std::optional<PanChunkBytes> pan;
    std::unique_ptr<UnrecognizedChunkBlock> unrecognized;
};

SoundContents ReadSound(const std::string& path);

// Writes a file of typeName ("WAVE"/"AIFF"); false at the first failing step. samples must be
// unchanged afterwards, which this checks as a test failure.
bool WriteSound(const std::string& path, const std::string& typeName, const PcmFormat& format,
                Bytes& samples, std::optional<PanChunkBytes> pan = std::nullopt,
                const UnrecognizedChunkBlock* unrecognized = nullptr);

Bytes BlockChunks(const UnrecognizedChunkBlock& block);

// A WAV writer that notes the size of every block it is handed.
class RecordingWaveFile : public CWaveFile {
  public:
    using CWaveFile::CWaveFile;
    bool WriteSamples(const void* buffer, uint32_t count) override {
        blocks.push_back(count);
        return CWaveFile::WriteSamples(buffer, count);
    }
    std::vector<uint32_t> blocks;
};
