#include "formats/OpenRefusal.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "formats/ChunkIndex.h"
#include "formats/SoundImporter.h"
#include "platform/ByteOrder.h"
#include "platform/CFile.h"
#include "platform/CFileException.h"

namespace {

constexpr const char* kNotASound = "not a WAV or AIFF file";
constexpr const char* kEditable =
    "; Sonomap edits 8-, 16-, 24- and 32-bit PCM and 32-bit floating point";
constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;

// The 16-bit fields of a 'fmt ' chunk (little-endian) and of a 'COMM' chunk (big-endian).

// The top-level chunks of the form that opens the file, after its 12-byte header, to the end
// of the file whatever the form's size says, as the readers look for them.
ChunkIndex FormChunks(CFile& file, bool bBigEndian) {
    return ChunkIndex::OfFile(file, 12, bBigEndian);
}

std::string Quoted(const char* id) {
    return std::string("'") + id + "'";
}

std::string Bytes(uint32_t size) {
    return std::to_string(size) + (size == 1 ? " byte" : " bytes");
}

std::string WidthReason(unsigned bits) {
    return std::to_string(bits) + "-bit samples are not supported" + kEditable;
}

std::string FloatWidthReason(unsigned bits) {
    return std::to_string(bits) + "-bit floating-point samples are not supported" + kEditable;
}

std::string BlockAlignReason(unsigned blockAlign, unsigned channels, unsigned bits) {
    return "its frames of " + Bytes(blockAlign) + " disagree with " + std::to_string(channels) +
           (channels == 1 ? " channel of " : " channels of ") + std::to_string(bits) + " bits";
}

std::string WhyNotWave(CFile& file) {
    const ChunkIndex chunks = FormChunks(file, false);
    const ChunkIndex::Entry* fmt = chunks.Find(ChunkId("fmt "));
    if (fmt == nullptr) {
        return "the file holds no " + Quoted("fmt ") + " chunk";
    }
    uint8_t bytes[40] = {};
    file.Seek(static_cast<int64_t>(fmt->dataOffset), CFile::SeekFrom::Begin);
    file.Read(bytes, sizeof bytes);
    if (fmt->heldBytes < 16) {
        return "its " + Quoted("fmt ") + " chunk is only " + Bytes(fmt->size) + " long";
    }
    uint16_t tag = ByteOrder::LoadU16(bytes, false);
    const unsigned bits = ByteOrder::LoadU16(bytes + 14, false);
    if (tag == kTagExtensible && fmt->heldBytes >= 26) {
        tag =
            ByteOrder::LoadU16(bytes + 24, false);  // the sub-format's first two bytes are its tag
    }
    const bool bExtensible = ByteOrder::LoadU16(bytes, false) == kTagExtensible;
    if (bExtensible &&
        (fmt->heldBytes < 40 || 18u + ByteOrder::LoadU16(bytes + 16, false) > fmt->size)) {
        return "its extensible " + Quoted("fmt ") + " chunk is too short for its fields";
    }
    if (tag == kTagFloat && bits != 32) {
        return FloatWidthReason(bits);
    }
    if (tag != kTagPcm && tag != kTagFloat) {
        char text[96];
        std::snprintf(text, sizeof text, "the samples are compressed (format 0x%04X)", tag);
        return text + std::string(kEditable);
    }
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return WidthReason(bits);
    }
    const unsigned channels = ByteOrder::LoadU16(bytes + 2, false);
    const unsigned blockAlign = ByteOrder::LoadU16(bytes + 12, false);
    if (blockAlign != channels * (bits / 8)) {
        return BlockAlignReason(blockAlign, channels, bits);
    }
    if (bExtensible && bits > 16 && bytes[26] != 0) {
        return "its sub-format is not plain PCM or floating point";
    }
    if ((!bExtensible || bits <= 16) && fmt->size != 16 && fmt->size != 18) {
        return "its " + Quoted("fmt ") + " chunk is " + Bytes(fmt->size) +
               " long; Sonomap reads the plain form of 16 or 18 bytes";
    }
    const ChunkIndex::Entry* data = chunks.Find(ChunkId("data"));
    if (data == nullptr) {
        return "the file holds no " + Quoted("data") + " chunk";
    }
    if (data->size == 0) {
        return "its " + Quoted("data") + " chunk holds no samples";
    }
    if (data->heldBytes == 0) {
        return "its sample data lies beyond the end of the file";
    }
    return "its chunks do not read as a WAV file";
}

// What an AIFF-C file's "COMM" says against the native reader, or nothing when it reads.
std::string WhyNotAifc(CFile& file, const ChunkIndex::Entry& comm) {
    const char* const kImport =
        "it is an AIFF-C file; Sonomap opens plain AIFF (File > Import... "
        "takes AIFF-C)";
    if (comm.heldBytes < 22) {
        return kImport;
    }
    uint8_t bytes[22] = {};
    file.Seek(static_cast<int64_t>(comm.dataOffset), CFile::SeekFrom::Begin);
    file.Read(bytes, sizeof bytes);
    const unsigned bits = ByteOrder::LoadU16(bytes + 6, true);
    const std::string compression(reinterpret_cast<const char*>(bytes + 18), 4);
    const bool bFloat = compression == "fl32" || compression == "FL32";
    if (compression == "fl64" || compression == "FL64") {
        return FloatWidthReason(64);
    }
    if (!bFloat && compression != "NONE" && compression != "twos" && compression != "sowt") {
        std::string shown;
        for (const char c : compression) {
            shown += c >= 0x20 && c < 0x7F ? c : '?';
        }
        return "its AIFF-C compression '" + shown +
               "' is not one Sonomap reads (File > Import... may take it)";
    }
    if (bFloat && bits != 32) {
        return FloatWidthReason(bits);  // the samples are 32-bit floats whatever COMM says
    }
    if (!bFloat && bits != 24 && bits != 32) {
        return bits == 8 || bits == 16 ? std::string(kImport) : WidthReason(bits);
    }
    return {};
}

std::string WhyNotAiff(CFile& file, bool bAifc) {
    const ChunkIndex chunks = FormChunks(file, true);
    const ChunkIndex::Entry* comm = chunks.Find(ChunkId("COMM"));
    if (comm == nullptr) {
        return bAifc ? "it is an AIFF-C file; Sonomap opens plain AIFF (File > Import... takes "
                       "AIFF-C)"
                     : "the file holds no " + Quoted("COMM") + " chunk";
    }
    if (bAifc) {
        std::string reason = WhyNotAifc(file, *comm);
        if (!reason.empty()) {
            return reason;
        }
    }
    if (comm->heldBytes >= 8) {
        uint8_t bytes[8] = {};
        file.Seek(static_cast<int64_t>(comm->dataOffset), CFile::SeekFrom::Begin);
        file.Read(bytes, sizeof bytes);
        const unsigned bits = ByteOrder::LoadU16(bytes + 6, true);
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
            return WidthReason(bits);
        }
    }
    if (!bAifc && comm->size != 18) {
        return "its " + Quoted("COMM") + " chunk is " + Bytes(comm->size) +
               " long; Sonomap reads 18";
    }
    if (chunks.Find(ChunkId("SSND")) == nullptr) {
        return "the file holds no " + Quoted("SSND") + " chunk";
    }
    return "its " + Quoted("SSND") + " chunk holds no samples";
}

}  // namespace

std::string OpenRefusal::WhyNotASound(CFile& file) {
    try {
        if (file.GetLength() == 0) {
            return "the file is empty";
        }
        uint8_t head[12] = {};
        file.Seek(0, CFile::SeekFrom::Begin);
        if (file.Read(head, sizeof head) < sizeof head) {
            return kNotASound;
        }
        const std::string form(reinterpret_cast<const char*>(head), 4);
        const std::string type(reinterpret_cast<const char*>(head + 8), 4);
        if (form == "RIFF" && type == "WAVE") {
            return WhyNotWave(file);
        }
        if (form == "FORM" && (type == "AIFF" || type == "AIFC")) {
            return WhyNotAiff(file, type == "AIFC");
        }
    } catch (const CFileException&) {
        // Unreadable is as good as unknown here; the open's own message has said it failed.
    }
    return kNotASound;
}

std::string OpenRefusal::WhyNotEditable(const PcmFormat& format) {
    if (format.formatTag == kFormatTagFloat && format.bitsPerSample != 32) {
        return FloatWidthReason(format.bitsPerSample);
    }
    const unsigned bits = format.bitsPerSample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return WidthReason(bits);
    }
    if (format.blockAlign != format.channels * (bits / 8)) {
        return BlockAlignReason(format.blockAlign, format.channels, bits);
    }
    if (format.channels != 1 && format.channels != 2) {
        return "it has " + std::to_string(format.channels) +
               " channels; Sonomap edits mono and stereo sounds";
    }
    std::string reason = "its sample rate of " + std::to_string(format.sampleRate) +
                         " Hz is outside the 6000 to 48000 Hz Sonomap plays";
    if (const uint32_t imported = SoundImporter::ImportRate(format.sampleRate)) {
        reason += "; File > Import resamples it to " + std::to_string(imported) + " Hz";
    }
    return reason;
}

std::string OpenRefusal::WhyNotLargeForm(CFile& file) {
    uint8_t head[12] = {};
    file.Seek(0, CFile::SeekFrom::Begin);
    const std::string form =
        file.Read(head, sizeof head) == sizeof head ? std::string(head, head + 4) : std::string();
    if ((form != "RF64" && form != "BW64") || std::memcmp(head + 8, "WAVE", 4) != 0) {
        return {};
    }
    const ChunkIndex chunks = FormChunks(file, false);
    const ChunkIndex::Entry* ds64 = chunks.Find(ChunkId("ds64"));
    if (ds64 == nullptr) {
        return "it is an " + form + " file without the " + Quoted("ds64") +
               " chunk that holds its sizes";
    }
    uint8_t sizes[24] = {};
    if (ds64->heldBytes < sizeof sizes) {
        return "its " + Quoted("ds64") + " chunk is only " + Bytes(ds64->size) +
               " long, too short for the sizes it must hold";
    }
    file.Seek(static_cast<int64_t>(ds64->dataOffset), CFile::SeekFrom::Begin);
    file.Read(sizes, sizeof sizes);
    uint64_t dataBytes = 0;
    std::memcpy(&dataBytes, sizes + 8, 8);
    const ChunkIndex::Entry* data = chunks.Find(ChunkId("data"));
    const uint64_t held = data == nullptr ? 0 : chunks.SourceLength() - data->dataOffset;
    if (data != nullptr && data->size == 0xFFFFFFFFu && dataBytes > held) {
        return "its " + Quoted("ds64") + " chunk gives the samples " + std::to_string(dataBytes) +
               " bytes, but the file holds " + std::to_string(held) + " after their start";
    }
    return {};
}

std::string OpenRefusal::Line(const std::string& path, const std::string& reason) {
    return "Sonomap cannot open " + path + ": " + reason + ".";
}
