// Loopback renders with the HRTF data sets that are installed, in a process where OpenAL Soft
// has no audio back end at all (see NoDeviceTest.cpp): the HRTF list and the rates it gives,
// what reaches each ear, where a render stops, and misuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "MixerTestSupport.h"
#include "platform/DistanceLaw.h"
#include "trevant/trevant.h"

using namespace mixertest;

namespace {

constexpr uint32_t kNoStop = std::numeric_limits<uint32_t>::max();

struct HrtfEntry {
    std::string name;
    uint32_t rate;
};

std::vector<HrtfEntry> ListHrtfs() {
    std::vector<HrtfEntry> entries;
    const uint32_t count = AmbrelWaveMixEnumerateHrtfs();
    for (uint32_t i = 0; i < count; ++i) {
        char name[256];
        uint32_t rate = 0;
        EXPECT_EQ(AmbrelWaveMixGetHrtfName(i, name, 255, &rate), 0);
        entries.push_back({name, rate});
    }
    return entries;
}

std::string FirstHrtfAt(uint32_t rate) {
    for (const HrtfEntry& entry : ListHrtfs()) {
        if (entry.rate == rate) {
            return entry.name;
        }
    }
    return {};
}

// A render closed at the end of the scope.
class Render {
  public:
    explicit Render(uint32_t rate, uint32_t hrtf = AMBREL_WAVEMIX_HRTF_ON,
                    const char* name = nullptr) {
        MixerRenderConfig config{sizeof(MixerRenderConfig), rate, hrtf, 0, name};
        m_handle = AmbrelWaveMixRenderOpen(&config);
    }
    ~Render() {
        if (m_handle != 0) {
            AmbrelWaveMixRenderClose(m_handle);
        }
    }
    AmbrelWaveMixRender Handle() const { return m_handle; }
    MixerHrtfState State() const {
        MixerHrtfState state{};
        state.size = sizeof state;
        EXPECT_EQ(AmbrelWaveMixRenderGetState(m_handle, &state), 0);
        return state;
    }
    void Start(const std::vector<unsigned char>& samples, uint32_t rate, uint16_t channels = 1) {
        m_format = MakeFormat(rate, channels, 16);
        const MixerWaveSource source{&m_format, samples.data(),
                                     static_cast<uint32_t>(samples.size()), 0, 0};
        ASSERT_EQ(AmbrelWaveMixRenderStart(m_handle, &source), 0);
    }
    void Direction(int32_t degrees) {
        const MixerPosition position{degrees, 0, 0};
        ASSERT_EQ(AmbrelWaveMixRenderSetPosition(m_handle, 0, &position), 0);
    }
    void Place(int32_t azimuth, int32_t elevation, uint32_t distanceCm, int32_t width) {
        // As loud as the distance law has a sound there.
        const MixerPlace place{
            sizeof(MixerPlace), azimuth, elevation,
            distanceCm,         width,   static_cast<float>(DistanceGain(distanceCm))};
        ASSERT_EQ(AmbrelWaveMixRenderSetPlace(m_handle, 0, &place), 0);
    }
    // Renders frames output frames without stopping early.
    StereoCapture Mix(uint32_t frames) {
        std::vector<float> out(size_t{frames} * 2);
        uint32_t rendered = 0;
        uint32_t position = 0;
        EXPECT_EQ(
            AmbrelWaveMixRenderFrames(m_handle, out.data(), frames, kNoStop, &rendered, &position),
            0);
        EXPECT_EQ(rendered, frames);
        StereoCapture capture;
        for (uint32_t i = 0; i < frames; ++i) {
            capture.left.push_back(out[2 * i]);
            capture.right.push_back(out[2 * i + 1]);
        }
        return capture;
    }
    // Renders until the wave has been read up to until; returns the frames rendered.
    uint32_t MixUntil(uint32_t until, uint32_t maxFrames, uint32_t* position) {
        std::vector<float> out(size_t{maxFrames} * 2);
        uint32_t rendered = 0;
        EXPECT_EQ(
            AmbrelWaveMixRenderFrames(m_handle, out.data(), maxFrames, until, &rendered, position),
            0);
        return rendered;
    }

  private:
    AmbrelWaveMixRender m_handle = 0;
    MixerPcmFormat m_format{};
};

std::vector<unsigned char> Click(uint32_t frames, uint32_t at) {
    std::vector<unsigned char> bytes(size_t{frames} * 2, 0);
    const int16_t value = 16000;
    std::memcpy(&bytes[size_t{at} * 2], &value, 2);
    return bytes;
}

size_t PeakAt(const std::vector<float>& v) {
    return static_cast<size_t>(
        std::max_element(v.begin(), v.end(),
                         [](float a, float b) { return std::fabs(a) < std::fabs(b); }) -
        v.begin());
}

}  // namespace

TEST(LoopbackRender, ListsTheInstalledHrtfsEachWithTheRateItIsMadeFor) {
    const std::vector<HrtfEntry> entries = ListHrtfs();
    ASSERT_FALSE(entries.empty()) << "no HRTF data: is libopenal-data installed?";
    std::set<uint32_t> rates;
    for (const HrtfEntry& entry : entries) {
        EXPECT_FALSE(entry.name.empty());
        rates.insert(entry.rate);
    }
    EXPECT_EQ(rates, (std::set<uint32_t>{44100, 48000}));

    // The sound's rate when a data set fits it, else the lowest above, else the highest.
    for (const auto& [sound, device] : {std::pair{8000u, 44100u},
                                        {22050u, 44100u},
                                        {44100u, 44100u},
                                        {44101u, 48000u},
                                        {48000u, 48000u},
                                        {96000u, 48000u}}) {
        EXPECT_EQ(AmbrelWaveMixChooseHrtfRate(sound, nullptr), device) << sound;
    }
    const std::string at48 = FirstHrtfAt(48000);
    EXPECT_EQ(AmbrelWaveMixChooseHrtfRate(22050, at48.c_str()), 48000u);
    EXPECT_EQ(AmbrelWaveMixChooseHrtfRate(22050, "no such HRTF"), 0u);

    char small[4];
    EXPECT_EQ(AmbrelWaveMixGetHrtfName(0, small, 3, nullptr), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixGetHrtfName(static_cast<uint32_t>(entries.size()), small, 3, nullptr),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
}

TEST(LoopbackRender, HrtfOnRunsAtTheRateTheHrtfIsMadeForWhateverTheWavesRate) {
    for (const auto& [wave, device] :
         {std::pair{8000u, 44100u}, {22050u, 44100u}, {44100u, 44100u}, {48000u, 48000u}}) {
        SCOPED_TRACE(wave);
        const Render render(wave);
        ASSERT_NE(render.Handle(), 0u) << AmbrelWaveMixGetLastError();
        const MixerHrtfState state = render.State();
        EXPECT_EQ(state.enabled, 1u);
        EXPECT_EQ(state.sampleRate, device);
        EXPECT_STRNE(state.name, "");
    }
    const std::string at48 = FirstHrtfAt(48000);
    const Render chosen(44100, AMBREL_WAVEMIX_HRTF_ON, at48.c_str());
    ASSERT_NE(chosen.Handle(), 0u);
    EXPECT_EQ(chosen.State().sampleRate, 48000u);
    EXPECT_EQ(chosen.State().name, at48);

    const Render off(22050, AMBREL_WAVEMIX_HRTF_OFF);
    ASSERT_NE(off.Handle(), 0u);
    EXPECT_EQ(off.State().enabled, 0u);
    EXPECT_EQ(off.State().sampleRate, 22050u);
    EXPECT_STREQ(off.State().name, "");

    const Render unknown(44100, AMBREL_WAVEMIX_HRTF_ON, "no such HRTF");
    EXPECT_EQ(unknown.Handle(), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_NO_HRTF);
}

TEST(LoopbackRender, AClickToOneSideReachesThatEarFirstAndLouderAndPlainPanningHasNoDelay) {
    const std::vector<unsigned char> click = Click(2000, 100);
    Render right(44100);
    right.Start(click, 44100);
    right.Direction(90);
    const StereoCapture heard = right.Mix(2000);
    const size_t leftPeak = PeakAt(heard.left);
    const size_t rightPeak = PeakAt(heard.right);
    ASSERT_LT(rightPeak, leftPeak);
    const double delayMs = (leftPeak - rightPeak) * 1000.0 / 44100.0;
    EXPECT_GE(delayMs, 0.4);
    EXPECT_LE(delayMs, 0.9);
    EXPECT_GT(std::fabs(heard.right[rightPeak]), 2.0 * std::fabs(heard.left[leftPeak]));

    Render plain(44100, AMBREL_WAVEMIX_HRTF_OFF);
    plain.Start(click, 44100);
    plain.Direction(-90);
    const StereoCapture panned = plain.Mix(2000);
    EXPECT_EQ(PeakAt(panned.left), 100u);
    EXPECT_LT(Rms(panned.right, 0, 2000), 0.01 * Rms(panned.left, 0, 2000));
}

TEST(LoopbackRender, StopsWhereTheWaveHasBeenReadUpToTheFrameAskedFor) {
    const std::vector<unsigned char> tone = MakeTone(44100, 20000, 440.0, 16);
    Render same(44100);
    same.Start(tone, 44100);
    uint32_t position = 0;
    EXPECT_EQ(same.MixUntil(1000, 5000, &position), 1000u);
    EXPECT_EQ(position, 1000u);
    EXPECT_EQ(same.MixUntil(1000, 5000, &position), 0u);  // read that far already
    EXPECT_EQ(same.MixUntil(kNoStop, 300, &position), 300u);
    EXPECT_EQ(position, 1300u);

    // Upsampled, a render never reads past the frame asked for: it ends on it.
    for (const uint32_t rate : {22050u, 8000u}) {
        SCOPED_TRACE(rate);
        const std::vector<unsigned char> wave = MakeTone(rate, 4000, 440.0, 16);
        Render up(rate);
        up.Start(wave, rate);
        const double ratio = 44100.0 / rate;
        uint32_t read = 0;
        uint32_t total = 0;
        for (const uint32_t until : {1u, 2u, 777u, 1001u, 3999u}) {
            total += up.MixUntil(until, 100000, &read);
            EXPECT_EQ(read, until);
            EXPECT_NEAR(total, until * ratio, ratio + 1.0);
        }
        // To the end and beyond: silence once the wave has played out.
        up.MixUntil(4000, 100000, &read);
        EXPECT_EQ(read, 4000u);
        const StereoCapture after = up.Mix(500);
        EXPECT_EQ(Rms(after.left, 100, 500) + Rms(after.right, 100, 500), 0.0);
    }
}

TEST(LoopbackRender, GivesTheSameSamplesEveryTimeAndIsNotLimited) {
    // A full-scale tone to the right: the HRTF lifts it past full scale, and nothing squashes
    // it; the export scales such a mix down itself.
    const std::vector<unsigned char> tone = MakeTone(48000, 9600, 1000.0, 16, 1.0);
    std::vector<float> first;
    for (int run = 0; run < 2; ++run) {
        Render render(48000);
        render.Start(tone, 48000);
        std::vector<float> both;
        for (int step = 0; step < 4; ++step) {
            render.Direction(90 - 40 * step);
            const StereoCapture part = render.Mix(2400);
            both.insert(both.end(), part.left.begin(), part.left.end());
            both.insert(both.end(), part.right.begin(), part.right.end());
        }
        if (run == 0) {
            first = both;
            EXPECT_GT(*std::max_element(both.begin(), both.end()), 1.05f);
        } else {
            EXPECT_EQ(both, first);
        }
    }
}

TEST(LoopbackRender, MisuseIsAnsweredWithACode) {
    EXPECT_EQ(AmbrelWaveMixRenderOpen(nullptr), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_PARAM);
    MixerRenderConfig config{sizeof(MixerRenderConfig) - 4, 44100, AMBREL_WAVEMIX_HRTF_ON, 0,
                             nullptr};
    EXPECT_EQ(AmbrelWaveMixRenderOpen(&config), 0u);
    config = {sizeof(MixerRenderConfig), 500, AMBREL_WAVEMIX_HRTF_ON, 0, nullptr};
    EXPECT_EQ(AmbrelWaveMixRenderOpen(&config), 0u);
    EXPECT_EQ(AmbrelWaveMixGetLastError(), AMBREL_WAVEMIX_ERR_BAD_CONFIG);
    config = {sizeof(MixerRenderConfig), 44100, 7, 0, nullptr};
    EXPECT_EQ(AmbrelWaveMixRenderOpen(&config), 0u);

    Render render(44100);
    float out[8];
    uint32_t rendered = 0;
    uint32_t position = 0;
    EXPECT_EQ(AmbrelWaveMixRenderFrames(render.Handle(), out, 4, kNoStop, &rendered, &position),
              AMBREL_WAVEMIX_ERR_BAD_WAVE);  // nothing started
    EXPECT_EQ(AmbrelWaveMixRenderFrames(render.Handle(), out, 4, kNoStop, nullptr, &position),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    EXPECT_EQ(AmbrelWaveMixRenderSetPosition(render.Handle(), 0, nullptr),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    const MixerPcmFormat stereo24{1, 2, 44100, 44100 * 6, 6, 24};
    const unsigned char bytes[12] = {};
    const MixerWaveSource source{&stereo24, bytes, 12, 0, 0};
    EXPECT_EQ(AmbrelWaveMixRenderStart(render.Handle(), &source), AMBREL_WAVEMIX_ERR_BAD_FORMAT);

    const AmbrelWaveMixRender gone = 0xFFFFFFF0u;
    EXPECT_EQ(AmbrelWaveMixRenderFrames(gone, out, 4, kNoStop, &rendered, &position),
              AMBREL_WAVEMIX_ERR_BAD_SESSION);
    EXPECT_EQ(AmbrelWaveMixRenderClose(gone), AMBREL_WAVEMIX_ERR_BAD_SESSION);
    MixerHrtfState state{};
    EXPECT_EQ(AmbrelWaveMixRenderGetState(render.Handle(), &state), AMBREL_WAVEMIX_ERR_BAD_PARAM);
}

TEST(LoopbackRender, SetPositionAfterAPlaceRendersAsIfNoPlaceHadBeenSet) {
    const std::vector<unsigned char> mono = MakeTone(44100, 8000, 700.0, 16);
    const std::vector<unsigned char> stereo =
        Interleave(MakeTone(44100, 8000, 700.0, 16), MakeTone(44100, 8000, 1300.0, 16));
    for (const uint16_t channels : {uint16_t{1}, uint16_t{2}}) {
        SCOPED_TRACE(channels);
        const std::vector<unsigned char>& wave = channels == 1 ? mono : stereo;
        Render plain(44100);
        plain.Start(wave, 44100, channels);
        plain.Direction(60);
        const StereoCapture expected = plain.Mix(6000);

        // Placed behind, near and wide for a while, then back to the old meaning.
        Render placed(44100);
        placed.Start(wave, 44100, channels);
        placed.Place(150, 40, 30, 120);
        placed.Direction(60);
        const StereoCapture heard = placed.Mix(6000);
        EXPECT_EQ(heard.left, expected.left);
        EXPECT_EQ(heard.right, expected.right);
    }
}

TEST(LoopbackRender, AStereoWavePlacedWhileItPlaysGoesOnFromTheFrameItHadReached) {
    // The same tone on both channels, as it is: both ears alike.
    const std::vector<unsigned char> tone = MakeTone(44100, 20000, 2000.0, 16);
    Render render(44100);
    render.Start(Interleave(tone, tone), 44100, 2);
    const StereoCapture before = render.Mix(5000);
    render.Place(-90, 0, 100, 0);
    const StereoCapture after = render.Mix(4000);
    uint32_t position = 0;
    EXPECT_EQ(render.MixUntil(12000, 100000, &position), 3000u);
    EXPECT_EQ(position, 12000u);
    EXPECT_LT(std::fabs(Db(Rms(before.left, 1000, 5000) / Rms(before.right, 1000, 5000))), 0.5);
    EXPECT_GT(Db(Rms(after.left, 1000, 4000) / Rms(after.right, 1000, 4000)), 6.0);
}

TEST(LoopbackRender, APlaceOutOfRangeIsRefusedAndTheEdgesAreTaken) {
    const std::vector<unsigned char> tone = MakeTone(44100, 2000, 500.0, 16);
    Render render(44100);
    render.Start(tone, 44100);
    struct Row {
        MixerPlace place;
        int code;
    };
    const uint32_t size = sizeof(MixerPlace);
    for (const Row& row : {Row{{size, -179, -90, 10, 0, 1.0f}, AMBREL_WAVEMIX_OK},
                           Row{{size, 180, 90, 10000, 180, 1.0f}, AMBREL_WAVEMIX_OK},
                           Row{{size - 4, 0, 0, 100, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, -180, 0, 100, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 181, 0, 100, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, -91, 100, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 91, 100, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 9, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 10001, 0, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 100, -1, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 100, 181, 1.0f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 100, 0, 4.0f}, AMBREL_WAVEMIX_OK},
                           Row{{size, 0, 0, 100, 0, -0.5f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 100, 0, 4.5f}, AMBREL_WAVEMIX_ERR_BAD_PARAM},
                           Row{{size, 0, 0, 100, 0, NAN}, AMBREL_WAVEMIX_ERR_BAD_PARAM}}) {
        const MixerPlace& p = row.place;
        SCOPED_TRACE(testing::Message() << p.size << " " << p.azimuth << " " << p.elevation << " "
                                        << p.distanceCm << " " << p.width);
        EXPECT_EQ(AmbrelWaveMixRenderSetPlace(render.Handle(), 0, &p), row.code);
    }
    EXPECT_EQ(AmbrelWaveMixRenderSetPlace(render.Handle(), 0, nullptr),
              AMBREL_WAVEMIX_ERR_BAD_PARAM);
    const MixerPlace ahead{size, 0, 0, 100, 0, 1.0f};
    EXPECT_EQ(AmbrelWaveMixRenderSetPlace(0xFFFFFFF0u, 0, &ahead), AMBREL_WAVEMIX_ERR_BAD_SESSION);
}
