#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "trevant/trevant.h"

// Tones, a wave-done counter and float WAV reading for the mixer tests.
namespace mixertest {

// A mono sine tone: 16-bit signed, or 8-bit unsigned around 128.
std::vector<unsigned char> MakeTone(uint32_t rate, uint32_t frames, double hz, int bits,
                                    double amplitude = 0.5);
// A 16-bit stereo wave of two 16-bit mono waves of one length.
std::vector<unsigned char> Interleave(const std::vector<unsigned char>& left,
                                      const std::vector<unsigned char>& right);
MixerPcmFormat MakeFormat(uint32_t rate, uint16_t channels, uint16_t bits);
MixerSessionConfig MakeConfig(uint32_t rate);

// Counts wave-done calls; Wait blocks until the count reaches n or the time runs out.
class DoneCounter {
  public:
    static void Callback(void* user, uint32_t channel);
    MixerPlayParams Params();
    bool Wait(int n, int timeoutMs);
    int Count();
    uint32_t LastChannel();

  private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_count = 0;
    uint32_t m_lastChannel = 0xFFFFFFFF;
};

// The interleaved stereo frames of a 32-bit float (format tag 3) WAV file.
struct StereoCapture {
    std::vector<float> left;
    std::vector<float> right;
    uint32_t rate = 0;
};
bool ReadFloatWav(const std::string& path, StereoCapture* capture);
// Root mean square of v[begin, end).
double Rms(const std::vector<float>& v, size_t begin, size_t end);
double Db(double ratio);

}  // namespace mixertest
