// Writes the seed corpus for the sound-file fuzz target into the folder given: small files of
// both formats in every sample layout, with pan chunks and carried chunks, and a few nearly
// valid ones that no writer would make. The targets fed one chunk or one journal get folders
// of their own inside it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/RecoveryJournal.h"
#include "formats/AdmMetadata.h"
#include "formats/CAiffFile.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "formats/PlaceChunk.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

Bytes Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void AppendU32(Bytes& out, uint32_t value, bool bBigEndian) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (bBigEndian ? 24 - 8 * i : 8 * i)));
    }
}

Bytes Chunk(const char* id, const Bytes& data, bool bBigEndian) {
    Bytes out(id, id + 4);
    AppendU32(out, static_cast<uint32_t>(data.size()), bBigEndian);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

// One file through our own writer, with a pan chunk and carried chunks when asked.
bool WriteSound(const std::string& path, int typeId, uint16_t channels, uint16_t bits,
                uint32_t rate, uint32_t frames, bool bExtras, uint16_t tag = kFormatTagPcm) {
    const auto align = static_cast<uint16_t>(channels * (bits / 8));
    const PcmFormat format{tag, channels, rate, rate * align, align, bits};
    Bytes samples(size_t{frames} * align);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<uint8_t>(i * 37 + 11);
    }
    std::remove(path.c_str());
    std::unique_ptr<CSoundFile> writer = CreateSoundFileByType(typeId, path);
    bool bOk = writer->CreateHeader(format, static_cast<uint32_t>(samples.size())) &&
               writer->WriteSamples(samples.data(), static_cast<uint32_t>(samples.size())) &&
               writer->CloseSamples();
    if (bOk && bExtras) {
        auto pan = BuildPanChunk({{0, -90}, {frames / 2, 0}, {frames, 90}}, frames, true, 3);
        bOk = writer->WritePanChunk(*pan);
        const std::vector<PlaceChunkPoint> places = {
            {0, -170, 20, 250, 30}, {frames / 2, 120, -45, 10, 0}, {frames, 90, 90, 10000, 180}};
        bOk = bOk && writer->WriteWholeChunk(
                         kPlaceChunkId, *BuildPlaceChunk(places, frames, typeId == kSoundTypeAiff));
        const bool bBig = typeId == kSoundTypeAiff;
        Bytes chunks = Chunk("note", {'o', 'd', 'd'}, bBig);
        const Bytes zero = Chunk("zero", {}, bBig);
        chunks.insert(chunks.end(), zero.begin(), zero.end());
        UnrecognizedChunkBlock block(static_cast<uint32_t>(chunks.size()), bBig);
        std::memcpy(block.GetChunkBytes(), chunks.data(), chunks.size());
        writer->WriteUnrecognizedChunks(block);
    }
    return bOk && writer->CloseFile();
}

// A held start, a move, a step and a hold to frames.
std::vector<AdmBlock> SeedBlocks(uint32_t frames) {
    return {{0, 0, {0, -30.0, 10.0, 250.0}, false},
            {0, 3, {3, 150.5, -20.0, 10.0}, false},
            {3, 0, {3, 20.0, 0.0, 100.0}, true},
            {3, frames - 3, {frames, 20.0, 0.0, 100.0}, false}};
}

// A WAV carrying object metadata for channels channels, the XML changed from what Sonomap
// writes by replacing from with to.
bool WriteAdm(const std::string& path, uint16_t channels, uint16_t modelChannels,
              const std::string& from = {}, const std::string& to = {}) {
    const std::vector<std::vector<AdmBlock>> blocks(modelChannels, SeedBlocks(5));
    const Bytes axml = BuildAxmlChunk(blocks, "seed", 22050, 16, 5);
    std::string text(axml.begin(), axml.end());
    if (!from.empty()) {
        for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1)) {
            text.replace(at, from.size(), to);
        }
    }
    std::remove(path.c_str());
    CWaveFile wave(path);
    wave.AllowLargeForm();
    wave.ReserveLargeHeader();
    wave.AddLeadingChunk(kChnaChunkId, BuildChnaChunk(modelChannels));
    wave.AddLeadingChunk(kAxmlChunkId, Bytes(text.begin(), text.end()));
    const auto align = static_cast<uint16_t>(channels * 2);
    const PcmFormat format{kFormatTagPcm, channels, 22050, 22050u * align, align, 16};
    const Bytes samples(size_t{5} * align, 0x11);
    return wave.CreateHeader(format, static_cast<uint32_t>(samples.size())) &&
           wave.WriteSamples(samples.data(), static_cast<uint32_t>(samples.size())) &&
           wave.CloseSamples() && wave.CloseFile();
}

// A RIFF file whose "ds64" gives a data size that wraps a 64-bit sum, with its "data" chunk
// sized by it: a walk that adds before it checks comes back to the same header forever.
Bytes WrappingDs64() {
    Bytes body = {'W', 'A', 'V', 'E'};
    Bytes ds64(28, 0);
    for (int i = 8; i < 16; ++i) {
        ds64[i] = 0xFF;
    }
    ds64[8] = 0xF8;  // 2^64 - 8
    const Bytes ds64Chunk = Chunk("ds64", ds64, false);
    body.insert(body.end(), ds64Chunk.begin(), ds64Chunk.end());
    const Bytes fmt =
        Chunk("fmt ", {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0}, false);
    body.insert(body.end(), fmt.begin(), fmt.end());
    const Bytes data = {'d', 'a', 't', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4};
    body.insert(body.end(), data.begin(), data.end());
    Bytes file = {'R', 'I', 'F', 'F'};
    AppendU32(file, static_cast<uint32_t>(body.size()), false);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// The seeds of the targets whose input is one chunk, one journal, a manifest or a SOFA set,
// each in a folder named after its target. Returns how many files were written.
int WriteChunkSeeds(const std::string& dir) {
    int count = 0;
    const auto put = [&](const std::string& folder, const std::string& name, const Bytes& bytes) {
        std::filesystem::create_directories(dir + "/" + folder);
        Put(dir + "/" + folder + "/" + name, bytes);
        ++count;
    };
    for (uint16_t channels : {1, 2}) {
        const std::vector<std::vector<AdmBlock>> blocks(channels, SeedBlocks(4));
        put("fuzz_adm_import", "axml-" + std::to_string(channels) + "ch",
            BuildAxmlChunk(blocks, "seed", 48000, 16, 4));
    }
    const Bytes axml = BuildAxmlChunk({SeedBlocks(4)}, "seed", 48000, 16, 4);
    std::string text(axml.begin(), axml.end());
    const std::string distance = "<absoluteDistance>1</absoluteDistance>";
    text.replace(text.find(distance), distance.size(), "<absoluteDistance>inf</absoluteDistance>");
    put("fuzz_adm_import", "axml-inf-distance", Bytes(text.begin(), text.end()));
    std::string nested = "<r>";
    for (int i = 0; i < 8000; ++i) {
        nested += "<a>";
    }
    for (int i = 0; i < 8000; ++i) {
        nested += "</a>";
    }
    put("fuzz_adm_import", "axml-nested", Bytes(nested.begin(), nested.end()));

    const std::vector<PlaceChunkPoint> points = {
        {0, -170, 20, 250, 30}, {20, 120, -45, 10, 0}, {64, 90, 90, 10000, 180}};
    const Bytes ach3 = *BuildPlaceChunk(points, 64, false);
    put("fuzz_place_chunk", "ach3", ach3);
    Bytes later = ach3;
    later[0] = 2;
    put("fuzz_place_chunk", "ach3-version-2", later);
    put("fuzz_place_chunk", "ach3-short", Bytes(ach3.begin(), ach3.end() - 7));

    RecoveryJournal journal;
    journal.key = "/music/take.wav";
    journal.ownerToken = 0x1234;
    journal.lastEditMs = 1765200000000;
    journal.undoPosition = 2;
    PanPoint placed(300, 0);
    placed.azimuth = 150;
    placed.elevation = 20;
    placed.distanceCm = 250;
    placed.width = 15;
    journal.points = {PanPoint(0, -90), placed};
    const std::string encoded = journal.Encode();
    put("fuzz_recovery_journal", "journal", Bytes(encoded.begin(), encoded.end()));
    journal.points.clear();
    journal.bImported = true;
    const std::string empty = journal.Encode();
    put("fuzz_recovery_journal", "journal-empty", Bytes(empty.begin(), empty.end()));

    // Manifests in a folder that holds a.wav: a job of each format, and lines each refused for
    // one thing (a key twice, a number past a double, a path out of the folder).
    const auto bytesOf = [](const std::string& lines) { return Bytes(lines.begin(), lines.end()); };
    const std::string event = R"({"source": "a.wav", "onset": 0.5, "gain": -6, "class": 2, )"
                              R"("trajectory": {"points": "0:30:10:2,4800:-60"}})";
    put("fuzz_batch_manifest", "formats",
        bytesOf(R"({"output": "o/a.wav", "format": "ambix", "order": 3, "rate": 24000, )"
                R"("duration": 2, "labels": "o/a.csv", "events": [)" +
                event + "]}\n" +
                R"({"output": "o/s.wav", "format": "stereo", "sampleFormat": "f32", "events": [)"
                R"({"source": "a.wav", "trajectory": "stored"}]})"
                "\n"
                R"({"output": "o/b.wav", "format": "binaural", "hrtf": "set.sofa", "events": [)"
                R"({"source": "a.wav", "trajectory": {"generate": "random:speed=30", "seed": 4}}]})"
                "\n"
                R"({"output": "o/l.wav", "format": "layout:4+5+0", "events": [)" +
                event + "]}\n" + R"({"output": "o/d.wav", "format": "adm", "sha256": ")" +
                std::string(64, 'a') + R"(", "events": [)" + event + "]}\n"));
    put("fuzz_batch_manifest", "refused",
        bytesOf(R"({"output": "x.wav", "format": "ambix", "events": [{"source": "a.wav", )"
                R"("gain": 1e999, "gain": 1, "trajectory": "stored"}]})"
                "\n"
                R"({"output": "../x.wav", "format": "ambix", "duration": 1, "events": [{"source": )"
                R"("a.wav", "onset": 2, "trajectory": "stored"}]})"
                "\n"
                R"({"output": "m.jsonl", "format": "ambix", "rate": 1000, "events": []})"
                "\n\n"
                R"([1, {"a": [[[{}]]]}])"
                "\n"));

    // Files a SOFA reader must refuse before libmysofa: words, nothing, and an HDF5 superblock
    // (version 0, 8-byte addresses) promising more bytes than follow. run-fuzz.sh adds whole
    // sets that python3-netcdf4 writes.
    put("fuzz_sofa_set", "words", bytesOf("not an HRTF set\n"));
    put("fuzz_sofa_set", "empty", Bytes());
    Bytes superblock = {0x89, 'H', 'D', 'F', '\r', '\n', 0x1a, '\n', 0, 0, 0, 0,
                        0,    8,   8,   0,   4,    0,    16,   0,    3, 0, 0, 0};
    for (const uint64_t address : {uint64_t{0}, ~uint64_t{0}, uint64_t{1} << 20, uint64_t{96}}) {
        for (int i = 0; i < 8; ++i) {
            superblock.push_back(static_cast<uint8_t>(address >> (8 * i)));
        }
    }
    superblock.resize(96, 0);
    put("fuzz_sofa_set", "hdf5-cut-short", superblock);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    int count = 0;
    for (int typeId : {kSoundTypeWave, kSoundTypeAiff}) {
        const std::string ext = typeId == kSoundTypeWave ? ".wav" : ".aif";
        for (uint16_t channels : {1, 2}) {
            // 33 stands for 32-bit floats.
            for (uint16_t bits : {8, 16, 24, 32, 33}) {
                for (bool bExtras : {false, true}) {
                    const std::string name = dir + "/seed-" + std::to_string(channels) + "ch-" +
                                             std::to_string(bits) + (bExtras ? "-extras" : "") +
                                             ext;
                    const bool bFloat = bits == 33;
                    if (!WriteSound(name, typeId, channels, bFloat ? 32 : bits, 22050, 5, bExtras,
                                    bFloat ? kFormatTagFloat : kFormatTagPcm)) {
                        std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", name.c_str());
                        return 1;
                    }
                    ++count;
                }
            }
        }
        // Nearly valid: cut short inside the pan chunk, and odd data without its pad byte.
        const std::string whole = dir + "/seed-1ch-8-extras" + ext;
        Bytes bytes = Load(whole);
        Put(dir + "/seed-cut" + ext, Bytes(bytes.begin(), bytes.end() - 20));
        const std::string odd = dir + "/seed-odd" + ext;
        if (!WriteSound(odd, typeId, 1, 8, 8000, 3, false)) {
            return 1;
        }
        bytes = Load(odd);
        bytes.pop_back();
        Put(odd, bytes);
        count += 2;
    }
    // A WAV with an 18-byte format chunk and an AIFF whose rate is not a number.
    Bytes wave = {'R',  'I',  'F', 'F', 40,   0,    0, 0, 'W', 'A', 'V',  'E',
                  'f',  'm',  't', ' ', 18,   0,    0, 0, 1,   0,   1,    0,
                  0x40, 0x1F, 0,   0,   0x40, 0x1F, 0, 0, 1,   0,   8,    0,
                  0,    0,    'd', 'a', 't',  'a',  2, 0, 0,   0,   0x80, 0x81};
    Put(dir + "/seed-fmt18.wav", wave);
    Bytes aiff = {'F',  'O',  'R',  'M', 0, 0,  0, 48, 'A', 'I', 'F', 'F', 'C', 'O',
                  'M',  'M',  0,    0,   0, 18, 0, 1,  0,   0,   0,   2,   0,   8,
                  0x7F, 0xFF, 0xC0, 0,   0, 0,  0, 0,  0,   0,   'S', 'S', 'N', 'D',
                  0,    0,    0,    10,  0, 0,  0, 0,  0,   0,   0,   0,   1,   2};
    Put(dir + "/seed-nanrate.aif", aiff);
    count += 2;
    // Deep faults: a depth its block align disagrees with, an extensible header shorter than it
    // says, floats that are not numbers, and an AIFF-C compression nobody reads.
    Bytes align = Load(dir + "/seed-1ch-24.wav");
    align[32] = 4;
    Put(dir + "/seed-align24.wav", align);
    // Its 'fmt ' holds 30 bytes: the extra size promises 22 more than the 16, 8 short.
    Bytes extensible = {'R', 'I', 'F',  'F',  58, 0, 0, 0,    'W',  'A', 'V', 'E',  'f',
                        'm', 't', ' ',  30,   0,  0, 0, 0xFE, 0xFF, 1,   0,   0x22, 0x56,
                        0,   0,   0x66, 0x02, 1,  0, 3, 0,    24,   0,   22,  0,    24,
                        0,   4,   0,    0,    0,  1, 0, 0,    0,    0,   0,   'd',  'a',
                        't', 'a', 3,    0,    0,  0, 1, 2,    3,    0};
    Put(dir + "/seed-short-extensible.wav", extensible);
    Bytes nan = Load(dir + "/seed-1ch-33.wav");
    for (size_t i = nan.size() - 20; i + 4 <= nan.size(); i += 8) {
        const uint8_t bits[8] = {0x00, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x80, 0x7F};
        std::memcpy(&nan[i], bits, std::min<size_t>(8, nan.size() - i));
    }
    Put(dir + "/seed-nan.wav", nan);
    Bytes compressed = Load(dir + "/seed-1ch-33.aif");
    for (size_t i = 0; i + 4 <= compressed.size(); ++i) {
        if (std::memcmp(&compressed[i], "fl32", 4) == 0) {
            std::memcpy(&compressed[i], "ima4", 4);
        }
    }
    Put(dir + "/seed-ima4.aifc", compressed);
    count += 4;
    // Object metadata: as written, and with the model changed where a reader must refuse.
    const bool bAdm = WriteAdm(dir + "/seed-adm-mono.wav", 1, 1) &&
                      WriteAdm(dir + "/seed-adm-stereo.wav", 2, 2) &&
                      WriteAdm(dir + "/seed-adm-speakers.wav", 1, 1, "typeLabel=\"0003\"",
                               "typeLabel=\"0001\"") &&
                      WriteAdm(dir + "/seed-adm-objects.wav", 1, 2) &&
                      WriteAdm(dir + "/seed-adm-times.wav", 1, 1, "00:00:00.", "99:99:99.S");
    if (!bAdm) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write the ADM seeds\n");
        return 1;
    }
    count += 5;
    Put(dir + "/seed-ds64-wraps.wav", WrappingDs64());
    count += 1 + WriteChunkSeeds(dir);
    std::printf("make_fuzz_seeds: %d files in %s\n", count, dir.c_str());
    return 0;
}
