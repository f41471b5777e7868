#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "document/Acoustics.h"

// A room's late reverberation: a diffuse tail, decorrelated between its outputs (ears,
// Ambisonic components, loudspeakers), that decays at the room's Eyring RT60 and takes over
// from the image sources where their orders end. A feedback delay network of kLines lines
// under an orthogonal (Hadamard) mixing matrix, each line's loss set for the RT60; its level is
// the diffuse field's: sound energy arriving at 4 pi c / V of the energy of a sound heard at 1 m,
// per second, falling as the RT60 says (statistical room acoustics), so its decay continues
// the images'.
//
// It runs on in order; a call that does not go on from the last begins afresh, warmed up over
// the room's RT60 before it (a preview that jumps). Frames are heard frames at rate.
class LateTail {
  public:
    static constexpr int kLines = 16;
    static constexpr int kOutputs = 16;  // the decorrelated signals a renderer may take

    // The Eyring RT60 of room, in seconds: 0.161 V / (-S ln(1 - a)), a the walls' absorption
    // weighted by their areas.
    static double EyringSeconds(const Room& room);

    // onsetSeconds: how long after the sound leaves the tail begins (the images of the next
    // order would arrive then).
    LateTail(const Room& room, uint32_t rate, double onsetSeconds);

    // The source's frames as the tail takes them: count frames from first (may be negative:
    // silence), one channel.
    using Reader = std::function<void(int64_t first, uint32_t count, float* out)>;
    // count heard frames from first of outputs decorrelated tails (outputs <= kOutputs), each
    // at the diffuse field's level, into out (outputs floats a frame, overwritten).
    void Render(const Reader& read, uint64_t first, uint32_t count, int outputs, float* out);

    double Rt60() const { return m_rt60; }

  private:
    static constexpr uint32_t kBlock = 256;

    // count frames of input through the network, outputs floats a frame into out (none when
    // out is null).
    void Run(const float* input, uint32_t count, int outputs, float* out);
    // Run's work, the same floats on either: eight frames to a register with AVX, or four.
    void RunLines(const float* input, uint32_t count, int outputs, float* out);
#if defined(__x86_64__) || defined(__i386__)
    [[gnu::target("avx")]] void RunWide(const float* input, uint32_t count, int outputs,
                                        float* out);
#endif
    void Reset();

    uint32_t m_rate;
    double m_rt60;
    uint32_t m_lead;  // frames the input waits before it enters the network
    std::array<uint32_t, kLines> m_lengths{};
    std::array<float, kLines> m_loss{};
    std::array<float, kLines> m_in{};
    float m_scale = 1.0f;         // of every output
    std::vector<float> m_buffer;  // the lines one after another
    std::array<uint32_t, kLines> m_offset{};
    std::array<uint32_t, kLines> m_at{};
    uint64_t m_next = 0;  // the heard frame the network has reached
    bool m_bStarted = false;
    std::vector<float> m_input;
    uint32_t m_shortest = 1;
    std::vector<float> m_taps;  // a block's frames of each line, one line after another
};
