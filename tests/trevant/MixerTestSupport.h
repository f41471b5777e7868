#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <memory>

#include "trevant/trevant.h"

class TempDir;

// Tones, a wave-done counter and float WAV reading for the mixer tests.
namespace mixertest {

// Points OpenAL Soft at its wave-file writer, writing OutputPath() in a folder of its own, with
// general (lines for its [general] section, such as "channels=surround51\n") added.
class WaveWriterEnvironment : public ::testing::Environment {
  public:
    explicit WaveWriterEnvironment(std::string general = "");
    ~WaveWriterEnvironment() override;
    void SetUp() override;
    void TearDown() override;
    static std::string OutputPath();

  private:
    std::string m_general;
    std::unique_ptr<TempDir> m_dir;
};

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
// The interleaved frames of a 32-bit float WAV file of any number of channels, and the
// channel mask where the header is extensible (else 0).
bool ReadFloatWavFrames(const std::string& path, unsigned& channels, uint32_t& rate,
                        std::vector<float>& frames, uint32_t* pMask = nullptr);
// Root mean square of v[begin, end).
double Rms(const std::vector<float>& v, size_t begin, size_t end);
double Db(double ratio);

// Frames [begin, end) of a capture.
struct Span {
    size_t begin = 0;
    size_t end = 0;
};

// The writer runs in real time: on a busy machine the feeder may not refill the source in
// time, the source runs dry and restarts, and the capture holds silence the sound never had.
// A run of this many silent frames inside a tone of 440 Hz or more is such a pause; the tone
// itself never stays near zero half as long.
constexpr size_t kStarvedFrames = 64;
// After a pause the source restarts: so many frames after it are not measured either.
constexpr size_t kRestartFrames = 220;

// The pauses of [begin, end): runs of kStarvedFrames or more silent frames.
std::vector<Span> StarvedRuns(const StereoCapture& capture, size_t begin, size_t end);
// Left and right RMS over the stretches of [begin, end) the capture proves were fed in time:
// between the pauses, each without kRestartFrames after a pause. Fails the test when they hold
// less than 10 ms to measure.
std::pair<double, double> FedLevels(const StereoCapture& capture, size_t begin, size_t end);
// The capture frame that lies frames frames of sound after from, pauses not counted; from
// inside a pause, counted from its end.
size_t AfterSoundingFrames(const StereoCapture& capture, size_t from, size_t frames);

}  // namespace mixertest
