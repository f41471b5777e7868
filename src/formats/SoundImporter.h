#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "formats/AdmMetadata.h"
#include "formats/PanChunk.h"
#include "formats/PcmFormat.h"
#include "formats/PcmQuantizer.h"
#include "formats/SndfileSource.h"
#include "platform/SampleBuffer.h"

// How a file is imported: the width of the new samples and whether a drop in bit depth is
// dithered (TPDF, from the seed, so the same file always imports the same way).
struct ImportOptions {
    // 0: as deep as the source (see SoundImporter::TargetBits); else 8, 16, 24 or 32 bits of
    // integer PCM.
    int bits = 0;
    bool bDither = true;
    uint64_t seed = PcmQuantizer::kDefaultSeed;
};

// A sound as import makes it: samples of the in-memory convention, the source's channels, at the
// source's rate or, outside the rates Sonomap plays, resampled to 48000 or 44100 Hz above them
// and to 8000 Hz below.
struct ImportedSound {
    PcmFormat format{};
    SampleBuffer samples;  // dataBytes bytes
    uint32_t dataBytes = 0;
    // The source's pan chunk in memory order, positions and length moved to the new rate.
    std::optional<PanChunkBytes> panChunk;
    // The source's "ach3" chunk in file order, positions moved the same way; none without one.
    std::optional<std::vector<uint8_t>> placeChunk;
    bool bPlaceChunkBigEndian = false;
    uint32_t sourceRate = 0;
    bool bDithered = false;
    uint64_t clippedSamples = 0;  // beyond full scale in the source
    // The places of each channel's ADM object, positions moved to the new rate; empty when
    // the source carries no ADM model. Taken before panChunk when both are there.
    std::vector<std::vector<AdmPlace>> admChannels;
};

// Reads any sound file libsndfile reads and converts it into an ImportedSound. Examine checks
// the file first (it is what the open's offer to import asks); Import reads it. Nothing is
// shown: results are statuses with the details a message needs.
class SoundImporter {
  public:
    enum class Status {
        Ok,
        Unreadable,       // libsndfile does not read it: GetError has its text
        TooManyChannels,  // more than 2: GetChannels
        Empty,            // no sample frames
        TooLong,          // the result would not fit in a WAV or AIFF file: GetFrames
        OutOfMemory,
        ReadFailed,  // libsndfile failed while reading: GetError
        AdmRefused,  // its ADM model is not one trajectory Sonomap can take: GetError says why
    };

    static constexpr uint32_t kMinRate = 6000;
    static constexpr uint32_t kMaxRate = 48000;
    // What a sound below kMinRate is resampled up to: the lowest common rate above it.
    static constexpr uint32_t kLowRateTarget = 8000;
    // The most sample bytes an imported sound may have: a WAV or AIFF file counts its size
    // in 32 bits, and needs room for its headers and the largest pan chunk.
    static constexpr uint32_t kMaxDataBytes = 0xFFFFFFFFu - (1u << 20);

    SoundImporter(const std::string& path, const ImportOptions& options);

    // Opens the file and checks what import needs. Ok when Import may follow.
    Status Examine();
    // Examine (unless done) and the whole conversion into sound.
    Status Import(ImportedSound& sound);

    // The rate a sound of this rate is imported at: the same within 6000 ... 48000 Hz, 44100
    // for multiples of 11025 above, else 48000 above; 8000 below (0 stays 0).
    static uint32_t ImportRate(uint32_t sourceRate);

    int GetChannels() const { return m_source.GetChannels(); }
    uint32_t GetSampleRate() const { return static_cast<uint32_t>(m_source.GetSampleRate()); }
    uint32_t GetImportRate() const { return ImportRate(GetSampleRate()); }
    int64_t GetFrames() const { return m_source.GetFrames(); }
    const std::string& GetDescription() const { return m_source.GetDescription(); }
    // The width of the imported samples in bits, after Examine. Unless the options ask for a
    // width, a float source gives 32-bit floats, an integer source the narrowest of 16, 24 or
    // 32 bits that holds all of its bits, and a lossy one 16 bits.
    int TargetBits() const;
    bool TargetIsFloat() const;
    // Whether the conversion lowers the bit depth, so dither applies.
    bool DropsBitDepth() const;
    const std::string& GetError() const { return m_error; }
    // For Unreadable: why, in Sonomap's words, when the file's own sizes tell (an RF64 file
    // whose "ds64" lies); empty when only libsndfile's GetError can say.
    const std::string& GetExplanation() const { return m_explanation; }

  private:
    Status ReadSamples(ImportedSound& sound);
    // Reads the source's ADM model, when it has one, into m_admChannels.
    Status ExamineAdm();
    std::optional<PanChunkBytes> ReadPanChunk();
    // The source's "ach3" chunk with its positions at the import's rate, in file order.
    std::optional<std::vector<uint8_t>> ReadPlaceChunk();
    std::string ExplainUnreadable() const;

    std::string m_path;
    ImportOptions m_options;
    SndfileSource m_source;
    std::optional<Status> m_examined;
    std::vector<std::vector<AdmPlace>> m_admChannels;
    std::string m_error;
    std::string m_explanation;
};
