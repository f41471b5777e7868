// The BS.2051 layouts and the point-source panner over them: the channel tables, the panner's
// properties over the whole sphere, and the reference renderer's gains for every layout (which
// also pin each loudspeaker's position and the sign of the azimuth).
#include "render/PointSourcePanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "render/LoudnessMeter.h"
#include "render/SpeakerLayout.h"

namespace {

std::string Labels(const SpeakerLayout& layout) {
    std::string text;
    for (const Loudspeaker& speaker : layout.Speakers()) {
        text += (text.empty() ? "" : " ") + std::string(speaker.label);
    }
    return text;
}

// The channel that mirrors c across the median plane (M+030 and M-030; M+000 is its own).
size_t MirrorOf(const SpeakerLayout& layout, size_t c) {
    std::string label(layout.Speakers()[c].label);
    const size_t sign = label.find_first_of("+-");
    if (sign != std::string::npos) {
        label[sign] = label[sign] == '+' ? '-' : '+';
    }
    for (size_t k = 0; k < layout.ChannelCount(); ++k) {
        if (layout.Speakers()[k].label == label) {
            return k;
        }
    }
    return c;
}

}  // namespace

TEST(SpeakerLayout, ChannelsComeInBs2051OrderWithTheirMaskAndLoudnessWeights) {
    const struct {
        const char* name;
        const char* labels;
        uint32_t mask;
        const char* weights;  // 1 unit, S surround, - left out
    } cases[] = {
        {"0+2+0", "M+030 M-030", 0x3, "11"},
        {"0+5+0", "M+030 M-030 M+000 LFE1 M+110 M-110", 0x60F, "111-SS"},
        {"2+5+0", "M+030 M-030 M+000 LFE1 M+110 M-110 U+030 U-030", 0x560F, "111-SS11"},
        {"4+5+0", "M+030 M-030 M+000 LFE1 M+110 M-110 U+030 U-030 U+110 U-110", 0x2D60F,
         "111-SS1111"},
        {"4+5+1", "M+030 M-030 M+000 LFE1 M+110 M-110 U+030 U-030 U+110 U-110 B+000", 0,
         "111-SS11111"},
        {"3+7+0", "M+000 M+030 M-030 U+045 U-045 M+090 M-090 M+135 M-135 UH+180 LFE1 LFE2", 0,
         "11111SS111--"},
        {"4+9+0",
         "M+030 M-030 M+000 LFE1 M+090 M-090 M+135 M-135 U+045 U-045 U+135 U-135 M+SC M-SC",
         0x2D6FF, "111-SS11111111"},
        {"9+10+3",
         "M+060 M-060 M+000 LFE1 M+135 M-135 M+030 M-030 M+180 LFE2 M+090 M-090 U+045 U-045 "
         "U+000 T+000 U+135 U-135 U+090 U-090 U+180 B+000 B+045 B-045",
         0, "SS1-11111-SS111111111111"},
        {"0+7+0", "M+030 M-030 M+000 LFE1 M+090 M-090 M+135 M-135", 0x63F, "111-SS11"},
        {"4+7+0", "M+030 M-030 M+000 LFE1 M+090 M-090 M+135 M-135 U+045 U-045 U+135 U-135", 0x2D63F,
         "111-SS111111"},
    };
    ASSERT_EQ(SpeakerLayout::All().size(), std::size(cases));
    for (size_t k = 0; k < std::size(cases); ++k) {
        const SpeakerLayout& layout = SpeakerLayout::All()[k];
        EXPECT_EQ(layout.Name(), cases[k].name);
        ASSERT_EQ(SpeakerLayout::Find(cases[k].name), &layout);
        EXPECT_EQ(Labels(layout), cases[k].labels);
        EXPECT_EQ(layout.ChannelMask(), cases[k].mask) << cases[k].name;
        std::string weights;
        for (const LoudnessWeight weight : LoudnessMeter::WeightsFor(layout)) {
            weights += weight == LoudnessWeight::Unit       ? '1'
                       : weight == LoudnessWeight::Surround ? 'S'
                                                            : '-';
        }
        EXPECT_EQ(weights, cases[k].weights) << cases[k].name;
    }
}

// The names people use find their layout; names BS.2051 has no layout for say the nearest; a
// WAV file's channels follow the mask's bits in rising order, as readers assign them.
TEST(SpeakerLayout, CommonNamesFindTheirLayoutAndWaveFilesFollowTheMask) {
    const struct {
        const char* name;
        const char* layout;     // "" for none
        const char* waveOrder;  // labels in a WAV file's order
    } cases[] = {
        {"2.0", "0+2+0", "M+030 M-030"},
        {"5.1", "0+5+0", "M+030 M-030 M+000 LFE1 M+110 M-110"},
        {"5.1.2", "2+5+0", "M+030 M-030 M+000 LFE1 M+110 M-110 U+030 U-030"},
        {"5.1.4", "4+5+0", "M+030 M-030 M+000 LFE1 M+110 M-110 U+030 U-030 U+110 U-110"},
        {"7.1", "0+7+0", "M+030 M-030 M+000 LFE1 M+135 M-135 M+090 M-090"},
        {"7.1.4", "4+7+0",
         "M+030 M-030 M+000 LFE1 M+135 M-135 M+090 M-090 U+045 U-045 U+135 U-135"},
        {"9.1.4", "4+9+0",
         "M+030 M-030 M+000 LFE1 M+135 M-135 M+SC M-SC M+090 M-090 U+045 U-045 U+135 U-135"},
        {"22.2", "9+10+3", nullptr},
        {"4+5+1", "4+5+1", "M+030 M-030 M+000 LFE1 M+110 M-110 U+030 U-030 U+110 U-110 B+000"},
        {"3+7+0", "3+7+0",
         "M+000 M+030 M-030 U+045 U-045 M+090 M-090 M+135 M-135 UH+180 LFE1 LFE2"},
        {"7.1.2", "", nullptr},
        {"9.1.6", "", nullptr},
        {"5.1 ", "", nullptr},
        {"7.1(side)", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SpeakerLayout* layout = SpeakerLayout::Find(c.name);
        if (*c.layout == '\0') {
            EXPECT_EQ(layout, nullptr);
            continue;
        }
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(layout->Name(), c.layout);
        EXPECT_EQ(SpeakerLayout::Find(layout->Name()), layout);
        EXPECT_TRUE(SpeakerLayout::NearestTo(c.name).empty());
        if (c.waveOrder == nullptr) {
            continue;
        }
        std::string order;
        for (const uint16_t channel : layout->WaveChannelOrder()) {
            order += (order.empty() ? "" : " ") + std::string(layout->Speakers()[channel].label);
        }
        EXPECT_EQ(order, c.waveOrder);
    }
    EXPECT_EQ(SpeakerLayout::NearestTo("7.1.2"),
              "7.1.2 is not an ITU-R BS.2051 layout; the nearest are 5.1.2 (2+5+0) and 7.1.4 "
              "(4+7+0).");
    EXPECT_NE(SpeakerLayout::NearestTo("9.1.6").find("9.1.4 (4+9+0)"), std::string::npos);
    EXPECT_EQ(SpeakerLayout::Find("0+7+0")->NameWithCommon(), "0+7+0 (7.1)");
    EXPECT_EQ(SpeakerLayout::Find("4+5+1")->NameWithCommon(), "4+5+1");
}

// Over a 5-degree grid of the whole sphere, every layout: the energy sums to 1 (0+2+0: 1 ahead
// to 1/2 behind), no gain is negative, the LFE stays silent, and a mirrored direction gives
// the mirrored gains.
TEST(PointSourcePanner, EveryLayoutKeepsEnergySignsLfeAndSymmetryOverTheSphere) {
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        const PointSourcePanner panner(layout);
        ASSERT_EQ(panner.ChannelCount(), layout.ChannelCount());
        const bool bStereo = layout.Name() == "0+2+0";
        for (int el = -90; el <= 90; el += 5) {
            for (int az = -180; az < 180; az += 5) {
                std::vector<double> gains(layout.ChannelCount());
                std::vector<double> mirrored(layout.ChannelCount());
                panner.CalculateGains(az, el, gains.data());
                panner.CalculateGains(-az, el, mirrored.data());
                double energy = 0;
                for (size_t c = 0; c < gains.size(); ++c) {
                    energy += gains[c] * gains[c];
                    EXPECT_GE(gains[c], 0.0);
                    EXPECT_NEAR(gains[c], mirrored[MirrorOf(layout, c)], 1e-9)
                        << layout.Name() << " " << layout.Speakers()[c].label << " at " << az << "/"
                        << el;
                    if (layout.Speakers()[c].bLfe) {
                        EXPECT_EQ(gains[c], 0.0);
                    }
                }
                if (bStereo) {
                    EXPECT_GE(energy, 0.5 - 1e-9);
                    EXPECT_LE(energy, 1 + 1e-9);
                } else {
                    EXPECT_NEAR(energy, 1, 1e-9) << layout.Name() << " at " << az << "/" << el;
                }
            }
        }
    }
}

TEST(PointSourcePanner, ADirectionOnALoudspeakerPutsAllTheSoundThere) {
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        const PointSourcePanner panner(layout);
        for (size_t c = 0; c < layout.ChannelCount(); ++c) {
            const Loudspeaker& speaker = layout.Speakers()[c];
            if (speaker.bLfe) {
                continue;
            }
            std::vector<double> gains(layout.ChannelCount());
            panner.CalculateGains(speaker.azimuth, speaker.elevation, gains.data());
            for (size_t k = 0; k < gains.size(); ++k) {
                EXPECT_NEAR(gains[k], k == c ? 1.0 : 0.0, 1e-9)
                    << layout.Name() << " " << speaker.label << ": " << layout.Speakers()[k].label;
            }
        }
    }
}

// Along level circles round the head and along meridians over both poles, no gain jumps
// between steps of a tenth of a degree: the facets and the poles' fans meet without a seam.
TEST(PointSourcePanner, GainsMoveWithoutJumpsAlongSweeps) {
    const double levels[] = {0, 30, -40, 70};
    const double meridians[] = {100, 15};
    for (const SpeakerLayout& layout : SpeakerLayout::All()) {
        const PointSourcePanner panner(layout);
        for (size_t sweep = 0; sweep < 6; ++sweep) {
            std::vector<double> before(layout.ChannelCount());
            std::vector<double> gains(layout.ChannelCount());
            double largest = 0;
            for (int step = 0; step <= 3600; ++step) {
                const double t = step / 10.0;
                if (sweep < 4) {
                    panner.CalculateGains(t - 180, levels[sweep], gains.data());
                } else {
                    const double azimuth = meridians[sweep - 4] - (t <= 180 ? 0 : 180);
                    panner.CalculateGains(azimuth, t <= 180 ? t - 90 : 270 - t, gains.data());
                }
                for (size_t c = 0; step > 0 && c < gains.size(); ++c) {
                    largest = std::max(largest, std::abs(gains[c] - before[c]));
                }
                before = gains;
            }
            EXPECT_LT(largest, 0.02) << layout.Name() << " sweep " << sweep;
        }
    }
}

TEST(PointSourcePanner, GainsMatchTheReferenceRenderer) {
    std::ifstream in(std::string(SONOMAP_TEST_DATA_DIR) + "/ear-point-source-gains.txt");
    ASSERT_TRUE(in.good());
    size_t rows = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name;
        double azimuth = 0;
        double elevation = 0;
        fields >> name >> azimuth >> elevation;
        const SpeakerLayout* layout = SpeakerLayout::Find(name);
        ASSERT_NE(layout, nullptr) << line;
        std::vector<double> gains(layout->ChannelCount());
        PointSourcePanner(*layout).CalculateGains(azimuth, elevation, gains.data());
        for (size_t c = 0; c < gains.size(); ++c) {
            double expected = -1;
            fields >> expected;
            EXPECT_NEAR(gains[c], expected, 1e-6) << name << " " << layout->Speakers()[c].label
                                                  << " at " << azimuth << "/" << elevation;
        }
        ++rows;
    }
    EXPECT_EQ(rows, 80u);
}
