#include "support/FileBytes.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "formats/CAiffFile.h"

void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

void AppendId(Bytes& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

void AppendU16(Bytes& out, uint16_t value, bool bBigEndian) {
    if (bBigEndian) {
        out.push_back(static_cast<uint8_t>(value >> 8));
        out.push_back(static_cast<uint8_t>(value));
    } else {
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    }
}

void AppendU32(Bytes& out, uint32_t value, bool bBigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bBigEndian ? 24 - 8 * i : 8 * i;
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

Bytes ChunkDeclaring(const char* id, uint32_t declaredSize, const Bytes& data, bool bBigEndian) {
    Bytes out;
    AppendId(out, id);
    AppendU32(out, declaredSize, bBigEndian);
    Append(out, data);
    return out;
}

Bytes Chunk(const char* id, const Bytes& data, bool bBigEndian, bool bPad) {
    Bytes out = ChunkDeclaring(id, static_cast<uint32_t>(data.size()), data, bBigEndian);
    if (bPad && data.size() % 2 != 0) {
        out.push_back(0);
    }
    return out;
}

Bytes FormDeclaring(const char* id, const char* type, uint32_t declaredSize, const Bytes& chunks,
                    bool bBigEndian) {
    Bytes out;
    AppendId(out, id);
    AppendU32(out, declaredSize, bBigEndian);
    AppendId(out, type);
    Append(out, chunks);
    return out;
}

Bytes Form(const char* id, const char* type, const Bytes& chunks, bool bBigEndian) {
    return FormDeclaring(id, type, static_cast<uint32_t>(chunks.size() + 4), chunks, bBigEndian);
}

Bytes FmtPayload(const PcmFormat& format) {
    Bytes out(sizeof format);
    std::memcpy(out.data(), &format, sizeof format);
    return out;
}

PcmFormat MakeFormat(uint16_t channels, uint32_t rate, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * (bits / 8));
    return PcmFormat{1, channels, rate, rate * align, align, bits};
}

Bytes CommPayload(uint16_t channels, uint32_t frames, uint16_t bits, const Bytes& rate80) {
    Bytes out;
    AppendU16(out, channels, true);
    AppendU32(out, frames, true);
    AppendU16(out, bits, true);
    Append(out, rate80);
    return out;
}

Bytes SsndPayload(const Bytes& samples) {
    Bytes out(8, 0);
    Append(out, samples);
    return out;
}

Bytes WaveFile(const PcmFormat& format, const Bytes& samples, const Bytes& extraAfter) {
    Bytes chunks = Chunk("fmt ", FmtPayload(format), false);
    Append(chunks, Chunk("data", samples, false));
    Append(chunks, extraAfter);
    return Form("RIFF", "WAVE", chunks, false);
}

Bytes AiffFile(uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& fileSamples,
               const Bytes& extraAfter) {
    const Extended80 rate80 = DoubleToExtended(rate);
    const uint32_t frameBytes = channels * (bits / 8u);
    Bytes chunks =
        Chunk("COMM",
              CommPayload(channels, static_cast<uint32_t>(fileSamples.size()) / frameBytes, bits,
                          Bytes(rate80.begin(), rate80.end())),
              true);
    Append(chunks, Chunk("SSND", SsndPayload(fileSamples), true));
    Append(chunks, extraAfter);
    return Form("FORM", "AIFF", chunks, true);
}

Bytes Pattern(size_t count, uint32_t seed) {
    Bytes out(count);
    uint32_t state = seed * 2654435761u + 1;
    for (auto& b : out) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return out;
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
