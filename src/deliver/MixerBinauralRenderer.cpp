#include "deliver/MixerBinauralRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "scene/RenderInput.h"
#include "trajectory/PanPointList.h"
#include "trajectory/SoundPlace.h"

namespace {

// No early stop: mix on after the wave's end, or to the end of a block.
constexpr uint32_t kNoStop = std::numeric_limits<uint32_t>::max();

}  // namespace

MixerBinauralRenderer::~MixerBinauralRenderer() = default;

std::string MixerBinauralRenderer::Open(const Wave& wave) {
    if (wave.input == nullptr || wave.points == nullptr) {
        return "The binaural renderer was given no sound to render.";
    }
    if (wave.space.acoustics.room) {
        return "A room is heard through Sonomap's own binaural renderer, which the mixer's HRTF "
               "sets do not drive: choose a SOFA set (Preferences, or --hrtf FILE.sofa).";
    }
    RenderInput& input = *wave.input;
    m_pInput = &input;
    m_pPropagation = std::make_unique<Propagation>(
        *wave.points, input.Frames(),
        Propagation::Setup{input.Rate(), TrajectoryCursor::ModeOf(*wave.points), wave.space});
    m_bTwoSources = input.Channels() == 2 && !m_pPropagation->IsFrontal();
    m_frames = static_cast<uint32_t>(std::min<uint64_t>(m_pPropagation->HeardFrames(), UINT32_MAX));
    Stream stream;
    stream.channels = m_bTwoSources ? 2 : 1;
    stream.sampleRate = input.Rate();
    stream.frameCount = m_frames;
    stream.read = [this, channels = stream.channels](uint32_t first, uint32_t count, float* out) {
        m_pPropagation->Hear(
            [this, channels](uint32_t from, uint32_t frames, float* to) {
                if (channels == m_pInput->Channels()) {
                    m_pInput->Read(from, frames, to);
                } else {
                    // In whole 16-bit steps, as the mixer's 16-bit mix of an 8- or 16-bit sound
                    // held it.
                    m_pInput->ReadMono(from, frames, to, 1.0f, true);
                }
            },
            channels, first, count, out);
    };
    std::string error = OpenMix(stream);
    if (!error.empty()) {
        return error;
    }
    const uint32_t rate = input.Rate();
    const uint32_t outputRate = OutputRate();
    if (outputRate == rate || rate == 0) {
        m_outputFrames = m_frames;
    } else {
        const uint64_t frames = (uint64_t{m_frames} * outputRate + rate / 2) / uint64_t{rate};
        m_outputFrames = static_cast<uint32_t>(std::min<uint64_t>(frames, UINT32_MAX));
    }
    m_position = 0;
    m_done = 0;
    m_lastPan.reset();
    m_lastPlace.reset();
    return {};
}

bool MixerBinauralRenderer::SendPlace(uint32_t position) {
    const Arrival arrival = m_pPropagation->At(position).value_or(Arrival{});
    PanPoint whole;
    SetAzimuth(whole, std::lround(arrival.azimuth));
    whole.elevation = static_cast<int32_t>(std::lround(arrival.elevation));
    whole.distanceCm = static_cast<uint32_t>(std::lround(arrival.distanceCm));
    whole.width = static_cast<int32_t>(std::lround(arrival.width));
    const auto gain = static_cast<float>(arrival.gain);
    if (m_lastPlace == whole && m_lastGain == gain) {
        return true;
    }
    if (!SetPlace(whole, gain)) {
        return false;
    }
    m_lastPlace = whole;
    m_lastGain = gain;
    return true;
}

bool MixerBinauralRenderer::Render(float* out, uint32_t maxFrames, uint32_t& rendered) {
    rendered = 0;
    maxFrames = std::min(maxFrames, m_outputFrames - std::min(m_done, m_outputFrames));
    const bool bPlaces = !m_pPropagation->IsFrontal();
    while (rendered < maxFrames) {
        uint32_t until = kNoStop;
        if (bPlaces && m_position < m_frames) {
            // Runs of output frames, not a stop at a wave frame: the place moves on smoothly, so
            // it need not land on an exact frame.
            if (!SendPlace(m_position)) {
                return false;
            }
        } else if (m_position < m_frames) {
            if (const std::optional<ArrivalRun> run = m_pPropagation->Run(m_position, kNoStop)) {
                const auto pan = static_cast<int32_t>(run->start.azimuth);
                if (pan != m_lastPan) {
                    if (!SetDirection(pan)) {
                        return false;
                    }
                    m_lastPan = pan;
                }
                until = static_cast<uint32_t>(std::min<uint64_t>(run->end, UINT32_MAX));
            }
        }
        uint32_t room = maxFrames - rendered;
        if (bPlaces) {
            room = std::min(room, kPlaceRunFrames);
        }
        uint32_t mixed = 0;
        if (!MixFrames(out + size_t{rendered} * 2, room, until, mixed, m_position)) {
            return false;
        }
        rendered += mixed;
        if (mixed == 0 && until == kNoStop) {
            break;  // the mixer has nothing more to give
        }
    }
    m_done += rendered;
    return true;
}
