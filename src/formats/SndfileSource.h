#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sf_private_tag;
struct SndfileBroadcastView;

// A sound file read through libsndfile: its format as libsndfile names it, its samples as
// interleaved doubles of full scale +-1.0, and a chunk by id where the container keeps
// chunks. No operation shows anything; failures leave libsndfile's own text in GetError.
// Counts are sample frames unless named otherwise.
class SndfileSource {
  public:
    SndfileSource();
    ~SndfileSource();
    SndfileSource(const SndfileSource&) = delete;
    SndfileSource& operator=(const SndfileSource&) = delete;

    // False when libsndfile cannot read the file; the reason is in GetError. A BW64 file, an
    // RF64 file by another id, is read as RF64.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_pFile != nullptr; }

    int GetChannels() const { return m_channels; }
    int GetSampleRate() const { return m_sampleRate; }
    // As the file declares it; the samples read may be fewer.
    int64_t GetFrames() const { return m_frames; }
    // "WAV (Microsoft), Signed 24 bit PCM": libsndfile's names of container and encoding.
    const std::string& GetDescription() const { return m_description; }
    // The bits of an integer encoding (8, 16, 24, 32, also 12 or 20 for some codecs); 0 for
    // floating point and lossy codecs, whose precision no PCM target reaches.
    int GetSourceBits() const { return m_sourceBits; }
    // Whether the samples are stored as floating point (32 or 64 bits).
    bool IsFloat() const { return m_bFloat; }
    // Whether the container's chunks (and so a pan chunk in it) are big-endian (AIFF) or
    // little-endian (WAV, RF64, Wave64); none when the container has no such chunks.
    std::optional<bool> ChunksBigEndian() const { return m_chunksBigEndian; }

    // Reads up to frames frames into buffer (frames * channels doubles). Returns the frames
    // read, 0 at the end, -1 when the read failed (GetError says why).
    int64_t ReadFrames(double* buffer, int64_t frames);
    // The data of the first chunk with this four-character id, at most maxBytes of it; none
    // when the container has no such chunk.
    std::optional<std::vector<uint8_t>> ReadChunk(const char* id, size_t maxBytes);

    const std::string& GetError() const { return m_error; }

  private:
    void Describe(int format);

    sf_private_tag* m_pFile = nullptr;
    std::unique_ptr<SndfileBroadcastView> m_pView;  // what m_pFile reads a BW64 file through
    int m_channels = 0;
    int m_sampleRate = 0;
    int64_t m_frames = 0;
    int m_sourceBits = 0;
    bool m_bFloat = false;
    std::optional<bool> m_chunksBigEndian;
    std::string m_description;
    std::string m_error;
};
