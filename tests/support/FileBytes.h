#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/PcmFormat.h"

// Builds RIFF/IFF files byte by byte, so tests can craft what no writer would produce.
using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, const Bytes& more);
void AppendId(Bytes& out, const char* id);
void AppendU16(Bytes& out, uint16_t value, bool bBigEndian);
void AppendU32(Bytes& out, uint32_t value, bool bBigEndian);

// A chunk: id, size (or declaredSize when given), data, and a pad byte after odd data.
Bytes Chunk(const char* id, const Bytes& data, bool bBigEndian, bool bPad = true);
Bytes ChunkDeclaring(const char* id, uint32_t declaredSize, const Bytes& data, bool bBigEndian);
// A form around the chunks with the correct size, or declaredSize.
Bytes Form(const char* id, const char* type, const Bytes& chunks, bool bBigEndian);
Bytes FormDeclaring(const char* id, const char* type, uint32_t declaredSize, const Bytes& chunks,
                    bool bBigEndian);

Bytes FmtPayload(const PcmFormat& format);
PcmFormat MakeFormat(uint16_t channels, uint32_t rate, uint16_t bits);
// COMM payload; rate as ten raw bytes.
Bytes CommPayload(uint16_t channels, uint32_t frames, uint16_t bits, const Bytes& rate80);
Bytes SsndPayload(const Bytes& samples);

// Simple complete files.
Bytes WaveFile(const PcmFormat& format, const Bytes& samples, const Bytes& extraAfter = {});
Bytes AiffFile(uint16_t channels, uint16_t bits, uint32_t rate, const Bytes& fileSamples,
               const Bytes& extraAfter = {});

// A deterministic test signal of count bytes.
Bytes Pattern(size_t count, uint32_t seed = 1);

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
