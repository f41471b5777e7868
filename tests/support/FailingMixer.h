#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "playback/Mixer.h"

// A mixer in front of another that makes chosen calls fail: each queued code is returned by
// the next call of its operation ("InitEx", "SetOptions", "Activate", "OpenChannel",
// "OpenWave", "FreeWave", "SetWaveReady", "SetPosition", "SetPlace", "SetVolume", "PlayEx",
// "GetPlayPosition", "GetOutputPosition", "StopChannel"), which then does nothing else. A failed
// InitEx or OpenWave leaves its code for GetLastError, as the library does. A failure queued for
// "InitEx" also fails InitOutput, the same opening with options. Every other call goes to the
// mixer behind.
class FailingMixer : public Mixer {
  public:
    explicit FailingMixer(Mixer& inner);

    void FailNext(const std::string& operation, int code);
    void Clear();

    // What passed through, for the tests to read on the calling thread: each wave's source
    // each direction and each place set, in order.
    std::vector<MixerWaveSource> openedWaves;
    std::vector<MixerWaveReader> openedReaders;
    std::vector<int32_t> directions;
    std::vector<MixerPlace> places;

    AmbrelWaveMixSession InitEx(const MixerSessionConfig& config) override;
    AmbrelWaveMixSession InitOutput(const MixerSessionConfig& config,
                                    const MixerOutputOptions& options) override;
    int GetHrtfState(AmbrelWaveMixSession session, MixerHrtfState& state) override;
    // The mixer behind's answer, or the count ReportOutputChannels gave: the OpenAL Soft of
    // Debian 12 cannot tell, so a test says what its wave writer was configured to play.
    int GetOutputChannels(AmbrelWaveMixSession session, uint32_t& channels) override;
    void ReportOutputChannels(uint32_t channels) { m_reportedChannels = channels; }
    int GetLastError() override;
    int SetOptions(AmbrelWaveMixSession session, uint32_t set, uint32_t clear) override;
    int Activate(AmbrelWaveMixSession session, uint32_t activate) override;
    int OpenChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) override;
    AmbrelWaveMixWave OpenWave(AmbrelWaveMixSession session, const MixerWaveSource& source,
                               uint32_t flags) override;
    AmbrelWaveMixWave OpenWaveReader(AmbrelWaveMixSession session, const MixerWaveReader& reader,
                                     uint32_t flags) override;
    int FreeWave(AmbrelWaveMixSession session, AmbrelWaveMixWave wave) override;
    int SetWaveReady(AmbrelWaveMixSession session, AmbrelWaveMixWave wave, uint32_t frames,
                     uint32_t& fed) override;
    int SetPosition(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                    const MixerPosition& position) override;
    int SetPlace(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                 const MixerPlace& place) override;
    int SetVolume(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
                  uint32_t volume) override;
    int PlayEx(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags,
               AmbrelWaveMixWave wave, uint32_t loops, const MixerPlayParams& params) override;
    int GetPlayPosition(AmbrelWaveMixSession session, uint32_t channel, AmbrelWaveMixWave wave,
                        uint32_t& position, uint32_t flags) override;
    int GetOutputPosition(AmbrelWaveMixSession session, uint32_t channel, AmbrelWaveMixWave wave,
                          uint32_t& position, uint32_t& latencyUs) override;
    int StopChannel(AmbrelWaveMixSession session, uint32_t channel, uint32_t flags) override;
    int CloseSession(AmbrelWaveMixSession session) override;

  private:
    // The queued code for this call of operation, or 0 to pass the call on.
    int Take(const std::string& operation);
    template <class Call>
    int Pass(const char* operation, Call call) {
        const int code = Take(operation);
        return code != 0 ? code : call();
    }

    Mixer& m_inner;
    std::mutex m_lock;
    std::map<std::string, std::deque<int>> m_failures;
    // The code of the last injected InitEx or OpenWave failure, until a real one follows.
    int m_injectedError = 0;
    uint32_t m_reportedChannels = 0;  // 0: ask the mixer behind
};
