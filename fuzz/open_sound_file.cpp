// Feeds arbitrary bytes through a file into the whole read path a document takes, writes the
// result back through a writer of the same type, reads that again and checks that nothing was
// lost. Any difference, or an allocation sized beyond the input, traps.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "formats/AdmMetadata.h"
#include "formats/CSoundFile.h"
#include "formats/PlaceChunk.h"
#include "platform/CFileException.h"

namespace {

// A memory file reachable by path, so CFile opens it like any other.
struct MemoryFile {
    explicit MemoryFile(const char* name)
        : fd(memfd_create(name, 0)), path("/proc/self/fd/" + std::to_string(fd)) {
        if (fd < 0) {
            __builtin_trap();
        }
    }
    void Fill(const uint8_t* data, size_t size) const {
        if (ftruncate(fd, 0) != 0 ||
            (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
            __builtin_trap();
        }
    }
    int fd;
    std::string path;
};

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void RunOne(const MemoryFile& input, const MemoryFile& output, size_t size) {
    CFile in(input.path, CFile::Mode::Read);
    std::unique_ptr<CSoundFile> sound = OpenSoundFile(in);
    if (sound == nullptr) {
        return;
    }
    PcmFormat format{};
    const uint32_t dataBytes = sound->ReadFormat(format);
    Check(dataBytes > 0 && dataBytes <= size);
    std::vector<uint8_t> samples(dataBytes);
    Check(sound->ReadAllSamples(samples.data(), dataBytes));

    std::optional<PanChunkContents> pan;
    if (sound->HasPanChunk()) {
        std::optional<PanChunkBytes> chunk = sound->ReadPanChunk();
        Check(chunk.has_value() && chunk->size() <= kPanChunkMaxBytes);
        pan = ParsePanChunk(*chunk);
    }
    sound->ScanChunks();
    // The places chunk: read capped, and what a version-1 chunk holds written back the same.
    std::optional<std::vector<uint8_t>> newPlaces;
    for (const ChunkEntry& chunk : sound->GetChunks()) {
        if (chunk.Id() != kPlaceChunkId) {
            continue;
        }
        const std::vector<uint8_t> data = sound->ReadChunkData(chunk, kPlaceChunkMaxBytes);
        Check(data.size() <= chunk.size && data.size() <= kPlaceChunkMaxBytes);
        const std::optional<PlaceChunkContents> places =
            ParsePlaceChunk(data, sound->IsBigEndian());
        if (places && places->version == kPlaceChunkVersion && !places->points.empty()) {
            newPlaces = BuildPlaceChunk(places->points, places->frameCount, sound->IsBigEndian());
            const std::optional<PlaceChunkContents> again =
                ParsePlaceChunk(*newPlaces, sound->IsBigEndian());
            Check(again && again->points.size() == places->points.size() &&
                  std::memcmp(again->points.data(), places->points.data(),
                              places->points.size() * sizeof(PlaceChunkPoint)) == 0);
            sound->TreatAsKnown(kPlaceChunkId);
        }
        break;
    }
    std::unique_ptr<UnrecognizedChunkBlock> block = sound->CollectUnrecognizedChunks();
    Check(block == nullptr || block->GetLength() <= size);
    const std::string typeName = sound->GetTypeName(-1);
    Check(SoundTypeId(typeName) >= 0);

    std::optional<PanChunkBytes> newPan;
    if (pan) {
        newPan =
            BuildPanChunk(pan->points, pan->frameCount, pan->carriedFlag == 1, pan->carriedValue);
    }
    // A document holds one or two channels (the open refuses more), so only those are saved;
    // the writer gives more channels the extensible form that other programs read.
    if (format.channels > 2) {
        return;
    }
    output.Fill(nullptr, 0);
    {
        CFile out(output.path, CFile::Mode::ReadWriteCreate);
        std::unique_ptr<CSoundFile> writer = CreateSoundFileByName(out, typeName);
        Check(writer != nullptr);
        const std::vector<uint8_t> before = samples;
        Check(writer->CreateHeader(format, dataBytes));
        Check(writer->WriteSamples(samples.data(), dataBytes));
        Check(samples == before);
        Check(writer->CloseSamples());
        if (newPan) {
            Check(writer->WritePanChunk(*newPan));
        }
        if (newPlaces) {
            Check(writer->WriteWholeChunk(kPlaceChunkId, *newPlaces));
        }
        if (block) {
            writer->WriteUnrecognizedChunks(*block);
            Check(writer->IsOk());
        }
        Check(writer->CloseFile());
    }

    CFile back(output.path, CFile::Mode::Read);
    std::unique_ptr<CSoundFile> again = OpenSoundFile(back);
    Check(again != nullptr && again->GetTypeName(-1) == typeName);
    PcmFormat formatAgain{};
    Check(again->ReadFormat(formatAgain) == dataBytes);
    Check(std::memcmp(&formatAgain, &format, sizeof format) == 0);
    std::vector<uint8_t> samplesAgain(dataBytes);
    Check(again->ReadAllSamples(samplesAgain.data(), dataBytes));
    Check(samplesAgain == samples);
    Check(again->HasPanChunk() == newPan.has_value());
    if (newPan) {
        std::optional<PanChunkBytes> panAgain = again->ReadPanChunk();
        Check(panAgain.has_value() && *panAgain == *newPan);
    }
    again->ScanChunks();
    if (newPlaces) {
        const auto& chunks = again->GetChunks();
        const auto found = std::find_if(chunks.begin(), chunks.end(), [](const ChunkEntry& c) {
            return c.Id() == kPlaceChunkId;
        });
        Check(found != chunks.end() &&
              again->ReadChunkData(*found, kPlaceChunkMaxBytes) == *newPlaces);
        again->TreatAsKnown(kPlaceChunkId);
    }
    std::unique_ptr<UnrecognizedChunkBlock> blockAgain = again->CollectUnrecognizedChunks();
    Check((block == nullptr) == (blockAgain == nullptr));
    if (block) {
        Check(block->GetBytes() == blockAgain->GetBytes());
    }
}

// The object metadata an import reads: whatever the chunks hold, a reading either refuses and
// gives no places, finds no model, or gives one list of places per channel.
void RunAdm(const MemoryFile& input) {
    CFile in(input.path, CFile::Mode::Read);
    const std::optional<AdmChunks> chunks = ReadAdmChunks(in);
    if (!chunks || !chunks->axml) {
        return;
    }
    for (int channels : {1, 2}) {
        const AdmReading reading =
            ParseAdm(chunks->chna.value_or(std::vector<uint8_t>()), *chunks->axml, channels, 48000);
        Check(reading.refusal.empty()
                  ? reading.channels.empty() || reading.channels.size() == size_t(channels)
                  : reading.channels.empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const MemoryFile input("sonomap-fuzz-in");
    static const MemoryFile output("sonomap-fuzz-out");
    input.Fill(data, size);
    try {
        RunAdm(input);
    } catch (const CFileException&) {
        // A file error ends the reading of the chunks, as it ends an import's.
    }
    try {
        RunOne(input, output, size);
    } catch (const CFileException&) {
        // Reads of the pan chunk and the carried chunks may pass file errors on by design.
    }
    return 0;
}
