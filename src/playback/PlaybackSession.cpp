#include "playback/PlaybackSession.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "deliver/AmbisonicsExport.h"
#include "deliver/SofaSetChoice.h"
#include "deliver/SofaTrajectoryRender.h"
#include "deliver/StereoExport.h"
#include "document/CTesselDoc.h"
#include "platform/UserPrompts.h"
#include "playback/LoudspeakerPlayback.h"
#include "playback/Mixer.h"
#include "playback/PlaybackClock.h"
#include "playback/PlaybackHost.h"
#include "playback/PlaybackListener.h"
#include "playback/TrackedBinauralFeed.h"
#include "render/SpeakerLayout.h"

namespace {

// Program-wide, so a notice can never be mistaken for one of another session's play.
uint32_t g_lastPlay = 0;

// The binaural render's wave: the renderer's floats as they are, left and right.
constexpr uint16_t kFloatTag = 3;
constexpr uint32_t kFloatFrameBytes = 8;

}  // namespace

class PlaybackSession::AheadRender {
  public:
    virtual ~AheadRender() = default;
    // Renders on to at least frame until of the sound (or the span's end) into out, which holds
    // the span from its first frame; the frames of the span out holds so far.
    virtual uint32_t RenderSpanTo(uint32_t until, uint8_t* out) = 0;
};

namespace {

class FilterAhead : public PlaybackSession::AheadRender {
  public:
    explicit FilterAhead(std::unique_ptr<StereoExport> render) : m_pRender(std::move(render)) {}
    uint32_t RenderSpanTo(uint32_t until, uint8_t* out) override {
        return m_pRender->RenderSpanTo(until, out);
    }

  private:
    std::unique_ptr<StereoExport> m_pRender;
};

// The loudspeaker export's feeds at the sound's rate, scaled down as the export scales them,
// in OpenAL's channel order.
class LoudspeakerAhead : public PlaybackSession::AheadRender {
  public:
    LoudspeakerAhead(const CTesselDoc& document, const SpeakerLayout& layout, uint32_t first,
                     uint32_t last)
        : m_export(RenderInput::OfDocument(document), document.GetPanPoints(), Options(layout),
                   SceneSpace::Of(document)),
          m_order(LoudspeakerPlayback::DeviceOrder(layout)),
          m_gain(m_export.OutputGain()),
          m_first(first),
          m_last(last),
          m_next(first) {}
    uint32_t RenderSpanTo(uint32_t until, uint8_t* out) override {
        constexpr uint32_t kStep = 8192;
        const size_t channels = m_order.size();
        const uint32_t end = std::min(until, m_last);
        while (m_next < end) {
            const uint32_t count = std::min(kStep, end - m_next);
            m_feeds.assign(size_t{count} * channels, 0.0f);
            m_export.RenderSpan(m_next, count, m_feeds.data());
            float* to = reinterpret_cast<float*>(out) + size_t{m_next - m_first} * channels;
            for (size_t f = 0; f < count; ++f) {
                for (size_t k = 0; k < channels; ++k) {
                    to[f * channels + k] =
                        m_feeds[f * channels + static_cast<size_t>(m_order[k])] * m_gain;
                }
            }
            m_next += count;
        }
        return m_next - m_first;
    }

  private:
    static AmbisonicsExport::Options Options(const SpeakerLayout& layout) {
        AmbisonicsExport::Options options;
        options.format = SampleFormat::F32;
        options.pLayout = &layout;
        return options;
    }

    AmbisonicsExport m_export;
    std::vector<int> m_order;
    float m_gain;
    uint32_t m_first;
    uint32_t m_last;
    uint32_t m_next;
    std::vector<float> m_feeds;
};

class BinauralAhead : public PlaybackSession::AheadRender {
  public:
    BinauralAhead(const CTesselDoc& document, std::shared_ptr<const HrtfFilterBank> bank,
                  uint32_t first, uint32_t last)
        : m_pInput(RenderInput::OfDocument(document)),
          m_render(*m_pInput, document.GetPanPoints(), std::move(bank), SceneSpace::Of(document)),
          m_first(first),
          m_last(last),
          m_next(first) {
        m_render.Seek(first);
    }
    uint32_t RenderSpanTo(uint32_t until, uint8_t* out) override {
        const uint32_t end = std::min(until, m_last);
        if (m_next < end) {
            const uint32_t frames = end - m_next;
            m_render.Render(reinterpret_cast<float*>(out) + size_t{m_next - m_first} * 2, frames);
            m_next = end;
        }
        return m_next - m_first;
    }

  private:
    std::unique_ptr<RenderInput> m_pInput;
    SofaTrajectoryRender m_render;
    uint32_t m_first;
    uint32_t m_last;
    uint32_t m_next;
};

}  // namespace

PlaybackSession::PlaybackSession(PlaybackHost& host, std::unique_ptr<PlaybackClock> clock)
    : m_host(host), m_pClock(std::move(clock)) {
    m_pClock->Connect([this] { Tick(); }, [this](uint32_t play) { OnWaveDone(play); });
}

PlaybackSession::~PlaybackSession() {
    m_listeners.Clear();
    ReleaseWave();
}

void PlaybackSession::ReleaseWave() {
    Stop();
    FreeWave();
}

std::optional<PlaybackSession::RecordMode> PlaybackSession::Armed() const {
    return m_bRecordArmed ? std::optional(m_recordMode) : std::nullopt;
}

void PlaybackSession::SetRecordArmed(bool bArmed) {
    m_bRecordArmed = bArmed;
    if (m_pDoc != nullptr) {
        m_pDoc->Recording().Arm(Armed());
    }
}

void PlaybackSession::SetRecordMode(RecordMode mode) {
    m_recordMode = mode;
    if (m_pDoc != nullptr && m_bRecordArmed) {
        m_pDoc->Recording().Arm(Armed());
    }
}

void PlaybackSession::AddListener(PlaybackListener* listener) {
    m_listeners.Add(listener);
}

void PlaybackSession::RemoveListener(PlaybackListener* listener) {
    m_listeners.Remove(listener);
}

bool PlaybackSession::Play(CTesselDoc& document, uint32_t start, int64_t end) {
    Stop();
    FreeWave();
    m_host.OpenMixerSession(document.GetFormat().sampleRate);
    const AmbrelWaveMixSession session = m_host.GetMixerSession();
    if (session == 0) {
        return false;
    }
    const uint32_t frames = document.GetFrameCount();
    const uint32_t last = end < 0 || end > frames ? frames : static_cast<uint32_t>(end);
    const uint32_t first = start > last ? last : start;
    const PcmFormat& pcm = document.GetFormat();
    MixerPcmFormat format{};
    format.formatTag = pcm.formatTag;
    format.channels = pcm.channels;
    format.sampleRate = pcm.sampleRate;
    format.avgBytesPerSec = pcm.avgBytesPerSec;
    format.blockAlign = pcm.blockAlign;
    format.bitsPerSample = pcm.bitsPerSample;
    MixerWaveSource source{};
    source.format = &format;

    bool bRefused = false;
    m_bThroughFilter = RenderThroughFilter(document, first, last, format, source, bRefused);
    if (bRefused) {
        return false;
    }
    Mixer& mixer = m_host.GetMixer();
    if (m_pTracked) {
        m_hWave = mixer.OpenWaveReader(session, m_pTracked->Reader(), AMBREL_WAVEMIX_WAVE_MIXED);
    } else if (m_bThroughFilter) {
        m_hWave = mixer.OpenWave(
            session, source,
            AMBREL_WAVEMIX_WAVE_MEMORY | AMBREL_WAVEMIX_WAVE_MIXED | AMBREL_WAVEMIX_WAVE_GROWING);
    } else {
        // The mixer's feeder reads the document's samples as floats, through a render input of
        // its own that shares them: they stay whole until the wave is freed.
        m_pFeed = std::make_unique<Feed>(Feed{RenderInput::OfDocument(document), first});
        MixerWaveReader reader{};
        reader.size = sizeof reader;
        reader.channels = static_cast<uint16_t>(m_pFeed->input->Channels());
        reader.sampleRate = pcm.sampleRate;
        reader.frameCount = last - first;
        reader.read = [](void* user, uint32_t frame, uint32_t count, float* out) {
            Feed& feed = *static_cast<Feed*>(user);
            feed.input->Read(feed.first + frame, count, out);
        };
        reader.user = m_pFeed.get();
        m_hWave = mixer.OpenWaveReader(session, reader, 0);
    }
    if (m_hWave == 0) {
        m_pFeed.reset();
        m_host.ReportMixerError(mixer.GetLastError());
        return false;
    }
    if (m_bThroughFilter && !m_pTracked) {
        // Ready before it plays, so the first buffers are queued at once.
        uint32_t fed = 0;
        if (const int code = mixer.SetWaveReady(session, m_hWave, m_filterReady, fed)) {
            m_host.ReportMixerError(code);
            FreeWave();
            return false;
        }
    }
    m_pWaveDoc = &document;
    document.AddListener(this);
    m_playStart = first;
    m_bPlaces = PlacesSound(document);
    m_pStage = std::make_unique<Propagation>(
        document.GetPanPoints(), frames,
        Propagation::Setup{document.GetFormat().sampleRate, CursorMode(), SceneSpace{}});
    m_bSegmentStale = false;
    const std::optional<Arrival> place = m_pStage->At(first);
    m_bStepping = place.has_value();
    const int32_t direction = place ? static_cast<int32_t>(place->azimuth) : 0;

    // The rendered wave carries its own directions; the mixer only ends any place.
    int code = m_bPlaces && !m_bThroughFilter
                   ? SendPlace(place.value_or(Arrival{}), AMBREL_WAVEMIX_POSITION_INITIAL)
                   : mixer.SetPosition(session, 0, AMBREL_WAVEMIX_POSITION_INITIAL,
                                       MixerPosition{direction, 0, 0});
    if (code == 0) {
        code = mixer.SetVolume(session, 0, 0, 32767);
    }
    if (code == 0) {
        m_play = ++g_lastPlay;
        MixerPlayParams params{};
        params.size = sizeof params;
        params.waveDone = m_pClock->WaveDoneProc();
        params.waveDoneUser = reinterpret_cast<void*>(static_cast<uintptr_t>(m_play));
        code = mixer.PlayEx(session, 0, AMBREL_WAVEMIX_PLAY_NOW, m_hWave, 0, params);
    }
    if (code != 0) {
        m_host.ReportMixerError(code);
        FreeWave();
        return false;
    }
    m_pDoc = &document;
    m_playEnd = last;
    m_bReading = true;
    m_heard = first;
    m_host.AnnouncePlayback();
    m_pClock->Start(kTickPeriodMs);
    m_listeners.Tell(
        [&](PlaybackListener& listener) { listener.OnPlaybackStarted(document, first); });
    // After the views heard of it: they let go of a point in hand before a pass rewrites it.
    if (m_pDoc == &document) {
        document.Recording().Started(first, Armed(), *this);
    }
    return true;
}

void PlaybackSession::Tick() {
    if (m_pDoc == nullptr) {
        return;
    }
    CTesselDoc& document = *m_pDoc;
    Mixer& mixer = m_host.GetMixer();
    const AmbrelWaveMixSession session = m_host.GetMixerSession();
    PlaybackTick tick;
    if (m_bThroughFilter && m_pSofa && m_host.GetBinauralSet() != m_pSofa) {
        // Another set was chosen: heard from the first frame the mixer has not taken.
        m_bSegmentStale = true;
    }
    if (m_bThroughFilter && m_bSegmentStale && !RenderAgainFromFed(document)) {
        // No render of the new path: play again from the frame heard, as the preview.
        const std::optional<uint32_t> heard = ReadHeardFrame();
        Play(document, heard.value_or(m_playStart), m_playEnd);
        return;
    }
    if (m_bThroughFilter && !m_pTracked) {
        RenderAhead();
    }
    if (m_bStepping || m_bSegmentStale) {
        uint32_t position = 0;
        int code =
            mixer.GetPlayPosition(session, 0, m_hWave, position, AMBREL_WAVEMIX_POSITION_FRAMES);
        if (code == 0 && m_bPlaces) {
            const std::optional<Arrival> arrival = StepCursor(position);
            if (arrival) {
                tick.place = SoundPlace{arrival->azimuth, arrival->elevation, arrival->distanceCm,
                                        arrival->width};
                tick.direction = FrontalFold(NormalAzimuth(std::lround(arrival->azimuth)));
                code = m_bThroughFilter ? 0 : SendPlace(*arrival, 0);
            }
        } else if (code == 0) {
            tick.direction = StepDirection(position);
            if (tick.direction) {
                tick.place =
                    SoundPlace{static_cast<double>(*tick.direction), 0.0, kDefaultDistanceCm, 0.0};
                code = m_bThroughFilter
                           ? 0
                           : mixer.SetPosition(session, 0, 0, MixerPosition{*tick.direction, 0, 0});
            }
        }
        if (code != 0) {
            // The sound goes on in its last direction; the play position still shows.
            m_host.ReportMixerError(code);
            m_bStepping = false;
            m_bSegmentStale = false;
            tick.direction.reset();
        }
    }
    if (m_pDoc != &document) {
        return;  // stopped while the error box was up
    }
    tick.heardFrame = ReadHeardFrame();
    if (tick.heardFrame) {
        // A pass writes what was performed up to the frame heard; the next tick plays it.
        document.Recording().Tick(*tick.heardFrame);
    }
    m_listeners.Tell([&](PlaybackListener& listener) { listener.OnPlaybackTick(document, tick); });
}

TrajectoryCursor::Mode PlaybackSession::CursorMode() const {
    return m_bPlaces ? TrajectoryCursor::Mode::AllAround : TrajectoryCursor::Mode::Frontal;
}

std::optional<Arrival> PlaybackSession::StepCursor(uint32_t position) {
    if (m_bSegmentStale) {
        // The edited path, from the frame playing now; it may have changed mode too.
        m_pStage->SetMode(CursorMode());
        m_pStage->Invalidate();
        m_bSegmentStale = false;
    }
    // An emptied trajectory leaves the sound where it was.
    const std::optional<Arrival> arrival = m_pStage->At(uint64_t{position} + m_playStart);
    if (arrival) {
        m_bStepping = true;
    }
    return arrival;
}

std::optional<int32_t> PlaybackSession::StepDirection(uint32_t position) {
    const std::optional<Arrival> arrival = StepCursor(position);
    if (!arrival) {
        return std::nullopt;
    }
    return static_cast<int32_t>(arrival->azimuth);
}

std::optional<SoundPlace> PlaybackSession::StepPlace(uint32_t position) {
    const std::optional<Arrival> arrival = StepCursor(position);
    if (!arrival) {
        return std::nullopt;
    }
    return SoundPlace{arrival->azimuth, arrival->elevation, arrival->distanceCm, arrival->width};
}

bool PlaybackSession::PlacesSound(const CTesselDoc& document) {
    const PanPointList& points = document.GetPanPoints();
    return document.GetFormat().channels == 2 ? !points.IsEmpty() : !IsFrontal(points);
}

std::unique_ptr<PlaybackSession::AheadRender> PlaybackSession::MakeAheadRender(CTesselDoc& document,
                                                                               uint32_t first,
                                                                               uint32_t last) {
    if (m_pLayout != nullptr) {
        return std::make_unique<LoudspeakerAhead>(document, *m_pLayout, first, last);
    }
    if (m_pSofa) {
        const HrtfFilterBank::Prepared prepared = m_pSofa->BankAt(document.GetFormat().sampleRate);
        if (prepared.bank == nullptr) {
            return nullptr;
        }
        return std::make_unique<BinauralAhead>(document, prepared.bank, first, last);
    }
    auto render = std::make_unique<StereoExport>(RenderInput::OfDocument(document),
                                                 document.GetPanPoints(), SceneSpace::Of(document));
    if (!render->StartSpan(first, last)) {
        return nullptr;
    }
    return std::make_unique<FilterAhead>(std::move(render));
}

bool PlaybackSession::RenderThroughFilter(CTesselDoc& document, uint32_t first, uint32_t last,
                                          MixerPcmFormat& format, MixerWaveSource& source,
                                          bool& bRefused) {
    m_pSofa.reset();
    m_pLayout = nullptr;
    const PcmFormat& pcm = document.GetFormat();
    PcmFormat output{};
    if (m_host.IsPlayThroughBinaural()) {
        m_pSofa = m_host.GetBinauralSet();
    }
    if (m_pSofa) {
        // A set that cannot serve is said, and nothing plays in its place.
        const HrtfFilterBank::Prepared prepared = m_pSofa->BankAt(pcm.sampleRate);
        if (prepared.bank == nullptr) {
            m_host.Prompts().Message(prepared.message);
            m_pSofa.reset();
            bRefused = true;
            return false;
        }
        const std::shared_ptr<const TrackedHead> head = m_host.GetTrackedHead();
        if (head && !document.GetPanPoints().IsEmpty()) {
            // Rendered as the mixer takes it, the head read at each buffer.
            m_pTracked =
                std::make_unique<TrackedBinauralFeed>(document, prepared.bank, head, first, last);
            m_playStart = first;
            m_renderFirst = 0;
            m_filterReady = 0;
            m_filterFed = 0;
            return true;
        }
        output.formatTag = kFloatTag;
        output.channels = 2;
        output.bitsPerSample = 32;
        output.blockAlign = kFloatFrameBytes;
        output.avgBytesPerSec = pcm.sampleRate * kFloatFrameBytes;
    } else if (m_host.IsPlayThroughFilter()) {
        const std::optional<PcmFormat> filtered =
            StereoExport::OutputFormat(pcm, document.GetFrameCount());
        if (!filtered) {
            return false;
        }
        output = *filtered;
    } else if ((m_pLayout = ChooseLayout()) != nullptr) {
        output.formatTag = kFloatTag;
        output.channels = static_cast<uint16_t>(m_pLayout->ChannelCount());
        output.bitsPerSample = 32;
        output.blockAlign = static_cast<uint16_t>(output.channels * 4);
        output.avgBytesPerSec = pcm.sampleRate * output.blockAlign;
    } else {
        return false;
    }
    if (document.GetPanPoints().IsEmpty() ||
        uint64_t{last - first} * output.blockAlign > UINT32_MAX) {
        m_pSofa.reset();
        m_pLayout = nullptr;
        return false;
    }
    std::unique_ptr<AheadRender> render = MakeAheadRender(document, first, last);
    const size_t bytes = size_t{last - first} * output.blockAlign;
    // calloc leaves the pages untouched until the render reaches them.
    std::unique_ptr<uint8_t, FreeBytes> filtered(
        static_cast<uint8_t*>(std::calloc(std::max<size_t>(bytes, 1), 1)));
    if (!filtered || !render) {
        m_pSofa.reset();
        m_pLayout = nullptr;
        return false;
    }
    m_pRender = std::move(render);
    m_pFiltered = std::move(filtered);
    m_renderFrameBytes = output.blockAlign;
    m_playStart = first;
    m_renderFirst = 0;
    m_filterReady = 0;
    m_filterFed = 0;
    // The wave is not open yet: this only fills the first stretch.
    const uint64_t lead = uint64_t{pcm.sampleRate} * m_filterLeadMs / 1000u;
    m_filterReady = m_pRender->RenderSpanTo(
        static_cast<uint32_t>(std::min<uint64_t>(first + lead, UINT32_MAX)), m_pFiltered.get());
    format.formatTag = output.formatTag;
    format.channels = output.channels;
    format.bitsPerSample = output.bitsPerSample;
    format.blockAlign = output.blockAlign;
    format.avgBytesPerSec = output.avgBytesPerSec;
    source.data = m_pFiltered.get();
    source.byteCount = static_cast<uint32_t>(bytes);
    return true;
}

const SpeakerLayout* PlaybackSession::ChooseLayout() {
    m_loudspeakerNote.clear();
    const SpeakerLayout* layout = m_host.GetPlaybackLayout();
    if (layout == nullptr) {
        return nullptr;
    }
    m_loudspeakerNote =
        LoudspeakerPlayback::Unavailable(m_host.GetMixer(), m_host.GetMixerSession(), *layout);
    return m_loudspeakerNote.empty() ? layout : nullptr;
}

bool PlaybackSession::RenderAgainFromFed(CTesselDoc& document) {
    if (document.GetPanPoints().IsEmpty()) {
        return false;
    }
    Mixer& mixer = m_host.GetMixer();
    const AmbrelWaveMixSession session = m_host.GetMixerSession();
    // Nothing past what the mixer has taken may be read while it is rendered again.
    uint32_t fed = 0;
    if (mixer.SetWaveReady(session, m_hWave, 0, fed) != 0) {
        return false;
    }
    if (m_pTracked) {
        // The feed takes the new render over from the first frame the mixer reads next.
        m_pSofa = m_host.GetBinauralSet();
        const HrtfFilterBank::Prepared prepared =
            m_pSofa ? m_pSofa->BankAt(document.GetFormat().sampleRate) : HrtfFilterBank::Prepared{};
        if (prepared.bank == nullptr) {
            return false;
        }
        m_pTracked->Renew(document, prepared.bank);
        return true;
    }
    // A binaural render goes on with the set chosen now; one of the mixer's plays afresh.
    const bool bBinaural = m_pSofa != nullptr;
    if (bBinaural) {
        m_pSofa = m_host.GetBinauralSet();
    }
    std::unique_ptr<AheadRender> render;
    if (!bBinaural || m_pSofa) {
        render = MakeAheadRender(document, m_playStart + fed, m_playEnd);
    }
    if (!render) {
        mixer.SetWaveReady(session, m_hWave, m_filterReady, fed);
        return false;
    }
    m_pRender = std::move(render);
    m_renderFirst = fed;
    m_filterReady = fed;
    m_filterFed = fed;
    RenderAhead();
    return true;
}

void PlaybackSession::RenderAhead() {
    const uint64_t lead = uint64_t{m_pDoc->GetFormat().sampleRate} * m_filterLeadMs / 1000u;
    const uint64_t until = uint64_t{m_playStart} + m_filterFed + lead;
    const size_t frameBytes = m_renderFrameBytes;
    m_filterReady =
        m_renderFirst +
        m_pRender->RenderSpanTo(static_cast<uint32_t>(std::min<uint64_t>(until, UINT32_MAX)),
                                m_pFiltered.get() + m_renderFirst * frameBytes);
    uint32_t fed = 0;
    // A failed answer leaves the mixer at what it was told last: it starves, never misreads.
    if (m_host.GetMixer().SetWaveReady(m_host.GetMixerSession(), m_hWave, m_filterReady, fed) ==
        0) {
        m_filterFed = fed;
    }
}

std::optional<PlaybackSession::FilterQueue> PlaybackSession::ReadFilterQueue() {
    uint32_t fed = 0;
    if (!IsPlayingThroughFilter() ||
        m_host.GetMixer().SetWaveReady(m_host.GetMixerSession(), m_hWave,
                                       AMBREL_WAVEMIX_READY_UNCHANGED, fed) != 0) {
        return std::nullopt;
    }
    // Rendered as it is taken, the feed has ready what the mixer has.
    return FilterQueue{m_renderFirst, m_pTracked ? fed : m_filterReady, fed};
}

int PlaybackSession::SendPlace(const Arrival& place, uint32_t flags) {
    MixerPlace sent{};
    sent.size = sizeof sent;
    sent.azimuth = NormalAzimuth(std::lround(place.azimuth));
    sent.elevation = std::clamp(static_cast<int32_t>(std::lround(place.elevation)), -kMaxElevation,
                                kMaxElevation);
    sent.distanceCm = static_cast<uint32_t>(std::clamp<long>(
        std::lround(place.distanceCm), long{kNearestDistanceCm}, long{kFarthestDistanceCm}));
    sent.width = std::clamp(static_cast<int32_t>(std::lround(place.width)), 0, kMaxWidth);
    sent.gain = static_cast<float>(place.gain);
    return m_host.GetMixer().SetPlace(m_host.GetMixerSession(), 0, flags, sent);
}

std::optional<uint32_t> PlaybackSession::ReadHeardFrame() {
    uint32_t position = 0;
    uint32_t latencyUs = 0;
    // A failed read leaves the direction to go on; the play position just stops showing.
    if (!m_bReading || m_host.GetMixer().GetOutputPosition(m_host.GetMixerSession(), 0, m_hWave,
                                                           position, latencyUs) != 0) {
        m_bReading = false;
        m_heard.reset();
        return std::nullopt;
    }
    m_heard = HeardFrame(m_playStart, position, latencyUs, m_pDoc->GetFormat().sampleRate);
    return m_heard;
}

void PlaybackSession::OnTrajectoryChanged(CTesselDoc& document) {
    if (&document == m_pDoc) {
        m_bSegmentStale = true;
        // An edit may take the trajectory off the front half-circle, or back onto it.
        m_bPlaces = PlacesSound(document);
    }
}

void PlaybackSession::OnAcousticsChanged(CTesselDoc& document) {
    if (&document == m_pDoc) {
        // A render of the filter, the binaural set or the loudspeakers goes on in the new
        // space from the first frame the mixer has not taken.
        m_bSegmentStale = true;
    }
}

void PlaybackSession::OnDocumentClosing(CTesselDoc& document) {
    StopDocument(document);
    if (&document == m_pWaveDoc) {
        FreeWave();
    }
}

void PlaybackSession::StopDocument(const CTesselDoc& document) {
    if (&document == m_pDoc) {
        Stop();
    }
}

void PlaybackSession::OnWaveDone(uint32_t play) {
    if (m_pDoc == nullptr || play != m_play) {
        return;
    }
    CTesselDoc& document = *m_pDoc;
    const uint32_t start = m_playStart;
    const uint32_t end = m_playEnd;
    // A loop ends each round as a playback of its own, so what listens (a recording pass)
    // closes and opens again; an empty range would come round at once and never rest.
    Finish(true);
    if (m_bLoop && end > start) {
        Play(document, start, end);
    }
}

void PlaybackSession::Stop() {
    if (m_pDoc != nullptr) {
        Finish(false);
    }
}

void PlaybackSession::Finish(bool bPlayedOut) {
    CTesselDoc& document = *m_pDoc;
    PlaybackStop stop;
    stop.bPlayedOut = bPlayedOut;
    stop.playStart = m_playStart;
    stop.playEnd = m_playEnd;
    Mixer& mixer = m_host.GetMixer();
    const AmbrelWaveMixSession session = m_host.GetMixerSession();
    // The position is read before the channel stops, or it would read the stop point.
    if (!bPlayedOut && m_host.IsCursorFollow()) {
        uint32_t position = 0;
        const int code =
            mixer.GetPlayPosition(session, 0, m_hWave, position, AMBREL_WAVEMIX_POSITION_FRAMES);
        if (code != 0) {
            m_host.Prompts().Message("Error #" + std::to_string(code) +
                                     " (AmbrelWaveMixGetPlayPosition)");
        } else if (uint64_t{position} + m_playStart < uint64_t{document.GetFrameCount()} - 1) {
            stop.stopFrame = position + m_playStart;
        }
    }
    // A recording pass ends at the frame last heard, or at the range's end when played out.
    std::optional<uint32_t> last = m_heard;
    if (bPlayedOut) {
        last = m_playEnd > m_playStart ? m_playEnd - 1 : m_playStart;
    } else if (document.IsRecording()) {
        last = ReadHeardFrame().value_or(last.value_or(m_playStart));
    }
    m_pClock->Stop();
    mixer.StopChannel(session, 0, 0);
    m_pDoc = nullptr;
    m_heard.reset();
    m_pStage.reset();
    m_bPlaces = false;
    m_bStepping = false;
    m_bSegmentStale = false;
    m_bReading = false;
    document.Recording().Stopped(last.value_or(m_playStart));
    m_listeners.Tell(
        [&](PlaybackListener& listener) { listener.OnPlaybackStopped(document, stop); });
}

void PlaybackSession::FreeWave() {
    if (m_pWaveDoc != nullptr) {
        m_pWaveDoc->RemoveListener(this);
        m_pWaveDoc = nullptr;
    }
    if (m_hWave != 0) {
        const int code = m_host.GetMixer().FreeWave(m_host.GetMixerSession(), m_hWave);
        if (code != 0) {
            m_host.ReportMixerError(code);
        }
        m_hWave = 0;
    }
    // The mixer reads the render and the samples no more.
    m_pRender.reset();
    m_pSofa.reset();
    m_pFiltered.reset();
    m_pFeed.reset();
    m_pTracked.reset();
}

uint32_t PlaybackSession::HeardFrame(uint32_t playStart, uint32_t position, uint32_t latencyUs,
                                     uint32_t rate) {
    const uint64_t latencyFrames = uint64_t{latencyUs} * rate / 1000000u;
    const uint64_t heard = position > latencyFrames ? position - latencyFrames : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(uint64_t{playStart} + heard, UINT32_MAX));
}
