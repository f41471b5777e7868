// Files that sox (or libsndfile's own converter, for what sox cannot write) made in each
// format import with exactly the samples sox's own conversion gives, and within the error of
// dither when dithered.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "formats/SoundImporter.h"
#include "support/SoxTools.h"
#include "support/TempDir.h"

namespace {

using namespace SoxTools;

const char* const kSignal = "synth 0.25 sine 441 sine 662 gain -1";
const char* const kDecoded = "decoded";

struct Case {
    const char* name;
    const char* extension;
    // How to make it: sox options for the output, or "convert:<case> <sndfile-convert option>"
    // to convert the file of another case with libsndfile's converter.
    const char* make;
    // The case whose file sox converts for the reference; nullptr: this one; kDecoded: this
    // one as libsndfile decodes it, copied into a float WAV.
    const char* reference = nullptr;
    bool bSourceIs16Bit = false;
};

const Case kCases[] = {
    {"Wav24", "wav", "-b 24 -e signed-integer"},
    {"Wav32", "wav", "-b 32 -e signed-integer"},
    {"WavFloat", "wav", "-b 32 -e floating-point"},
    {"WavDouble", "wav", "-b 64 -e floating-point"},
    {"Aiff24", "aiff", "-b 24 -e signed-integer"},
    {"Aiff32", "aiff", "-b 32 -e signed-integer"},
    {"AifcFloat", "aifc", "-t aifc -b 32 -e floating-point"},
    {"AifcDouble", "aifc", "-t aifc -b 64 -e floating-point"},
    {"Flac24", "flac", "-b 24"},
    {"Flac16", "flac", "-b 16", nullptr, true},
    {"Caf24", "caf", "-b 24 -e signed-integer"},
    // sox reads float CAF through libsndfile at the wrong scale; libsndfile's float copy of
    // it in a WAV is the reference.
    {"CafFloat", "caf", "-b 32 -e floating-point", kDecoded},
    {"Rf64", "rf64", "convert:Wav24 -pcm24", "Wav24"},
    {"Rf64Float", "rf64", "convert:WavFloat -float32", "WavFloat"},
    // Lossy: the reference is libsndfile's own decoding (to float), which sox then converts.
    {"Vorbis", "ogg", "-C 3", kDecoded},
};

class ImportInterop : public ::testing::TestWithParam<Case> {
  protected:
    static void SetUpTestSuite() {
        if (!Available()) {
            return;
        }
        s_dir = std::make_unique<TempDir>();
        for (const Case& c : kCases) {
            const std::string path = File(c.name);
            const std::string make = c.make;
            Outcome run;
            if (make.rfind("convert:", 0) == 0) {
                const std::string from = make.substr(8, make.find(' ') - 8);
                run = Command("sndfile-convert " + make.substr(make.find(' ') + 1) + " " +
                              Quote(File(from)) + " " + Quote(path));
            } else {
                run =
                    Command("sox -D -n -r 44100 -c 2 " + make + " " + Quote(path) + " " + kSignal);
            }
            ASSERT_EQ(run.status, 0) << c.name << ": " << run.output;
            if (c.reference == kDecoded) {
                const Outcome copy = Command("sndfile-convert -float32 " + Quote(path) + " " +
                                             Quote(DecodedFile(c.name)));
                ASSERT_EQ(copy.status, 0) << copy.output;
            }
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        if (!s_dir) {
            GTEST_SKIP() << "sox and sndfile-programs are not installed";
        }
    }

    // A case's file by its name; the extension comes from the case.
    static std::string File(const std::string& name) {
        const auto found = std::find_if(std::begin(kCases), std::end(kCases),
                                        [&](const Case& c) { return name == c.name; });
        return s_dir->File(name + "." + found->extension);
    }
    static std::string DecodedFile(const std::string& name) {
        return s_dir->File(name + "-decoded.wav");
    }
    std::string ReferenceFile(const Case& c) const {
        if (c.reference == kDecoded) {
            return DecodedFile(c.name);
        }
        return File(c.reference != nullptr ? c.reference : c.name);
    }
    static std::vector<uint8_t> Bytes(const ImportedSound& sound) {
        return {sound.samples.data(), sound.samples.data() + sound.dataBytes};
    }

    static std::unique_ptr<TempDir> s_dir;
    TempDir m_scratch;
};

std::unique_ptr<TempDir> ImportInterop::s_dir;

TEST_P(ImportInterop, WithoutDitherEverySampleIsSoxsOwn) {
    const Case c = GetParam();
    ImportOptions options{16};
    options.bDither = false;
    SoundImporter importer(File(c.name), options);
    ImportedSound sound;
    ASSERT_EQ(importer.Import(sound), SoundImporter::Status::Ok) << importer.GetError();
    EXPECT_EQ(sound.format.formatTag, 1);
    EXPECT_EQ(sound.format.channels, 2);
    EXPECT_EQ(sound.format.sampleRate, 44100u);
    EXPECT_EQ(sound.format.bitsPerSample, 16);
    EXPECT_EQ(sound.format.blockAlign, 4);
    EXPECT_EQ(sound.format.avgBytesPerSec, 44100u * 4);
    EXPECT_FALSE(sound.bDithered);
    EXPECT_EQ(sound.clippedSamples, 0u);
    EXPECT_FALSE(sound.panChunk.has_value());

    const std::vector<uint8_t> reference =
        SoxPcm(ReferenceFile(c), 16, false, m_scratch.File("ref.raw"));
    ASSERT_EQ(reference.size(), 11025u * 4);
    EXPECT_TRUE(Bytes(sound) == reference)
        << Compare(Samples16(Bytes(sound)), Samples16(reference)).count << " samples differ";
}

TEST_P(ImportInterop, EightBitsWithoutDitherAreSoxsOwnToo) {
    const Case c = GetParam();
    ImportOptions options{16};
    options.bDither = false;
    options.bits = 8;
    SoundImporter importer(File(c.name), options);
    ImportedSound sound;
    ASSERT_EQ(importer.Import(sound), SoundImporter::Status::Ok) << importer.GetError();
    EXPECT_EQ(sound.format.bitsPerSample, 8);
    EXPECT_EQ(sound.format.blockAlign, 2);
    const std::vector<uint8_t> reference =
        SoxPcm(ReferenceFile(c), 8, false, m_scratch.File("ref.raw"));
    ASSERT_EQ(reference.size(), 11025u * 2);
    EXPECT_TRUE(Bytes(sound) == reference);
}

TEST_P(ImportInterop, WithDitherTheErrorIsThatOfDither) {
    const Case c = GetParam();
    SoundImporter importer(File(c.name), ImportOptions{16});
    ImportedSound sound;
    ASSERT_EQ(importer.Import(sound), SoundImporter::Status::Ok) << importer.GetError();
    const std::vector<int16_t> ours = Samples16(Bytes(sound));
    const std::vector<int16_t> exact =
        Samples16(SoxPcm(ReferenceFile(c), 16, false, m_scratch.File("exact.raw")));
    if (c.bSourceIs16Bit) {
        // Nothing to dither when the depth does not drop.
        EXPECT_FALSE(sound.bDithered);
        EXPECT_EQ(ours, exact);
        return;
    }
    EXPECT_TRUE(sound.bDithered);
    const double rms = RmsDifference(ours, exact);
    EXPECT_LE(rms, 1.0);
    EXPECT_GE(rms, 0.3) << "no dither went in";
    EXPECT_LE(Compare(ours, exact).largest, 1);
    // And against sox's own dithered conversion, which draws its noise independently.
    const std::vector<int16_t> soxDithered =
        Samples16(SoxPcm(ReferenceFile(c), 16, true, m_scratch.File("dithered.raw")));
    EXPECT_LE(RmsDifference(ours, soxDithered), 1.0);
    // The same file imports the same way again.
    SoundImporter again(File(c.name), ImportOptions{16});
    ImportedSound second;
    ASSERT_EQ(again.Import(second), SoundImporter::Status::Ok);
    EXPECT_EQ(Samples16(Bytes(second)), ours);
}

INSTANTIATE_TEST_SUITE_P(Formats, ImportInterop, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

class ImportTools : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Available()) {
            GTEST_SKIP() << "sox and sndfile-programs are not installed";
        }
    }
    std::string Sox(const std::string& name, const std::string& options) {
        const std::string path = m_dir.File(name);
        const Outcome run = Command("sox -D -n " + options + " " + Quote(path) + " " + kSignal);
        EXPECT_EQ(run.status, 0) << run.output;
        return path;
    }
    TempDir m_dir;
};

// Vorbis decoded by sox's own decoder (libvorbisfile, which rounds half to even) differs from
// the float decoding only where a value falls on a half step.
TEST_F(ImportTools, VorbisIsWithinAHalfStepOfSoxsOwnDecoder) {
    const std::string path = Sox("v.ogg", "-r 44100 -c 2");
    ImportOptions options{16};
    options.bDither = false;
    SoundImporter importer(path, options);
    ImportedSound sound;
    ASSERT_EQ(importer.Import(sound), SoundImporter::Status::Ok) << importer.GetError();
    const std::vector<int16_t> ours(
        reinterpret_cast<const int16_t*>(sound.samples.data()),
        reinterpret_cast<const int16_t*>(sound.samples.data()) + sound.dataBytes / 2);
    const std::vector<int16_t> sox = Samples16(SoxPcm(path, 16, false, m_dir.File("r.raw")));
    ASSERT_EQ(ours.size(), sox.size());
    const Difference difference = Compare(ours, sox);
    EXPECT_LE(difference.largest, 1);
    EXPECT_LT(difference.count, ours.size() / 200);
}

// sox cannot read Opus; libsndfile's own decoding read here is the reference, converted with
// plain rounding to the nearest step.
TEST_F(ImportTools, OpusImportsAsLibsndfileDecodesIt) {
    const std::string source = m_dir.File("s48.wav");
    ASSERT_EQ(Command("sox -D -n -r 48000 -c 2 -b 24 " + Quote(source) +
                      " synth 0.5 sine 441 sine 662 gain -12")
                  .status,
              0);
    const std::string path = m_dir.File("o.opus");
    const Outcome made = Command("sndfile-convert -opus " + Quote(source) + " " + Quote(path));
    ASSERT_EQ(made.status, 0) << made.output;

    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr);
    std::vector<double> decoded(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_double(file, decoded.data(), info.frames);
    sf_close(file);
    std::vector<int16_t> reference;
    for (sf_count_t i = 0; i < got * info.channels; ++i) {
        const double v = std::floor(decoded[static_cast<size_t>(i)] * 32768.0 + 0.5);
        reference.push_back(static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0)));
    }

    ImportOptions options{16};
    options.bDither = false;
    SoundImporter importer(path, options);
    ImportedSound sound;
    ASSERT_EQ(importer.Import(sound), SoundImporter::Status::Ok) << importer.GetError();
    EXPECT_EQ(sound.format.sampleRate, 48000u);
    EXPECT_EQ(sound.format.channels, 2);
    const std::vector<int16_t> ours(
        reinterpret_cast<const int16_t*>(sound.samples.data()),
        reinterpret_cast<const int16_t*>(sound.samples.data()) + sound.dataBytes / 2);
    ASSERT_EQ(ours.size(), reference.size());
    EXPECT_LE(Compare(ours, reference).largest, 1);
    EXPECT_LT(Compare(ours, reference).count, 10u);

    SoundImporter dithered(path, ImportOptions{16});
    ImportedSound withDither;
    ASSERT_EQ(dithered.Import(withDither), SoundImporter::Status::Ok);
    EXPECT_TRUE(withDither.bDithered);
    const std::vector<int16_t> noisy(
        reinterpret_cast<const int16_t*>(withDither.samples.data()),
        reinterpret_cast<const int16_t*>(withDither.samples.data()) + withDither.dataBytes / 2);
    EXPECT_LE(RmsDifference(noisy, reference), 1.0);
}

// Above 48000 Hz a sound is resampled, as closely as sox's own very-high-quality rate effect.
TEST_F(ImportTools, HighRatesResampleAsSoxDoes) {
    struct Rate {
        int from;
        uint32_t to;
    };
    for (const Rate rate : {Rate{96000, 48000}, Rate{88200, 44100}, Rate{192000, 48000}}) {
        SCOPED_TRACE(rate.from);
        const std::string path =
            Sox("r" + std::to_string(rate.from) + ".wav",
                "-r " + std::to_string(rate.from) + " -c 2 -b 24 -e signed-integer");
        ImportOptions options{16};
        options.bDither = false;
        SoundImporter importer(path, options);
        ASSERT_EQ(importer.Examine(), SoundImporter::Status::Ok);
        EXPECT_EQ(importer.GetImportRate(), rate.to);
        EXPECT_TRUE(importer.DropsBitDepth());
        ImportedSound sound;
        ASSERT_EQ(importer.Import(sound), SoundImporter::Status::Ok) << importer.GetError();
        EXPECT_EQ(sound.format.sampleRate, rate.to);
        EXPECT_EQ(sound.sourceRate, uint32_t(rate.from));
        EXPECT_EQ(sound.format.avgBytesPerSec, rate.to * 4);
        const std::vector<int16_t> ours(
            reinterpret_cast<const int16_t*>(sound.samples.data()),
            reinterpret_cast<const int16_t*>(sound.samples.data()) + sound.dataBytes / 2);
        const std::vector<int16_t> sox = Samples16(
            SoxPcm(path, 16, false, m_dir.File("r.raw"), "rate -v " + std::to_string(rate.to)));
        ASSERT_EQ(ours.size(), sox.size());
        EXPECT_EQ(ours.size(), size_t(rate.to / 4) * 2);
        const Difference difference = Compare(ours, sox);
        EXPECT_LE(difference.largest, 1);
        EXPECT_LT(difference.count, ours.size() / 100);
    }
}

}  // namespace
