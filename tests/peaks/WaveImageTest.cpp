#include "peaks/WaveImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "PeakReference.h"
#include "TestPeakFactory.h"
#include "support/ScriptedPrompts.h"

namespace {

// A sound of short steps between unrelated levels, so neighbouring columns rarely overlap and
// every connector shows: a column drawn from the wrong frames, or not drawn, changes pixels.
void FillPattern(TestSound& sound) {
    for (uint32_t f = 0; f < sound.data.frameCount; ++f) {
        for (int channel = 1; channel <= sound.data.channels; ++channel) {
            const uint32_t step = (f / 23) * 2654435761u + static_cast<uint32_t>(channel) * 97u;
            const int level = static_cast<int>((step >> 12) % 60001) - 30000;
            const int v = level + static_cast<int>(f % 5) * 40;
            sound.Set(f, channel, sound.data.bitsPerSample == 8 ? 128 + v / 256 : v);
        }
    }
}

// The image with what it is asked to show, as a view keeps them.
struct View {
    WaveImage image;
    WaveImage::Target target;

    bool Build(const SampleData& data, uint32_t left, UserPrompts& prompts,
               PeakImageFactory& factory = PeakImageFactory::Default()) {
        target.left = left;
        const WaveImage::Target asked = target;
        return image.Update(data, asked, prompts, factory);
    }
    bool IsStale() const { return !image.IsCurrent(target); }
};

View MakeView(int width, int height, uint32_t totalWidth) {
    View view;
    view.target = {width, height, totalWidth, 0};
    return view;
}

// The run [first, last] drawn on white for left column left, by the frame rule of a run.
RefImage ExpectedRun(const TestSound& sound, const View& view, uint32_t left, int first, int last,
                     uint32_t stride) {
    const double spp = static_cast<double>(sound.data.frameCount) / view.target.totalWidth;
    RefImage image(view.target.width, view.target.height);
    std::vector<int64_t> starts;
    for (int k = first; k <= last; ++k) {
        starts.push_back(static_cast<int64_t>(std::trunc(left * spp)) +
                         static_cast<int64_t>(std::trunc(first * spp)) +
                         static_cast<int64_t>(std::trunc((k - first) * spp)));
    }
    const int h = view.target.height;
    const RefLanes lanes = sound.data.channels == 2
                               ? RefLanes{h / 2 / 2, h / 2 + h / 2 / 2, h / 2 / 2 - 4}
                               : RefLanes{h / 2, 0, h / 2 - 4};
    RefDrawRun(image, sound, lanes, first, last, starts, static_cast<uint32_t>(spp), stride);
    return image;
}

std::unique_ptr<MonoBitmap> FullBuild(const TestSound& sound, int width, int height,
                                      uint32_t totalWidth, uint32_t left) {
    View view = MakeView(width, height, totalWidth);
    ScriptedPrompts prompts;
    EXPECT_TRUE(view.Build(sound.data, left, prompts));
    return std::make_unique<MonoBitmap>(*view.image.Image());
}

// A box whose showing repaints: the nested build must fail at once and show nothing.
class RepaintingPrompts : public ScriptedPrompts {
  public:
    View* view = nullptr;
    const SampleData* data = nullptr;
    int nestedBuilds = 0;
    bool nestedResult = true;
    bool busyWhileOpen = false;

    Answer ShowMessage(const Box& box) override {
        busyWhileOpen = WaveImage::IsBuildBusy();
        ++nestedBuilds;
        nestedResult = view->Build(*data, view->image.Left() + 3, *this);
        return ScriptedPrompts::ShowMessage(box);
    }
};

}  // namespace

TEST(WaveImage, FullRebuildDrawsTheVisibleStretchMonoAndStereo) {
    for (const uint16_t channels : {1, 2}) {
        for (const uint16_t bits : {8, 16}) {
            TestSound sound(123457, channels, bits, 44100);
            FillPattern(sound);
            View view = MakeView(300, 161, 2000);  // 61.7... frames per column
            ScriptedPrompts prompts;
            ASSERT_TRUE(view.Build(sound.data, 700, prompts));
            EXPECT_TRUE(prompts.Boxes().empty());
            EXPECT_FALSE(view.image.IsInvalid());
            EXPECT_FALSE(view.IsStale());
            EXPECT_EQ(view.image.Left(), 700u);
            EXPECT_DOUBLE_EQ(view.image.SamplesPerPixel(), 123457.0 / 2000.0);
            EXPECT_EQ(view.image.Lane1Centre(), channels == 2 ? 40 : 80);
            if (channels == 2) {
                EXPECT_EQ(view.image.Lane2Centre(), 120);
            }
            ASSERT_NE(view.image.Image(), nullptr);
            EXPECT_EQ(view.image.Image()->Width(), 300);
            EXPECT_EQ(view.image.Image()->Height(), 161);
            EXPECT_EQ(CompareColumns(*view.image.Image(), ExpectedRun(sound, view, 700, 0, 299, 4),
                                     0, 299),
                      "")
                << channels << " channels, " << bits << " bits";
        }
    }
}

TEST(WaveImage, ZoomedInColumnsReadOneFrameEach) {
    TestSound sound(400, 1, 16, 48000);
    FillPattern(sound);
    View view = MakeView(250, 100, 1000);  // 0.4 frames per column
    ScriptedPrompts prompts;
    ASSERT_TRUE(view.Build(sound.data, 600, prompts));
    EXPECT_EQ(CompareColumns(*view.image.Image(), ExpectedRun(sound, view, 600, 0, 249, 1), 0, 249),
              "");
}

// 10.50001 frames per column: truncating per run differs from truncating per column, so a run
// that starts from the wrong frames shows. Several places, so no connector can hide by luck.
constexpr uint32_t kHalfStepWidth = 95238;

TEST(WaveImage, ScrollRight50CopiesWhitensAndRedrawsFromTheLastKeptColumn) {
    TestSound sound(1000000, 1, 16, 44100);
    FillPattern(sound);
    for (const uint32_t from : {1001u, 2000u, 3777u, 5003u}) {
        View view = MakeView(500, 200, kHalfStepWidth);
        ScriptedPrompts prompts;
        ASSERT_TRUE(view.Build(sound.data, from, prompts));
        const MonoBitmap old = *view.image.Image();
        ASSERT_TRUE(view.Build(sound.data, from + 50, prompts));
        EXPECT_EQ(view.image.Left(), from + 50);
        EXPECT_FALSE(view.IsStale());
        const MonoBitmap& now = *view.image.Image();
        EXPECT_EQ(CompareColumns(now, 0, old, 50, 449), "");  // old 50 ... 498 to 0 ... 448
        const RefImage drawn = ExpectedRun(sound, view, from + 50, 449, 499, 4);
        EXPECT_EQ(CompareColumns(now, drawn, 450, 499), "") << from;
        // Column 449 is kept and drawn again: the copy of old 499 plus the new strokes.
        for (int y = 0; y < 200; ++y) {
            ASSERT_EQ(now.IsBlack(449, y), old.IsBlack(499, y) || drawn.At(449, y)) << from;
        }
    }
}

TEST(WaveImage, ScrollLeft50CopiesWhitensAndRedrawsThroughTheFirstKeptColumn) {
    TestSound sound(1000000, 2, 8, 22050);
    FillPattern(sound);
    for (const uint32_t from : {1051u, 2000u, 3777u, 5003u}) {
        View view = MakeView(500, 200, kHalfStepWidth);
        ScriptedPrompts prompts;
        ASSERT_TRUE(view.Build(sound.data, from, prompts));
        const MonoBitmap old = *view.image.Image();
        ASSERT_TRUE(view.Build(sound.data, from - 50, prompts));
        const MonoBitmap& now = *view.image.Image();
        EXPECT_EQ(CompareColumns(now, 51, old, 1, 449), "");  // old 1 ... 449 to 51 ... 499
        const RefImage drawn = ExpectedRun(sound, view, from - 50, 0, 50, 2);
        EXPECT_EQ(CompareColumns(now, drawn, 0, 49), "") << from;
        for (int y = 0; y < 200; ++y) {
            ASSERT_EQ(now.IsBlack(50, y), old.IsBlack(0, y) || drawn.At(50, y)) << from;
        }
    }
}

TEST(WaveImage, ScrollsAgreeWithAFullRebuildAtWholeFramesPerColumn) {
    TestSound sound(500000, 1, 16, 44100);
    FillPattern(sound);
    const uint32_t totalWidth = 50000;  // exactly 10 frames per column
    for (const int move : {50, -50, 1, -1, 499, -499}) {
        View view = MakeView(500, 200, totalWidth);
        ScriptedPrompts prompts;
        ASSERT_TRUE(view.Build(sound.data, 20000, prompts));
        const MonoBitmap old = *view.image.Image();
        const uint32_t left = static_cast<uint32_t>(20000 + move);
        ASSERT_TRUE(view.Build(sound.data, left, prompts));
        const auto full = FullBuild(sound, 500, 200, totalWidth, left);
        // Only the edge column copied from the old image may also keep the old image's connector
        // from a column that has scrolled out of view (unless that column is drawn again).
        const bool edgeKept = std::abs(move) < 499;
        if (move > 0) {
            EXPECT_EQ(CompareColumns(*view.image.Image(), 1, *full, 1, 499), "") << move;
            if (edgeKept) {
                EXPECT_EQ(CompareColumns(*view.image.Image(), 0, old, move, 1), "") << move;
            }
        } else {
            EXPECT_EQ(CompareColumns(*view.image.Image(), 0, *full, 0, 499), "") << move;
            if (edgeKept) {
                EXPECT_EQ(CompareColumns(*view.image.Image(), 499, old, 499 + move, 1), "") << move;
            }
        }
    }
}

TEST(WaveImage, ScrollByExactlyTheWidthRedrawsEveryColumnFromOneColumnLeft) {
    TestSound sound(100000, 1, 16, 11025);
    // Loud up to absolute column 99, silent from 100 on: only the connector from column -1 of
    // the incremental run puts black above the centre row into column 0.
    for (uint32_t f = 0; f < 1000; ++f) {
        sound.Set(f, 1, 30000);
    }
    View view = MakeView(100, 200, 10000);
    ScriptedPrompts prompts;
    TestPeakFactory factory;
    ASSERT_TRUE(view.Build(sound.data, 0, prompts, factory));
    ASSERT_TRUE(view.Build(sound.data, 100, prompts, factory));
    EXPECT_EQ(factory.imageCalls, 2);
    EXPECT_EQ(CompareColumns(*view.image.Image(), ExpectedRun(sound, view, 100, -1, 99, 1), 0, 99),
              "");
    EXPECT_TRUE(view.image.Image()->IsBlack(0, 60));
    const auto full = FullBuild(sound, 100, 200, 10000, 100);
    EXPECT_EQ(BlackRows(*full, 0), std::vector<int>{100});

    // One column further is a full rebuild.
    View far = MakeView(100, 200, 10000);
    ASSERT_TRUE(far.Build(sound.data, 0, prompts));
    ASSERT_TRUE(far.Build(sound.data, 101, prompts));
    EXPECT_EQ(
        CompareColumns(*far.image.Image(), 0, *FullBuild(sound, 100, 200, 10000, 101), 0, 100), "");
}

TEST(WaveImage, UpToDateImageIsKeptAndTheRebuildFlagForcesAFullDraw) {
    TestSound sound(50000, 1, 16, 44100);
    FillPattern(sound);
    View view = MakeView(200, 120, 1000);
    ScriptedPrompts prompts;
    TestPeakFactory factory;
    ASSERT_TRUE(view.Build(sound.data, 300, prompts, factory));
    const MonoBitmap* first = view.image.Image();
    ASSERT_TRUE(view.Build(sound.data, 300, prompts, factory));
    EXPECT_EQ(view.image.Image(), first);
    EXPECT_EQ(factory.imageCalls, 1);

    // A zoom: the flag is set and the same left column is drawn at the new scale.
    view.target.totalWidth = 3000;
    view.image.Invalidate();
    ASSERT_TRUE(view.Build(sound.data, 300, prompts, factory));
    EXPECT_EQ(factory.imageCalls, 2);
    EXPECT_FALSE(view.image.IsInvalid());
    EXPECT_EQ(CompareColumns(*view.image.Image(), ExpectedRun(sound, view, 300, 0, 199, 4), 0, 199),
              "");

    TestSound empty(0, 1, 16, 44100);
    View none = MakeView(200, 120, 1000);
    EXPECT_FALSE(none.Build(empty.data, 0, prompts));
    EXPECT_EQ(none.image.Image(), nullptr);
    EXPECT_TRUE(prompts.Boxes().empty());
}

TEST(WaveImage, FailedFullRebuildShowsTheMessageAndLeavesTheFieldsAsTheyWere) {
    TestSound sound(50000, 1, 16, 44100);
    for (const bool surfaceFails : {false, true}) {
        View view = MakeView(200, 120, 1000);
        ScriptedPrompts prompts;
        // Drawn once at column 7, then due for a full redraw.
        ASSERT_TRUE(view.Build(sound.data, 7, prompts));
        view.image.Invalidate();
        TestPeakFactory factory;
        (surfaceFails ? factory.failSurfaceCall : factory.failImageCall) = 0;
        EXPECT_FALSE(view.Build(sound.data, 300, prompts, factory));
        EXPECT_EQ(prompts.Texts(), std::vector<std::string>{
                                       surfaceFails ? "Couldn't create DC!"
                                                    : "Couldn't allocate memory to create waveform "
                                                      "overview!"});
        EXPECT_EQ(view.image.Image(), nullptr);
        EXPECT_EQ(view.image.Left(), 7u);
        EXPECT_TRUE(view.image.IsInvalid());
        EXPECT_TRUE(view.IsStale());
        EXPECT_FALSE(WaveImage::IsBuildBusy());
        // The next paint tries again and succeeds.
        EXPECT_TRUE(view.Build(sound.data, 300, prompts, factory));
        EXPECT_NE(view.image.Image(), nullptr);
    }
}

TEST(WaveImage, FailedScrollKeepsTheOldImage) {
    TestSound sound(50000, 1, 16, 44100);
    FillPattern(sound);
    for (const bool surfaceFails : {false, true}) {
        View view = MakeView(200, 120, 1000);
        ScriptedPrompts prompts;
        TestPeakFactory factory;
        ASSERT_TRUE(view.Build(sound.data, 300, prompts, factory));
        const MonoBitmap* kept = view.image.Image();
        (surfaceFails ? factory.failSurfaceCall : factory.failImageCall) = 1;
        EXPECT_FALSE(view.Build(sound.data, 320, prompts, factory));
        EXPECT_EQ(prompts.Boxes().size(), 1u);
        EXPECT_EQ(view.image.Image(), kept);
        EXPECT_EQ(view.image.Left(), 300u);
        EXPECT_TRUE(view.IsStale());
        EXPECT_FALSE(view.image.IsInvalid());
    }
}

TEST(WaveImage, RepaintWhileAFailureBoxIsOpenDrawsNothingAndShowsNoSecondBox) {
    TestSound sound(50000, 1, 16, 44100);
    View view = MakeView(200, 120, 1000);
    {
        // Drawn once at column 5, then due for a full redraw.
        ScriptedPrompts quiet;
        ASSERT_TRUE(view.Build(sound.data, 5, quiet));
        view.image.Invalidate();
    }
    RepaintingPrompts prompts;
    prompts.view = &view;
    prompts.data = &sound.data;
    TestPeakFactory factory;
    factory.failImageCall = 0;
    EXPECT_FALSE(view.Build(sound.data, 300, prompts, factory));
    EXPECT_EQ(prompts.nestedBuilds, 1);
    EXPECT_FALSE(prompts.nestedResult);
    EXPECT_TRUE(prompts.busyWhileOpen);
    EXPECT_EQ(prompts.Texts(),
              std::vector<std::string>{"Couldn't allocate memory to create waveform overview!"});
    EXPECT_EQ(factory.imageCalls, 1);
    EXPECT_EQ(view.image.Image(), nullptr);
    EXPECT_EQ(view.image.Left(), 5u);
    EXPECT_FALSE(WaveImage::IsBuildBusy());
}
