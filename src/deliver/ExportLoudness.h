#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "formats/PcmFormat.h"
#include "render/LoudnessMeter.h"

class DocumentHost;

// Measures what an export writes: each block of sample bytes handed to the output file is
// copied, then decoded and fed to a LoudnessMeter on a thread of its own, so the render never
// waits for the measuring unless kBlocks blocks are behind. Bytes are the file's samples as
// the writers take them (little-endian, interleaved, whole frames).
class ExportLoudness {
  public:
    static constexpr size_t kBlocks = 16;

    struct Result {
        double lufs = 0;      // integrated, -infinity for silence
        double truePeak = 0;  // dBTP, -infinity for silence
    };

    // One weight per channel of format. Throws std::invalid_argument where LoudnessMeter
    // does.
    ExportLoudness(const PcmFormat& format, const std::vector<LoudnessWeight>& weights);
    ~ExportLoudness();  // drops what is not measured yet
    ExportLoudness(const ExportLoudness&) = delete;
    ExportLoudness& operator=(const ExportLoudness&) = delete;

    // Any thread, one at a time. Throws what the measuring threw (std::bad_alloc when the
    // meter ran out of memory); nothing more is measured after that.
    void Add(const void* bytes, uint32_t count);
    // Waits until every block added is measured. Throws as Add does.
    Result Finish();

    // Finish, handed to host.ExportMeasured for path; the text for the export's status line
    // (" Loudness -23.0 LUFS, true peak -1.2 dBTP.").
    std::string Announce(DocumentHost& host, const std::string& path);

    // Benchmarks only: false makes every ExportLoudness made afterwards measure nothing (Add
    // drops the blocks, Finish gives -infinity), so an export's cost can be timed without
    // the measuring in the same run.
    static void SetMeasuring(bool bMeasuring);

    // Every channel counted at 1.
    static std::vector<LoudnessWeight> UnitWeights(int channels);
    // "-23.0 LUFS, true peak -1.2 dBTP"; "-inf" for silence, or loudness of less than 0.4 s
    static std::string Text(const Result& result);

  private:
    void Serve();

    PcmFormat m_format;
    bool m_bMeasuring;
    LoudnessMeter m_meter;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<uint8_t>> m_waiting;
    std::vector<std::vector<uint8_t>> m_spare;  // buffers to reuse
    bool m_bBusy = false;                       // the thread holds a block
    bool m_bStop = false;
    std::exception_ptr m_failure;  // what the measuring threw; it stops then
    std::thread m_thread;
};
