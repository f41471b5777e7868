#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
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
    // Instead of Add: measures the samples an export has written, read back from its file
    // (dataBytes of whole frames from byte dataStart) once the writing is done. Still in the
    // page cache, they cost a copy into a small buffer, where Add copies each block into fresh
    // memory (a page fault a page) and holds the writing back while the meter lags. The
    // loudness is measured on the calling thread and the true peak on another, each reading
    // the file through, while the disk takes what the writing left. Throws CFileException, and
    // as Add does.
    void MeasureWritten(const std::string& path, uint64_t dataStart, uint64_t dataBytes);
    // False where SetMeasuring turned measuring off: Add and MeasureWritten measure nothing.
    bool IsMeasuring() const { return m_bMeasuring; }
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
    // Decodes count bytes, whole frames, in pieces of samples (the buffer) into meter.
    void Decode(const uint8_t* bytes, size_t count, std::vector<float>& samples,
                LoudnessMeter& meter) const;
    // With m_mutex held by lock: until the thread holds nothing and nothing waits.
    void AwaitIdle(std::unique_lock<std::mutex>& lock);

    PcmFormat m_format;
    std::vector<LoudnessWeight> m_weights;
    bool m_bMeasuring;
    LoudnessMeter m_meter;
    std::optional<Result> m_written;  // what MeasureWritten found

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::vector<uint8_t>> m_waiting;
    std::vector<std::vector<uint8_t>> m_spare;  // buffers to reuse
    bool m_bBusy = false;                       // the thread holds a block
    bool m_bStop = false;
    std::exception_ptr m_failure;  // what the measuring threw; it stops then
    std::thread m_thread;
};
