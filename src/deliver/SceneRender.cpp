#include "deliver/SceneRender.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <utility>

#include "deliver/BlockWriter.h"
#include "deliver/ExportLoudness.h"
#include "deliver/ExportTarget.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/SceneVoice.h"
#include "deliver/SofaSceneVoice.h"
#include "deliver/StereoSceneVoice.h"
#include "formats/CSoundFile.h"
#include "formats/CWaveFile.h"
#include "formats/ImportResampler.h"
#include "platform/CFileException.h"
#include "platform/PathNames.h"
#include "platform/SpillFile.h"
#include "platform/UserPrompts.h"
#include "render/AmbisonicsEncoder.h"
#include "render/LoudnessMeter.h"
#include "render/SpeakerLayout.h"
#include "scene/Propagation.h"
#include "scene/RenderInput.h"
#include "trajectory/PanPointList.h"

namespace {

// A source's renderer reads and encodes blocks this long: many may sound at once.
constexpr uint32_t kVoiceBlockFrames = 2048;

}  // namespace

// One source of the scene. Its renderer (an AmbiX or loudspeaker encoding, or a two-channel
// voice) exists only while it sounds: made at its onset, gone at its end, so a scene of many
// sources holds the few that sound at once.
struct SceneRender::Voice {
    SceneSource source;  // its input moves into the renderer when that is made
    uint64_t onset = 0;
    float gain = 1.0f;
    uint64_t frames = 0;  // output frames it sounds for
    // The loudest it can give: AmbiX's bound, known before; a two-channel voice's peak, once
    // mixed.
    double loudest = 0.0;
    std::unique_ptr<AmbisonicsExport> exporter;
    std::unique_ptr<SceneVoice> twoChannels;
    bool bEnded = false;

    uint64_t Frames() const { return frames; }
    double Loudest() const { return loudest; }
};

SceneRender::SceneRender(Scene scene, const Output& output)
    : m_output(output),
      m_channels(output.kind != Output::Kind::Ambisonics ? SceneVoice::kChannels
                 : output.options.pLayout != nullptr
                     ? static_cast<int>(output.options.pLayout->ChannelCount())
                     : AmbisonicsEncoder::ChannelCount(std::clamp(output.options.order, 1, 3))) {
    m_space = scene.space;
    for (SceneSource& source : scene.sources) {
        if (m_output.options.rate == 0) {
            m_output.options.rate = source.input->Rate();
        }
        auto voice = std::make_unique<Voice>();
        voice->onset = source.onset;
        voice->gain = source.gain;
        // Its length and bound as its renderer will find them, without making it yet.
        RenderInput& input = *source.input;
        const Propagation stage(*source.points, input.Frames(),
                                {input.Rate(), TrajectoryCursor::Mode::AllAround, m_space});
        voice->frames = input.Rate() == m_output.options.rate
                            ? stage.HeardFrames()
                            : ImportResampler::OutputFrames(stage.HeardFrames(), input.Rate(),
                                                            m_output.options.rate);
        if (m_output.kind == Output::Kind::Ambisonics && !m_space.acoustics.room) {
            voice->loudest = input.PeakSum() * stage.LargestGain();
        }
        voice->source = std::move(source);
        m_voices.push_back(std::move(voice));
    }
}

void SceneRender::Start(Voice& voice) {
    SceneSource& source = voice.source;
    const uint32_t rate = m_output.options.rate;
    switch (m_output.kind) {
        case Output::Kind::Ambisonics:
            voice.exporter = std::make_unique<AmbisonicsExport>(
                std::move(source.input), *source.points, m_output.options, m_space);
            voice.exporter->UseBlockFrames(kVoiceBlockFrames);
            if (m_output.pResampled != nullptr) {
                voice.exporter->ShareResampling(*m_output.pResampled, source.identity);
            }
            break;
        case Output::Kind::Stereo:
            voice.twoChannels = std::make_unique<StereoSceneVoice>(std::move(source.input),
                                                                   *source.points, rate, m_space);
            break;
        case Output::Kind::Binaural:
            voice.twoChannels = std::make_unique<SofaSceneVoice>(
                std::move(source.input), *source.points, m_output.sofa, rate, m_space);
            break;
    }
}

void SceneRender::End(Voice& voice) {
    if (voice.twoChannels) {
        voice.loudest = voice.twoChannels->Loudest();
    } else if (voice.exporter && m_space.acoustics.room) {
        voice.loudest = voice.exporter->AddedPeak();
    }
    voice.exporter.reset();
    voice.twoChannels.reset();
    voice.bEnded = true;
}

SceneRender::~SceneRender() = default;

uint64_t SceneRender::SourceFrames(size_t index) const {
    return m_voices[index]->Frames();
}

uint64_t SceneRender::OutputFrames() const {
    if (m_output.length) {
        return *m_output.length;
    }
    uint64_t end = 0;
    for (const auto& voice : m_voices) {
        end = std::max(end, voice->onset + voice->Frames());
    }
    return end;
}

float SceneRender::OutputGain() const {
    // The loudest moment is bounded by the sum of the bounds of the sources sounding then; it
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
    const float limit = TpdfDither::PeakLimit(m_output.options.format);
    return loudest > limit ? static_cast<float>(limit / loudest) : 1.0f;
}

bool SceneRender::MixBlock(uint64_t first, uint32_t frames, float* mix, UserPrompts& prompts) {
    const uint64_t cut = OutputFrames();
    const uint64_t last = first + frames;
    for (const auto& voice : m_voices) {
        if (voice->bEnded) {
            continue;
        }
        const uint64_t from = std::max(first, voice->onset);
        const uint64_t to = std::min({last, cut, voice->onset + voice->Frames()});
        if (from >= to) {
            continue;
        }
        // Each voice is asked for its frames in order, a block after the last.
        if (!voice->exporter && !voice->twoChannels) {
            Start(*voice);
        }
        float* at = mix + static_cast<size_t>(from - first) * static_cast<size_t>(m_channels);
        if (voice->twoChannels) {
            std::string error;
            if (!voice->twoChannels->AddNext(at, to - from, voice->gain, error)) {
                prompts.Message(error);
                return false;
            }
        } else if (voice->exporter->AddNext(at, to - from, voice->gain) !=
                   AmbisonicsExport::Outcome::Finished) {
            prompts.Message("The sound could not be resampled: " +
                            voice->exporter->ResampleError());
            return false;
        }
        if (to == std::min(cut, voice->onset + voice->Frames())) {
            End(*voice);
        }
    }
    return true;
}

bool SceneRender::RenderTo(const std::string& path, UserPrompts& prompts, int typeId) {
    const uint64_t frames = OutputFrames();
    // Every refusal comes before the output exists.
    std::map<uint64_t, int64_t> starts;  // how many more sound from each frame on
    for (const auto& voice : m_voices) {
        const uint64_t end = std::min(frames, voice->onset + voice->Frames());
        if (voice->onset < end) {
            ++starts[voice->onset];
            --starts[end];
        }
    }
    int64_t sounding = 0;
    for (const auto& [frame, step] : starts) {
        sounding += step;
        if (sounding > static_cast<int64_t>(kMaxSounding)) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "%lld sources sound at once at %.3f s; a scene mixes at most %zu at "
                          "a time.",
                          static_cast<long long>(sounding),
                          static_cast<double>(frame) / std::max<uint32_t>(OutputRate(), 1),
                          kMaxSounding);
            prompts.Message(text);
            return false;
        }
    }
    for (const auto& voice : m_voices) {
        if (voice->onset >= frames) {
            continue;
        }
        if (voice->source.points->IsEmpty()) {
            ExportTarget::RefuseWithoutPoints(prompts);
            return false;
        }
        const RenderInput& input = *voice->source.input;
        if (const std::string why =
                m_space.Refusal(*voice->source.points, input.Frames(), input.Rate());
            !why.empty()) {
            prompts.Message(voice->source.name + ": " + why);
            return false;
        }
    }
    const auto bytes = static_cast<uint32_t>(SampleFormatBits(m_output.options.format) / 8);
    const auto channels = static_cast<size_t>(m_channels);
    PcmFormat format{};
    format.formatTag = IsFloatFormat(m_output.options.format) ? kFormatTagFloat : kFormatTagPcm;
    format.channels = static_cast<uint16_t>(m_channels);
    format.sampleRate = m_output.options.rate;
    format.blockAlign = static_cast<uint16_t>(channels * bytes);
    format.avgBytesPerSec = m_output.options.rate * format.blockAlign;
    format.bitsPerSample = static_cast<uint16_t>(bytes * 8);
    const uint64_t dataBytes = frames * format.blockAlign;

    // Two channels learn their peaks only as they render, and so does a room: the mix waits
    // beside the output for the scaled pass. AmbiX and layouts in free field know their bound
    // and go straight to the file.
    const uint32_t block = AmbisonicsExport::kBlockFrames;
    std::vector<float> mix(size_t{block} * channels);
    std::unique_ptr<SpillFile> spill;
    if (m_output.kind != Output::Kind::Ambisonics || m_space.acoustics.room) {
        spill = SpillFile::Open(PathNames::FolderOf(path));
        if (!spill) {
            prompts.Message("The scene's mix found no room beside " + path +
                            " nor in the temporary folder.");
            return false;
        }
        for (uint64_t at = 0; at < frames; at += block) {
            const auto count = static_cast<uint32_t>(std::min<uint64_t>(block, frames - at));
            std::fill(mix.begin(), mix.end(), 0.0f);
            if (!MixBlock(at, count, mix.data(), prompts)) {
                return false;
            }
            if (!spill->Append(mix.data(), size_t{count} * channels * sizeof(float))) {
                prompts.Message("The scene's mix found no room beside " + path + ".");
                return false;
            }
        }
        if (!spill->Rewind()) {
            prompts.Message("The scene's mix could not be read back.");
            return false;
        }
    }

    // Quantised in the export's blocks, so the dither runs through the same sequence.
    const float gain = OutputGain() * m_output.level;
    std::unique_ptr<ExportLoudness> loudness;
    if (m_output.pMeasureFor != nullptr) {
        loudness = std::make_unique<ExportLoudness>(format, LoudnessWeights());
    }
    TpdfDither dither;
    ExportTarget output(path, typeId);
    if (const SpeakerLayout* layout = m_output.options.pLayout) {
        output.SetWaveSetup([layout, format](CWaveFile& wave) {
            LoudspeakerExportCommand::ShapeWaveHeader(wave, format, *layout);
        });
    }
    bool bFailed = true;
    bool bRefused = false;
    try {
        if (CSoundFile* writer = output.Begin(
                format, static_cast<uint32_t>(std::min<uint64_t>(dataBytes, UINT32_MAX)))) {
            BlockWriter blocks(*writer, static_cast<uint32_t>(size_t{block} * channels * 4));
            blocks.MeasureWith(loudness.get());
            bFailed = false;
            for (uint64_t at = 0; at < frames && !bFailed && !bRefused; at += block) {
                const auto count = static_cast<uint32_t>(std::min<uint64_t>(block, frames - at));
                const size_t samples = size_t{count} * channels;
                if (spill) {
                    bFailed = !spill->Read(mix.data(), samples * sizeof(float));
                } else {
                    std::fill(mix.begin(), mix.end(), 0.0f);
                    bRefused = !MixBlock(at, count, mix.data(), prompts);
                }
                uint8_t* buffer = nullptr;
                while (!bFailed && !bRefused && (buffer = blocks.NextBuffer()) == nullptr) {
                    blocks.AwaitWrite();
                    bFailed = blocks.GetStatus().bFailed;
                }
                if (buffer != nullptr) {
                    dither.QuantizeTo(mix.data(), samples, gain, m_output.options.format, buffer);
                    AmbisonicsExport::SilenceLfe(m_output.options.pLayout, m_output.options.format,
                                                 buffer, samples * bytes);
                    blocks.Queue(static_cast<uint32_t>(samples * bytes));
                }
            }
            blocks.Drain();
            bFailed = bFailed || blocks.GetStatus().bFailed;
        }
    } catch (const CFileException&) {
        bFailed = true;
    }
    if (bRefused) {
        output.Discard(prompts);
        return false;
    }
    const bool bWritten = output.Finish(bFailed, prompts);
    if (bWritten && loudness) {
        loudness->Announce(*m_output.pMeasureFor, path);
    }
    return bWritten;
}

std::vector<LoudnessWeight> SceneRender::LoudnessWeights() const {
    if (m_output.kind != Output::Kind::Ambisonics) {
        return ExportLoudness::UnitWeights(m_channels);
    }
    if (const SpeakerLayout* layout = m_output.options.pLayout) {
        return LoudnessMeter::WeightsFor(*layout);
    }
    // AmbiX by its W, as the Ambisonics export measures it.
    std::vector<LoudnessWeight> weights(static_cast<size_t>(m_channels), LoudnessWeight::LeftOut);
    weights[0] = LoudnessWeight::Unit;
    return weights;
}
