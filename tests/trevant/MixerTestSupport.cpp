#include "MixerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

#include "support/TempDir.h"

namespace mixertest {

namespace {

TempDir* g_pWriterDir = nullptr;

}  // namespace

WaveWriterEnvironment::WaveWriterEnvironment(std::string general) : m_general(std::move(general)) {}

WaveWriterEnvironment::~WaveWriterEnvironment() = default;

void WaveWriterEnvironment::SetUp() {
    m_dir = std::make_unique<TempDir>();
    g_pWriterDir = m_dir.get();
    const std::string conf = m_dir->File("alsoft.conf");
    std::ofstream(conf) << "[general]\ndrivers=wave\n"
                        << m_general << "[wave]\nfile=" << OutputPath() << "\n";
    ::setenv("ALSOFT_CONF", conf.c_str(), 1);
    ::unsetenv("ALSOFT_DRIVERS");
}

void WaveWriterEnvironment::TearDown() {
    g_pWriterDir = nullptr;
    m_dir.reset();
}

std::string WaveWriterEnvironment::OutputPath() {
    return g_pWriterDir->File("out.wav");
}

std::vector<unsigned char> MakeTone(uint32_t rate, uint32_t frames, double hz, int bits,
                                    double amplitude) {
    std::vector<unsigned char> bytes;
    for (uint32_t i = 0; i < frames; ++i) {
        const double value = amplitude * std::sin(2.0 * std::numbers::pi * hz * i / rate);
        if (bits == 8) {
            bytes.push_back(static_cast<unsigned char>(128 + std::lround(value * 127.0)));
        } else {
            const auto sample = static_cast<int16_t>(std::lround(value * 32767.0));
            unsigned char raw[2];
            std::memcpy(raw, &sample, 2);
            bytes.insert(bytes.end(), raw, raw + 2);
        }
    }
    return bytes;
}

std::vector<unsigned char> Interleave(const std::vector<unsigned char>& left,
                                      const std::vector<unsigned char>& right) {
    std::vector<unsigned char> stereo(left.size() * 2);
    for (size_t frame = 0; frame < left.size() / 2; ++frame) {
        std::copy_n(&left[frame * 2], 2, &stereo[frame * 4]);
        std::copy_n(&right[frame * 2], 2, &stereo[frame * 4 + 2]);
    }
    return stereo;
}

MixerPcmFormat MakeFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
    const auto align = static_cast<uint16_t>(channels * bits / 8);
    return MixerPcmFormat{1, channels, rate, rate * align, align, bits};
}

MixerSessionConfig MakeConfig(uint32_t rate) {
    MixerSessionConfig config{};
    config.size = sizeof(MixerSessionConfig);
    config.sampleRate = rate;
    config.channels = 1;
    return config;
}

void DoneCounter::Callback(void* user, uint32_t channel) {
    auto* self = static_cast<DoneCounter*>(user);
    std::lock_guard<std::mutex> lock(self->m_lock);
    ++self->m_count;
    self->m_lastChannel = channel;
    self->m_changed.notify_all();
}

MixerPlayParams DoneCounter::Params() {
    MixerPlayParams params{};
    params.size = sizeof(MixerPlayParams);
    params.waveDone = &DoneCounter::Callback;
    params.waveDoneUser = this;
    return params;
}

bool DoneCounter::Wait(int n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_count >= n; });
}

int DoneCounter::Count() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_count;
}

uint32_t DoneCounter::LastChannel() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_lastChannel;
}

namespace {

uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace

bool ReadFloatWavFrames(const std::string& path, unsigned& channels, uint32_t& rate,
                        std::vector<float>& frames, uint32_t* pMask) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool bFloat = false;
    channels = 0;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint32_t size = Le32(&file[pos + 4]);
        const unsigned char* body = &file[pos + 8];
        if (std::memcmp(&file[pos], "fmt ", 4) == 0 && size >= 16) {
            const unsigned tag = body[0] | (body[1] << 8);
            channels = body[2] | (body[3] << 8);
            const unsigned bits = body[14] | (body[15] << 8);
            // WAVE_FORMAT_EXTENSIBLE carries the float tag in its sub-format.
            const unsigned subTag = size >= 26 ? (body[24] | (body[25] << 8)) : 0;
            bFloat = (tag == 3 || (tag == 0xFFFE && subTag == 3)) && channels > 0 && bits == 32;
            rate = Le32(body + 4);
            if (pMask != nullptr) {
                *pMask = tag == 0xFFFE && size >= 24 ? Le32(body + 20) : 0;
            }
        } else if (std::memcmp(&file[pos], "data", 4) == 0) {
            if (!bFloat) {
                return false;
            }
            // The writer may not have put the final size in: take what is there.
            const size_t available = file.size() - pos - 8;
            const size_t bytes = size == 0 || size > available ? available : size;
            const size_t frameBytes = size_t{channels} * 4;
            frames.resize(bytes / frameBytes * channels);
            std::memcpy(frames.data(), body, frames.size() * 4);
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

bool ReadFloatWav(const std::string& path, StereoCapture* capture) {
    unsigned channels = 0;
    std::vector<float> frames;
    if (!ReadFloatWavFrames(path, channels, capture->rate, frames) || channels != 2) {
        return false;
    }
    for (size_t i = 0; i + 1 < frames.size(); i += 2) {
        capture->left.push_back(frames[i]);
        capture->right.push_back(frames[i + 1]);
    }
    return true;
}

double Rms(const std::vector<float>& v, size_t begin, size_t end) {
    if (end <= begin) {
        return 0.0;
    }
    double sum = 0.0;
    for (size_t i = begin; i < end; ++i) {
        sum += double{v[i]} * v[i];
    }
    return std::sqrt(sum / static_cast<double>(end - begin));
}

double Db(double ratio) {
    return 20.0 * std::log10(ratio);
}

namespace {

bool IsSilent(const StereoCapture& capture, size_t i) {
    return std::fabs(capture.left[i]) + std::fabs(capture.right[i]) <= 1e-3f;
}

}  // namespace

std::vector<Span> StarvedRuns(const StereoCapture& capture, size_t begin, size_t end) {
    std::vector<Span> runs;
    end = std::min(end, capture.left.size());
    for (size_t i = begin; i < end;) {
        size_t j = i;
        while (j < end && IsSilent(capture, j)) {
            ++j;
        }
        if (j - i >= kStarvedFrames) {
            runs.push_back({i, j});
        }
        i = j + 1;
    }
    return runs;
}

std::pair<double, double> FedLevels(const StereoCapture& capture, size_t begin, size_t end) {
    double left = 0.0;
    double right = 0.0;
    size_t count = 0;
    const std::vector<Span> pauses = StarvedRuns(capture, begin, end);
    if (!pauses.empty()) {
        std::printf("[measured] the output paused %zu times in [%zu, %zu): measured around\n",
                    pauses.size(), begin, end);
    }
    // The stretches between the pauses, each without the frames of a restart.
    size_t from = begin;
    for (size_t i = begin; i < end; ++i) {
        const auto pause = std::find_if(pauses.begin(), pauses.end(),
                                        [&](const Span& p) { return i >= p.begin && i < p.end; });
        if (pause != pauses.end()) {
            from = pause->end + kRestartFrames;
        }
        if (i < from) {
            continue;
        }
        left += double{capture.left[i]} * capture.left[i];
        right += double{capture.right[i]} * capture.right[i];
        ++count;
    }
    const size_t rate = capture.rate != 0 ? capture.rate : 44100;
    if (count < rate / 100) {
        ADD_FAILURE() << "less than 10 ms of [" << begin << ", " << end
                      << ") played without a pause: nothing to measure";
        return {0.0, 0.0};
    }
    return {std::sqrt(left / double(count)), std::sqrt(right / double(count))};
}

size_t AfterSoundingFrames(const StereoCapture& capture, size_t from, size_t frames) {
    size_t at = from;
    for (const Span& run : StarvedRuns(capture, 0, capture.left.size())) {
        if (run.end <= at) {
            continue;
        }
        if (run.begin > at) {
            if (run.begin - at > frames) {
                break;
            }
            frames -= run.begin - at;
        }
        at = run.end;  // a pause holds none of the frames, and from inside one, sound resumes
    }
    return at + frames;
}

}  // namespace mixertest
