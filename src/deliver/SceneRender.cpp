#include "deliver/SceneRender.h"

#include <algorithm>
#include <map>
#include <utility>

#include "deliver/BlockWriter.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/RenderInput.h"
#include "deliver/SceneVoice.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "platform/CFileException.h"
#include "platform/UserPrompts.h"
#include "render/AmbisonicsEncoder.h"
#include "render/SpeakerLayout.h"
#include "trajectory/PanPointList.h"

// One sound of the scene: an AmbiX or loudspeaker encoding, or a two-channel voice.
struct SceneRender::Voice {
    std::unique_ptr<AmbisonicsExport> exporter;
    std::unique_ptr<SceneVoice> twoChannels;
    uint64_t onset = 0;
    float gain = 1.0f;

    uint64_t Frames() const {
        return exporter ? exporter->OutputFrames() : twoChannels->OutputFrames();
    }
    double Loudest() const { return exporter ? exporter->Loudest() : twoChannels->Loudest(); }
};

SceneRender::SceneRender(const AmbisonicsExport::Options& options, std::optional<uint64_t> length)
    : m_options(options),
      m_length(length),
      m_channels(options.pLayout != nullptr
                     ? static_cast<int>(options.pLayout->ChannelCount())
                     : AmbisonicsEncoder::ChannelCount(std::clamp(options.order, 1, 3))) {}

SceneRender::SceneRender(SampleFormat format, uint32_t rate, std::optional<uint64_t> length)
    : m_length(length), m_channels(SceneVoice::kChannels) {
    m_options.format = format;
    m_options.rate = rate;
}

SceneRender::~SceneRender() = default;

void SceneRender::AddEvent(Event event) {
    if (m_options.rate == 0) {
        m_options.rate = event.input->Rate();
    }
    auto voice = std::make_unique<Voice>();
    voice->exporter =
        std::make_unique<AmbisonicsExport>(std::move(event.input), *event.points, m_options);
    voice->onset = event.onset;
    voice->gain = event.gain;
    m_voices.push_back(std::move(voice));
}

void SceneRender::AddVoice(std::unique_ptr<SceneVoice> voice, uint64_t onset, float gain) {
    auto added = std::make_unique<Voice>();
    added->twoChannels = std::move(voice);
    added->onset = onset;
    added->gain = gain;
    m_voices.push_back(std::move(added));
}

uint32_t SceneRender::OutputRate() const {
    return m_options.rate;
}

int SceneRender::Channels() const {
    return m_channels;
}

uint64_t SceneRender::EventFrames(size_t index) const {
    return m_voices[index]->Frames();
}

uint64_t SceneRender::OutputFrames() const {
    if (m_length) {
        return *m_length;
    }
    uint64_t end = 0;
    for (const auto& voice : m_voices) {
        end = std::max(end, voice->onset + voice->Frames());
    }
    return end;
}

float SceneRender::OutputGain() const {
    // The loudest moment is bounded by the sum of the bounds of the sounds sounding then; it
    // changes only where one starts or ends.
    std::map<uint64_t, double> change;
    const uint64_t frames = OutputFrames();
    for (const auto& voice : m_voices) {
        const uint64_t end = std::min(frames, voice->onset + voice->Frames());
        if (voice->onset < end) {
            const double loudest = voice->Loudest() * voice->gain;
            change[voice->onset] += loudest;
            change[end] -= loudest;
        }
    }
    double now = 0.0, loudest = 0.0;
    for (const auto& [frame, step] : change) {
        now += step;
        loudest = std::max(loudest, now);
    }
    const float limit = TpdfDither::PeakLimit(m_options.format);
    return loudest > limit ? static_cast<float>(limit / loudest) : 1.0f;
}

bool SceneRender::Mix(std::vector<float>& out, UserPrompts& prompts) {
    const int channels = Channels();
    const uint64_t frames = OutputFrames();
    out.assign(static_cast<size_t>(frames) * channels, 0.0f);
    for (const auto& voice : m_voices) {
        if (voice->onset >= frames) {
            continue;
        }
        float* at = out.data() + static_cast<size_t>(voice->onset) * channels;
        if (voice->twoChannels) {
            std::string error;
            if (!voice->twoChannels->AddTo(at, frames - voice->onset, voice->gain, error)) {
                prompts.Message(error);
                return false;
            }
            continue;
        }
        if (!voice->exporter->StartTrajectory()) {
            ExportTarget::RefuseWithoutPoints(prompts);
            return false;
        }
        if (voice->exporter->AddTo(at, frames - voice->onset, voice->gain) !=
            AmbisonicsExport::Outcome::Finished) {
            prompts.Message("The sound could not be resampled: " +
                            voice->exporter->ResampleError());
            return false;
        }
    }
    return true;
}

bool SceneRender::RenderTo(const std::string& path, UserPrompts& prompts, int typeId) {
    std::vector<float> mix;
    if (!Mix(mix, prompts)) {
        return false;
    }
    const int channels = Channels();
    const auto bytes = static_cast<uint32_t>(SampleFormatBits(m_options.format) / 8);
    PcmFormat format{};
    format.formatTag = IsFloatFormat(m_options.format) ? kFormatTagFloat : kFormatTagPcm;
    format.channels = static_cast<uint16_t>(channels);
    format.sampleRate = m_options.rate;
    format.blockAlign = static_cast<uint16_t>(channels * bytes);
    format.avgBytesPerSec = m_options.rate * format.blockAlign;
    format.bitsPerSample = static_cast<uint16_t>(bytes * 8);
    const uint64_t dataBytes = OutputFrames() * format.blockAlign;

    // Quantised in the export's blocks, so the dither runs through the same sequence.
    const size_t block = size_t{AmbisonicsExport::kBlockFrames} * channels;
    const float gain = OutputGain();
    TpdfDither dither;
    ExportTarget output(path, typeId);
    if (const SpeakerLayout* layout = m_options.pLayout) {
        output.SetWaveSetup([layout, format](CWaveFile& wave) {
            LoudspeakerExportCommand::ShapeWaveHeader(wave, format, *layout);
        });
    }
    bool bFailed = true;
    try {
        if (CSoundFile* writer = output.Begin(
                format, static_cast<uint32_t>(std::min<uint64_t>(dataBytes, UINT32_MAX)))) {
            BlockWriter blocks(*writer, static_cast<uint32_t>(block * 4));
            bFailed = false;
            for (size_t at = 0; at < mix.size() && !bFailed; at += block) {
                uint8_t* buffer = nullptr;
                while (!bFailed && (buffer = blocks.NextBuffer()) == nullptr) {
                    blocks.AwaitWrite();
                    bFailed = blocks.GetStatus().bFailed;
                }
                if (buffer != nullptr) {
                    const size_t count = std::min(block, mix.size() - at);
                    dither.QuantizeTo(mix.data() + at, count, gain, m_options.format, buffer);
                    AmbisonicsExport::SilenceLfe(m_options.pLayout, m_options.format, buffer,
                                                 count * bytes);
                    blocks.Queue(static_cast<uint32_t>(count * bytes));
                }
            }
            blocks.Drain();
            bFailed = bFailed || blocks.GetStatus().bFailed;
        }
    } catch (const CFileException&) {
        bFailed = true;
    }
    return output.Finish(bFailed, prompts);
}
