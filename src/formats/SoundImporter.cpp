#include "formats/SoundImporter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "formats/ImportResampler.h"
#include "formats/OpenRefusal.h"
#include "formats/PlaceChunk.h"
#include "platform/ByteOrder.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"

namespace {

constexpr int64_t kBlockFrames = 4096;
// A declared length is a hint, not a promise: memory beyond this grows only as samples come.
constexpr uint64_t kMaxFirstReserve = uint64_t{256} << 20;

// The imported samples, grown as reading finds more than the file declared.
class OutputBuffer {
  public:
    bool Reserve(size_t bytes) {
        if (bytes <= m_buffer.size()) {
            return true;
        }
        SampleBuffer bigger = SampleBuffer::Allocate(bytes);
        if (!bigger) {
            return false;
        }
        if (m_used != 0) {
            std::memcpy(bigger.data(), m_buffer.data(), m_used);
        }
        m_buffer = std::move(bigger);
        return true;
    }
    // Room for count more bytes at End; false when no memory is left.
    bool MakeRoom(size_t count) {
        const size_t wanted = m_used + count;
        if (wanted <= m_buffer.size()) {
            return true;
        }
        const size_t doubled = m_buffer.size() * 2;
        return Reserve(doubled > wanted ? doubled : wanted);
    }
    uint8_t* End() { return m_buffer.data() + m_used; }
    void Advance(size_t count) { m_used += count; }
    size_t Used() const { return m_used; }
    SampleBuffer Take() { return std::move(m_buffer); }

  private:
    SampleBuffer m_buffer;
    size_t m_used = 0;
};

// A chunk's frame position, stored at at, moved from one rate to another (held at the
// largest a position can be), so a trajectory stays on the same moments of the sound.
void MovePosition(uint8_t* at, bool bBigEndian, uint32_t from, uint32_t to) {
    const uint64_t moved =
        ImportResampler::MapPosition(ByteOrder::LoadU32(at, bBigEndian), from, to);
    ByteOrder::StoreU32(at, static_cast<uint32_t>(std::min<uint64_t>(moved, UINT32_MAX)),
                        bBigEndian);
}

}  // namespace

SoundImporter::SoundImporter(const std::string& path, const ImportOptions& options)
    : m_path(path), m_options(options) {
    const int bits = options.bits;
    m_options.bits = bits == 8 || bits == 16 || bits == 24 || bits == 32 ? bits : 0;
}

uint32_t SoundImporter::ImportRate(uint32_t sourceRate) {
    if (sourceRate == 0) {
        return 0;
    }
    if (sourceRate < kMinRate) {
        return kLowRateTarget;
    }
    if (sourceRate <= kMaxRate) {
        return sourceRate;
    }
    return sourceRate % 11025 == 0 ? 44100 : kMaxRate;
}

bool SoundImporter::TargetIsFloat() const {
    return m_options.bits == 0 && m_source.IsFloat();
}

int SoundImporter::TargetBits() const {
    if (m_options.bits != 0) {
        return m_options.bits;
    }
    const int bits = m_source.GetSourceBits();
    if (m_source.IsFloat() || bits > 24) {
        return 32;
    }
    return bits > 16 ? 24 : 16;
}

bool SoundImporter::DropsBitDepth() const {
    if (TargetIsFloat()) {
        return false;
    }
    const int bits = m_source.GetSourceBits();
    return bits == 0 || bits > TargetBits() || GetImportRate() != GetSampleRate();
}

SoundImporter::Status SoundImporter::Examine() {
    if (m_examined) {
        return *m_examined;
    }
    Status status = Status::Ok;
    if (!m_source.Open(m_path)) {
        m_error = m_source.GetError();
        m_explanation = ExplainUnreadable();
        status = Status::Unreadable;
    } else if (GetChannels() > 2) {
        status = Status::TooManyChannels;
    } else if (GetChannels() < 1 || m_source.GetSampleRate() <= 0) {
        m_error = "no channels or no sample rate";
        status = Status::Unreadable;
    } else if (GetFrames() == 0) {
        status = Status::Empty;
    } else if (GetFrames() != std::numeric_limits<int64_t>::max()) {
        // A stream of unknown length declares the largest count; it is judged as it reads.
        const uint64_t frames = ImportResampler::OutputFrames(static_cast<uint64_t>(GetFrames()),
                                                              GetSampleRate(), GetImportRate());
        const uint64_t frameBytes = static_cast<uint64_t>(GetChannels()) * (TargetBits() / 8);
        if (frames > kMaxDataBytes / frameBytes) {
            status = Status::TooLong;
        }
    }
    if (status == Status::Ok) {
        status = ExamineAdm();
    }
    m_examined = status;
    return status;
}

std::string SoundImporter::ExplainUnreadable() const {
    try {
        CFile file(m_path, CFile::Mode::Read);
        return OpenRefusal::WhyNotLargeForm(file);
    } catch (const CFileException&) {
        return {};  // libsndfile's words are all there are
    }
}

SoundImporter::Status SoundImporter::ExamineAdm() {
    std::optional<AdmChunks> chunks;
    try {
        CFile file(m_path, CFile::Mode::Read);
        chunks = ReadAdmChunks(file);
    } catch (const CFileException&) {
        return Status::Ok;  // what libsndfile reads is imported without a model
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
    if (!chunks || (!chunks->axml && chunks->axmlDeclaredBytes == 0)) {
        return Status::Ok;
    }
    AdmReading reading = ParseAdm(*chunks, GetChannels(), GetSampleRate());
    if (!reading.refusal.empty()) {
        m_error = reading.refusal;
        return Status::AdmRefused;
    }
    for (std::vector<AdmPlace>& places : reading.channels) {
        for (AdmPlace& place : places) {
            place.position = static_cast<uint32_t>(
                ImportResampler::MapPosition(place.position, GetSampleRate(), GetImportRate()));
        }
    }
    m_admChannels = std::move(reading.channels);
    return Status::Ok;
}

SoundImporter::Status SoundImporter::Import(ImportedSound& sound) {
    const Status status = Examine();
    if (status != Status::Ok) {
        return status;
    }
    return ReadSamples(sound);
}

SoundImporter::Status SoundImporter::ReadSamples(ImportedSound& sound) {
    const auto channels = static_cast<size_t>(GetChannels());
    const int bits = TargetBits();
    const size_t sampleBytes = static_cast<size_t>(bits / 8);
    const size_t frameBytes = channels * sampleBytes;
    const uint32_t rate = GetImportRate();
    const bool bResample = rate != GetSampleRate();
    const bool bDither = m_options.bDither && DropsBitDepth();

    try {
        OutputBuffer output;
        const uint64_t expected =
            std::min<uint64_t>(ImportResampler::OutputFrames(static_cast<uint64_t>(GetFrames()),
                                                             GetSampleRate(), rate),
                               kMaxDataBytes);
        const uint64_t reserve = std::min(expected * frameBytes, kMaxFirstReserve);
        if (!output.Reserve(static_cast<size_t>(reserve))) {
            return Status::OutOfMemory;
        }
        PcmQuantizer quantizer(bits, bDither, m_options.seed, TargetIsFloat());
        std::optional<ImportResampler> resampler;
        if (bResample) {
            resampler.emplace(GetSampleRate(), rate, GetChannels());
            if (!resampler->IsOk()) {
                m_error = resampler->GetError();
                return Status::ReadFailed;
            }
        }
        std::vector<double> block(static_cast<size_t>(kBlockFrames) * channels);
        std::vector<double> resampled;
        bool bTooLong = false;
        // Quantizes frames of doubles onto the end of the output.
        const auto append = [&](const double* samples, size_t frames) {
            if (output.Used() + frames * frameBytes > kMaxDataBytes) {
                bTooLong = true;
                return false;
            }
            if (!output.MakeRoom(frames * frameBytes)) {
                return false;
            }
            quantizer.Convert(samples, frames * channels, output.End());
            output.Advance(frames * frameBytes);
            return true;
        };
        while (true) {
            const int64_t got = m_source.ReadFrames(block.data(), kBlockFrames);
            if (got < 0) {
                m_error = m_source.GetError();
                return Status::ReadFailed;
            }
            if (got == 0) {
                break;
            }
            const double* ready = block.data();
            size_t readyFrames = static_cast<size_t>(got);
            if (resampler) {
                resampled.clear();
                if (!resampler->Process(block.data(), readyFrames, resampled)) {
                    m_error = resampler->GetError();
                    return Status::ReadFailed;
                }
                ready = resampled.data();
                readyFrames = resampled.size() / channels;
            }
            if (!append(ready, readyFrames)) {
                return bTooLong ? Status::TooLong : Status::OutOfMemory;
            }
        }
        if (resampler) {
            resampled.clear();
            if (!resampler->Finish(resampled)) {
                m_error = resampler->GetError();
                return Status::ReadFailed;
            }
            if (!append(resampled.data(), resampled.size() / channels)) {
                return bTooLong ? Status::TooLong : Status::OutOfMemory;
            }
        }
        if (output.Used() == 0) {
            return Status::Empty;
        }

        sound.format.formatTag = TargetIsFloat() ? kFormatTagFloat : kFormatTagPcm;
        sound.format.channels = static_cast<uint16_t>(channels);
        sound.format.sampleRate = rate;
        sound.format.blockAlign = static_cast<uint16_t>(frameBytes);
        sound.format.avgBytesPerSec = rate * static_cast<uint32_t>(frameBytes);
        sound.format.bitsPerSample = static_cast<uint16_t>(bits);
        sound.dataBytes = static_cast<uint32_t>(output.Used());
        sound.samples = output.Take();
        sound.sourceRate = GetSampleRate();
        sound.bDithered = bDither;
        sound.clippedSamples = quantizer.GetClippedCount();
        sound.panChunk = ReadPanChunk();
        sound.placeChunk = ReadPlaceChunk();
        sound.bPlaceChunkBigEndian = m_source.ChunksBigEndian().value_or(false);
        sound.admChannels = m_admChannels;
    } catch (const std::bad_alloc&) {
        return Status::OutOfMemory;
    }
    return Status::Ok;
}

std::optional<std::vector<uint8_t>> SoundImporter::ReadPlaceChunk() {
    std::optional<std::vector<uint8_t>> chunk = m_source.ReadChunk("ach3", kPlaceChunkMaxBytes);
    const uint32_t from = GetSampleRate();
    const uint32_t to = GetImportRate();
    if (!chunk || from == to || chunk->size() < kPlaceChunkHeaderBytes) {
        return chunk;
    }
    // The same moments as the pan points: both move alike, so they still match.
    const bool bBig = m_source.ChunksBigEndian().value_or(false);
    uint8_t* bytes = chunk->data();
    const auto move = [&](uint8_t* at) { MovePosition(at, bBig, from, to); };
    move(bytes + 8);
    for (size_t at = kPlaceChunkHeaderBytes; at + kPlaceChunkPointBytes <= chunk->size();
         at += kPlaceChunkPointBytes) {
        move(bytes + at);
    }
    return chunk;
}

std::optional<PanChunkBytes> SoundImporter::ReadPanChunk() {
    std::optional<PanChunkBytes> chunk = m_source.ReadChunk("achk", kPanChunkMaxBytes);
    if (!chunk || chunk->size() < kPanChunkMinBytes) {
        return std::nullopt;
    }
    if (m_source.ChunksBigEndian().value_or(false)) {
        PanChunkFromBigEndian(chunk->data(), chunk->size());
    }
    const uint32_t from = GetSampleRate();
    const uint32_t to = GetImportRate();
    if (from != to) {
        // The trajectory stays on the same moments of the sound.
        uint8_t* bytes = chunk->data();
        MovePosition(bytes + 6, false, from, to);
        const size_t fit = (chunk->size() - kPanChunkHeaderBytes) / kPanChunkPointBytes;
        const size_t count = std::min<size_t>(PanChunkPointCount(*chunk), fit);
        for (size_t i = 0; i < count; ++i) {
            uint8_t* at = bytes + kPanChunkHeaderBytes + i * kPanChunkPointBytes;
            MovePosition(at, false, from, to);
        }
    }
    return chunk;
}
