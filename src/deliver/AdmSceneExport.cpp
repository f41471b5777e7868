#include "deliver/AdmSceneExport.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "deliver/AdmExportCommand.h"
#include "deliver/ExportTarget.h"
#include "deliver/RateStream.h"
#include "document/DocumentHost.h"
#include "formats/AdmMetadata.h"
#include "formats/ImportResampler.h"
#include "platform/UserPrompts.h"
#include "render/TpdfDither.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "trajectory/AdmTrajectory.h"
#include "trajectory/PanPointList.h"

struct AdmSceneExport::Voice {
    SceneSource source;
    std::unique_ptr<Propagation> stage;  // the source as it reaches the listener
    uint64_t frames = 0;                 // at the output rate
    uint64_t sounding = 0;               // frames written, from the onset
    std::unique_ptr<RateStream> stream;  // the stage's frames at the output rate, once started

    // Starts the source's frames afresh from its first.
    void Start(uint32_t rate) {
        RenderInput& input = *source.input;
        stage->Invalidate();
        stream = std::make_unique<RateStream>(
            input.Channels(), input.Rate(), rate, stage->HeardFrames(),
            [this, at = uint64_t{0}](float* out, uint32_t count, std::string&) mutable -> int64_t {
                const uint64_t heard = stage->HeardFrames();
                const auto made = static_cast<uint32_t>(std::min<uint64_t>(count, heard - at));
                RenderInput& from = *source.input;
                stage->Hear(
                    [&from](uint32_t first, uint32_t n, float* to) { from.Read(first, n, to); },
                    from.Channels(), at, made, out);
                at += made;
                return made;
            });
    }
};

namespace {

// Source frames pulled at a time.
constexpr uint64_t kChunkFrames = 8192;

// Tracks of one file share no dither sequence, or their noise would add up in a mix of them.
uint32_t DitherSeed(size_t track) {
    return 0x2545F491u + 0x9E3779B9u * static_cast<uint32_t>(track);
}

int Fineness(SampleFormat format) {
    return format == SampleFormat::F32 ? 2 : format == SampleFormat::S24 ? 1 : 0;
}

SampleFormat OwnFormat(const PcmFormat& format) {
    if (format.formatTag == kFormatTagFloat) {
        return SampleFormat::F32;
    }
    return format.bitsPerSample > 16 ? SampleFormat::S24 : SampleFormat::S16;
}

// The blocks of a voice's channels over the frames it sounds, in output frames from its
// onset: the trajectory walked to the source frame of the cut, its times brought to the
// output rate.
std::vector<std::vector<AdmBlock>> VoiceBlocks(const PanPointList& points, uint32_t sourceRate,
                                               uint32_t sourceFrames, uint32_t rate,
                                               uint64_t sounding, uint16_t channels,
                                               const HeadTurn& head) {
    const auto toSource = [&](uint64_t frame) {
        return sourceRate == rate ? frame : ImportResampler::MapPosition(frame, rate, sourceRate);
    };
    const auto toOutput = [&](uint64_t frame) {
        return static_cast<uint32_t>(std::min<uint64_t>(
            sounding,
            sourceRate == rate ? frame : ImportResampler::MapPosition(frame, sourceRate, rate)));
    };
    const auto cut = static_cast<uint32_t>(std::min<uint64_t>(sourceFrames, toSource(sounding)));
    std::vector<std::vector<AdmBlock>> blocks =
        AdmTrajectory::ChannelBlocks(points, std::max<uint32_t>(cut, 1u), channels, head);
    for (std::vector<AdmBlock>& channel : blocks) {
        for (AdmBlock& block : channel) {
            const uint32_t start = toOutput(block.start);
            block.length = toOutput(uint64_t{block.start} + block.length) - start;
            block.start = start;
            block.place.position = toOutput(block.place.position);
        }
        // The last block reaches the object's end whatever the rounding.
        if (!channel.empty() && channel.back().start + channel.back().length < sounding) {
            channel.back().length = static_cast<uint32_t>(sounding) - channel.back().start;
        }
    }
    return blocks;
}

}  // namespace

AdmSceneExport::AdmSceneExport(Scene scene, std::optional<SampleFormat> format, uint32_t rate,
                               std::optional<uint64_t> length)
    : m_format(format), m_rate(rate), m_length(length), m_space(scene.space) {
    for (SceneSource& source : scene.sources) {
        if (m_rate == 0) {
            m_rate = source.input->Rate();
        }
        auto voice = std::make_unique<Voice>();
        const uint32_t sourceRate = source.input->Rate();
        voice->stage = std::make_unique<Propagation>(
            *source.points, source.input->Frames(),
            Propagation::Setup{sourceRate, TrajectoryCursor::Mode::AllAround, m_space});
        const uint64_t heard = voice->stage->HeardFrames();
        voice->frames =
            sourceRate == m_rate ? heard : ImportResampler::OutputFrames(heard, sourceRate, m_rate);
        voice->source = std::move(source);
        m_voices.push_back(std::move(voice));
    }
}

AdmSceneExport::~AdmSceneExport() = default;

uint64_t AdmSceneExport::SourceFrames(size_t index) const {
    return m_voices[index]->frames;
}

uint64_t AdmSceneExport::OutputFrames() const {
    if (m_length) {
        return *m_length;
    }
    uint64_t end = 0;
    for (const auto& voice : m_voices) {
        end = std::max(end, voice->source.onset + voice->frames);
    }
    return end;
}

bool AdmSceneExport::RenderTo(const std::string& path, const std::string& title,
                              DocumentHost& host) {
    UserPrompts& prompts = host.Prompts();
    const uint64_t frames = OutputFrames();
    if (frames > UINT32_MAX) {
        prompts.Message("An ADM scene holds at most 4294967295 frames.");
        return false;
    }
    // Every check and the pass for the peaks run before the output exists, so a refusal leaves
    // nothing behind.
    std::vector<Voice*> sounding;
    std::vector<AdmObjectSpan> spans;
    std::vector<std::vector<AdmBlock>> blocks;
    SampleFormat finest = SampleFormat::S16;
    for (const auto& voice : m_voices) {
        const SceneSource& source = voice->source;
        RenderInput& input = *source.input;
        if (source.onset >= frames || voice->frames == 0) {
            continue;
        }
        if (source.points == nullptr || source.points->IsEmpty()) {
            ExportTarget::RefuseWithoutPoints(prompts);
            return false;
        }
        if (const std::string why = m_space.Refusal(*source.points, input.Frames(), input.Rate());
            !why.empty()) {
            prompts.Message(source.name + ": " + why);
            return false;
        }
        const int channels = input.Channels();
        if (channels < 1 || channels > 2 ||
            spans.size() + static_cast<size_t>(channels) > kMaxTracks) {
            prompts.Message(channels < 1 || channels > 2 ? "Unsupported sample format!"
                                                         : "An ADM scene holds at most 64 tracks.");
            return false;
        }
        voice->sounding = std::min(voice->frames, frames - source.onset);
        const std::vector<std::vector<AdmBlock>> own =
            VoiceBlocks(*source.points, input.Rate(), voice->stage->HeardFrames(), m_rate,
                        voice->sounding, static_cast<uint16_t>(channels), m_space.listener.head);
        const char* kSides[] = {" left", " right"};
        for (int channel = 0; channel < channels; ++channel) {
            spans.push_back({channels == 1 ? source.name : source.name + kSides[channel],
                             static_cast<uint32_t>(source.onset),
                             static_cast<uint32_t>(voice->sounding)});
            blocks.push_back(own[static_cast<size_t>(channel)]);
        }
        if (Fineness(OwnFormat(input.Format())) > Fineness(finest)) {
            finest = OwnFormat(input.Format());
        }
        sounding.push_back(voice.get());
    }
    if (sounding.empty()) {
        prompts.Message("No event sounds before the scene's end.");
        return false;
    }
    // One scale for every track, so the sounds keep their balance: the peaks of what sounds.
    double loudest = 0.0;
    std::vector<float> chunk;
    for (Voice* voice : sounding) {
        voice->Start(m_rate);
        const auto channels = static_cast<size_t>(voice->source.input->Channels());
        double peak = 0.0;
        for (uint64_t at = 0; at < voice->sounding; at += kChunkFrames) {
            const auto count = std::min<uint64_t>(kChunkFrames, voice->sounding - at);
            chunk.resize(static_cast<size_t>(count) * channels);
            std::string error;
            if (!voice->stream->Pull(chunk.data(), count, error)) {
                prompts.Message(error);
                return false;
            }
            peak =
                std::max(peak, static_cast<double>(TpdfDither::Peak(chunk.data(), chunk.size())));
        }
        if (!voice->source.input->IsOk()) {
            prompts.Message(voice->source.name + " could not be read.");
            return false;
        }
        loudest = std::max(loudest, peak * voice->source.gain);
        voice->Start(m_rate);
    }
    const SampleFormat target = m_format.value_or(finest);
    PcmFormat format{};
    format.formatTag = IsFloatFormat(target) ? kFormatTagFloat : kFormatTagPcm;
    format.channels = static_cast<uint16_t>(spans.size());
    format.sampleRate = m_rate;
    format.bitsPerSample = static_cast<uint16_t>(SampleFormatBits(target));
    format.blockAlign = static_cast<uint16_t>(format.channels * format.bitsPerSample / 8);
    format.avgBytesPerSec = format.sampleRate * format.blockAlign;

    const float limit = TpdfDither::PeakLimit(target);
    const double scale = loudest > limit ? limit / loudest : 1.0;

    // Each track's samples, quantised on their own as the export quantises one sound's.
    struct Track {
        const Voice* voice;
        int channel;
        float gain;
        bool bDither;
        TpdfDither dither;
    };
    std::vector<Track> tracks;
    for (const Voice* voice : sounding) {
        const RenderInput& input = *voice->source.input;
        const auto gain = static_cast<float>(voice->source.gain * scale * m_level);
        const bool bDither = AdmExportCommand::NeedsDither(input.Format(), format, gain) ||
                             (format.formatTag != kFormatTagFloat &&
                              (input.Rate() != m_rate || !voice->stage->IsDry()));
        for (int channel = 0; channel < input.Channels(); ++channel) {
            tracks.push_back(
                {voice, channel, gain, bDither, TpdfDither(DitherSeed(tracks.size()))});
        }
    }
    const size_t sampleBytes = format.bitsPerSample / 8u;
    std::vector<uint8_t> out;
    std::vector<float> column;
    std::vector<uint8_t> quantised;
    std::vector<std::vector<float>> pulled(sounding.size());
    bool bPulled = true;
    std::string pullError;
    const auto convert = [&](uint32_t first, uint32_t count) -> const uint8_t* {
        out.assign(size_t{count} * format.blockAlign, 0);
        // Each voice's frames of this block, in order from its onset.
        for (size_t v = 0; v < sounding.size(); ++v) {
            Voice& voice = *sounding[v];
            const uint64_t onset = voice.source.onset;
            const uint64_t from = std::max<uint64_t>(first, onset);
            const uint64_t to = std::min<uint64_t>(uint64_t{first} + count, onset + voice.sounding);
            pulled[v].resize(from < to ? static_cast<size_t>(to - from) *
                                             static_cast<size_t>(voice.source.input->Channels())
                                       : 0);
            if (from < to && !voice.stream->Pull(pulled[v].data(), to - from, pullError)) {
                bPulled = false;
                return nullptr;
            }
        }
        for (size_t t = 0; t < tracks.size(); ++t) {
            Track& track = tracks[t];
            const auto v = static_cast<size_t>(
                std::find(sounding.begin(), sounding.end(), track.voice) - sounding.begin());
            const uint64_t onset = track.voice->source.onset;
            const uint64_t from = std::max<uint64_t>(first, onset);
            const uint64_t to =
                std::min<uint64_t>(uint64_t{first} + count, onset + track.voice->sounding);
            if (from >= to) {
                continue;  // silence: no dither on it
            }
            const auto channels = static_cast<size_t>(track.voice->source.input->Channels());
            column.resize(static_cast<size_t>(to - from));
            for (size_t i = 0; i < column.size(); ++i) {
                column[i] = pulled[v][i * channels + static_cast<size_t>(track.channel)];
            }
            quantised.resize(column.size() * sampleBytes);
            track.dither.QuantizeTo(column.data(), column.size(), track.gain, target,
                                    quantised.data(), track.bDither);
            uint8_t* at = out.data() + static_cast<size_t>(from - first) * format.blockAlign +
                          t * sampleBytes;
            for (size_t i = 0; i < column.size(); ++i, at += format.blockAlign) {
                std::copy_n(quantised.data() + i * sampleBytes, sampleBytes, at);
            }
        }
        return out.data();
    };
    const std::vector<uint8_t> axml =
        BuildAxmlChunk(blocks, title, m_rate, format.bitsPerSample, static_cast<uint32_t>(frames),
                       &spans, nullptr, AdmTrajectory::HeadNote(m_space.listener.head));
    const bool bWritten = AdmExportCommand::WriteFile(host, path, format, axml,
                                                      static_cast<uint32_t>(frames), convert);
    if (!bPulled) {
        prompts.Message(pullError);  // why the samples could not be made
    }
    return bWritten;
}
