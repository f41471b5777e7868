// sonomap-cli render: the editor's stereo, binaural, Ambisonics, ADM or loudspeaker export over
// many files, one worker per file.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <thread>

#include <unistd.h>

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliMixer.h"
#include "deliver/AdmExportCommand.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/ExportLoudness.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "deliver/StereoExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "formats/CSoundFile.h"
#include "platform/FileIdentity.h"
#include "platform/TempFileRegistry.h"
#include "render/SpeakerLayout.h"
#include "trajectory/AdmTrajectory.h"

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

struct RenderJob {
    std::string input;
    std::string output;
    std::optional<CliHost::Measured> measured;  // once rendered
    double levelDb = 0;                         // the gain --loudness turned it by
};

// How each file is rendered: the stereo filter, binaural (a SOFA set, or the mixer with one of
// its own), or AmbiX.
struct RenderMode {
    bool bBinaural = false;
    bool bAmbix = false;
    std::string hrtfName;                  // a mixer set; empty: the SOFA set below
    std::shared_ptr<SofaSetChoice> pSofa;  // read once, shared by every worker
    bool bAdm = false;  // the samples as they are, with the trajectory as ADM objects
    const SpeakerLayout* pLayout = nullptr;  // loudspeaker feeds of this layout
    std::optional<SampleFormat> sampleFormat;
    AmbisonicsExport::Options ambix;
    std::optional<double> loudnessTarget;  // LUFS
    bool bDoppler = false;                 // on top of what each document keeps
    bool bAir = false;
    HeadTurn head;  // the listener's, for every output
};

// The highest true peak a render turned to a loudness target may have.
constexpr double kTargetPeakLimit = -1.0;

// A whole number within [low, high] in text, or none.
std::optional<long> WholeNumber(const std::string& text, long low, long high) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

int RenderUsageError(const std::string& problem) {
    std::fprintf(stderr, "sonomap-cli render: %s\n\n%s", problem.c_str(),
                 UsageOf("render").c_str());
    return kExitUsage;
}

// Every output sample times level (linear).
bool Export(CTesselDoc& doc, const std::string& path, int outputType, const RenderMode& mode,
            float level) {
    if (mode.bAdm) {
        AdmExportCommand command(doc);
        command.SetLevel(level);
        return command.RenderTo(path, mode.sampleFormat);
    }
    AmbisonicsExport::Options options = mode.ambix;
    options.level = level;
    if (mode.pLayout != nullptr) {
        options.pLayout = mode.pLayout;
        return LoudspeakerExportCommand(doc).RenderTo(path, outputType, options);
    }
    if (mode.bAmbix) {
        return AmbisonicsExportCommand(doc).RenderTo(path, outputType, options);
    }
    if (mode.bBinaural) {
        BinauralExportCommand command(doc);
        command.SetLevel(level);
        return command.RenderTo(path, outputType, mode.sampleFormat.value_or(SampleFormat::S16));
    }
    StereoExportCommand command(doc);
    command.SetLevel(level);
    return command.RenderTo(path, outputType, mode.sampleFormat);
}

// "+3.2 dB", "-0.4 dB".
std::string SignedDb(double db) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.1f dB", db);
    return text;
}

// A hidden name beside path for a render that is measured and removed.
std::string MeasuringPath(const std::string& path) {
    static std::atomic<unsigned> s_next{0};
    const fs::path target(path);
    return (target.parent_path() / ("." + target.filename().string() + ".measuring-" +
                                    std::to_string(::getpid()) + "-" + std::to_string(s_next++)))
        .string();
}

// --loudness: the gain in dB that turns the output to mode.loudnessTarget, from a first render
// into a hidden file beside it that goes at once. None, with the reason on stderr, when that
// render fails or the target cannot be reached: the output's true peak would pass -1 dBTP, or
// it is silent.
std::optional<double> LevelForTarget(CTesselDoc& doc, CliHost& host, const SaveNameResult& output,
                                     const RenderMode& mode) {
    const std::string measuring = MeasuringPath(output.fullPath);
    TempFileRegistry::Change().Add(measuring);
    // Its messages come again with the render that counts, unless it fails.
    host.GetPrompts().Hold();
    const bool bRendered = Export(doc, measuring, output.filterIndex - 1, mode, 1.0f);
    std::error_code ignored;
    fs::remove(measuring, ignored);
    TempFileRegistry::Change().Remove(measuring);
    host.GetPrompts().EndHold(!bRendered);
    if (!bRendered || !host.GetMeasured()) {
        return std::nullopt;
    }
    const CliHost::Measured measured = *host.GetMeasured();
    const double target = *mode.loudnessTarget;
    char line[400];
    if (!std::isfinite(measured.lufs)) {
        std::snprintf(line, sizeof line,
                      "%s: it is silent (or shorter than 0.4 s), so no gain brings it to "
                      "%.1f LUFS; nothing is written",
                      output.fullPath.c_str(), target);
        host.GetPrompts().Message(line);
        return std::nullopt;
    }
    const double gain = target - measured.lufs;
    if (measured.truePeak + gain > kTargetPeakLimit) {
        std::snprintf(line, sizeof line,
                      "%s: at %.1f LUFS its true peak would be %+.1f dBTP, past %.0f dBTP "
                      "(it measures %.1f LUFS, true peak %+.1f dBTP); nothing is written",
                      output.fullPath.c_str(), target, measured.truePeak + gain, kTargetPeakLimit,
                      measured.lufs, measured.truePeak);
        host.GetPrompts().Message(line);
        return std::nullopt;
    }
    return gain;
}

// --report: one entry per output, in the order of the inputs; null for a value that is not a
// number (silence) and for an output not written. With a loudness target, the gain each was
// turned by.
bool WriteReport(const std::string& path, const std::vector<RenderJob>& jobs, bool bTargeted) {
    nlohmann::json outputs = nlohmann::json::array();
    const auto number = [](double value) {
        return std::isfinite(value) ? nlohmann::json(std::round(value * 100) / 100)
                                    : nlohmann::json(nullptr);
    };
    for (const RenderJob& job : jobs) {
        nlohmann::json entry = {{"input", job.input}, {"output", job.output}};
        entry["written"] = job.measured.has_value();
        entry["integratedLufs"] = job.measured ? number(job.measured->lufs) : nullptr;
        entry["truePeakDbtp"] = job.measured ? number(job.measured->truePeak) : nullptr;
        if (bTargeted) {
            entry["gainDb"] = job.measured ? number(job.levelDb) : nullptr;
        }
        outputs.push_back(entry);
    }
    std::ofstream out(path);
    out << nlohmann::json{{"outputs", outputs}}.dump(2) << "\n";
    out.close();
    return static_cast<bool>(out);
}

// One file from open to finished output, with a host, prompts and document of its own; what
// was measured of the output goes on stderr and into job.
bool RenderOne(RenderJob& job, const std::vector<std::string>& inputs, std::optional<int> typeId,
               bool bLabelled, const RenderMode& mode) {
    CliHost host;
    // Every input counts as open, so no job's output can replace another job's input.
    host.SetFilesInUse(inputs);
    if (mode.pSofa) {
        const std::shared_ptr<SofaSetChoice> sofa = mode.pSofa;
        host.SetRendererFactory([sofa] { return std::make_unique<SofaExportRenderer>(sofa); });
    } else {
        const std::string hrtfName = mode.hrtfName;
        host.SetRendererFactory([hrtfName] { return CliMixer::MakeRenderer(hrtfName); });
    }
    if (bLabelled) {
        host.GetPrompts().SetLabel(job.input);
    }
    host.SetSaveTarget(CliHost::SaveTarget{job.output, typeId});
    const std::string full = fs::absolute(job.input).lexically_normal().string();
    CTesselDoc doc(host);
    if (!DocumentOpen(doc).Open(full)) {
        return false;
    }
    host.SetOpenDocument(full);
    Acoustics acoustics = doc.GetAcoustics();
    acoustics.bDoppler = acoustics.bDoppler || mode.bDoppler;
    acoustics.bAir = acoustics.bAir || mode.bAir;
    doc.SetAcoustics(acoustics);
    doc.SetHeadTurn(mode.head);
    SaveNameResult output;
    if (!host.TakeTarget(kSoundTypeWave, "", output)) {
        return false;
    }
    double levelDb = 0;
    if (mode.loudnessTarget) {
        const std::optional<double> gain = LevelForTarget(doc, host, output, mode);
        if (!gain) {
            return false;
        }
        levelDb = *gain;
    }
    const auto level = static_cast<float>(std::pow(10.0, levelDb / 20.0));
    if (!Export(doc, output.fullPath, output.filterIndex - 1, mode, level)) {
        return false;
    }
    job.levelDb = levelDb;
    job.measured = host.GetMeasured();
    if (mode.bAdm && !mode.head.IsStraight()) {
        std::fprintf(stderr, "%s: %s\n", job.output.c_str(),
                     AdmTrajectory::HeadNote(mode.head).c_str());
    }
    if (job.measured) {
        const std::string turned =
            mode.loudnessTarget ? " (turned by " + SignedDb(levelDb) + ")" : "";
        std::fprintf(
            stderr, "%s: %s%s\n", job.output.c_str(),
            ExportLoudness::Text(ExportLoudness::Result{job.measured->lufs, job.measured->truePeak})
                .c_str(),
            turned.c_str());
    }
    return true;
}

// render --list-hrtfs: the default SOFA set, then the mixer's sets, one a line, as --hrtf takes
// them.
int ListHrtfs() {
    std::printf("%s\n", SofaHrtfSet::DefaultPath());
    if (!CliMixer::IsAvailable()) {
        std::fprintf(stderr,
                     "sonomap-cli render: this build has no mixer library, so none of "
                     "its sets\n");
        return kExitOk;
    }
    const std::vector<std::string> names = CliMixer::HrtfNames();
    for (const std::string& name : names) {
        std::printf("%s\n", name.c_str());
    }
    if (names.empty()) {
        std::fprintf(stderr, "sonomap-cli render: the mixer has no HRTF (libopenal-data)\n");
    }
    return kExitOk;
}

std::string OutputInFolder(const std::string& folder, const std::string& input,
                           std::optional<int> typeId) {
    fs::path name = fs::path(input).filename();
    if (typeId) {
        name.replace_extension(*typeId == kSoundTypeAiff ? ".aif" : ".wav");
    }
    return (fs::path(folder) / name).string();
}

}  // namespace

int RunRender(const std::vector<std::string>& words) {
    const CliArguments args(
        words,
        {"-o", "--output-dir", "--type", "--jobs", "--hrtf", "--order", "--rate", "--sample-format",
         "--layout", "--report", "--loudness", "--head"},
        {"--binaural", "--ambix", "--adm", "--list-hrtfs", "--doppler", "--air"});
    if (!args.IsValid()) {
        return RenderUsageError(args.GetError());
    }
    if (args.Flag("--list-hrtfs")) {
        if (words.size() != 1) {
            return RenderUsageError("--list-hrtfs takes nothing else");
        }
        return ListHrtfs();
    }
    RenderMode mode;
    if (const auto text = args.Option("--head")) {
        const std::optional<HeadTurn> head = CliArguments::ParseHead(*text);
        if (!head) {
            return RenderUsageError(
                "--head is three angles in degrees, YAW,PITCH,ROLL (such as -90,0,0), not '" +
                *text + "'");
        }
        mode.head = *head;
    }
    mode.bBinaural = args.Flag("--binaural");
    if (const auto hrtf = args.Option("--hrtf")) {
        if (!mode.bBinaural) {
            return RenderUsageError("--hrtf goes with --binaural");
        }
        mode.hrtfName = *hrtf;
    }
    if (mode.bBinaural && SofaSetChoice::NamesFile(mode.hrtfName)) {
        mode.hrtfName = SofaSetChoice::FileOf(mode.hrtfName);
    }
    mode.bAdm = args.Flag("--adm");
    mode.bDoppler = args.Flag("--doppler");
    mode.bAir = args.Flag("--air");
    mode.bAmbix = args.Flag("--ambix");
    if (const auto name = args.Option("--layout")) {
        mode.pLayout = SpeakerLayout::Find(*name);
        if (mode.pLayout == nullptr) {
            return RenderUsageError(LoudspeakerExportCommand::UnknownLayoutText(*name));
        }
    }
    if (int(mode.bAdm) + int(mode.bAmbix) + int(mode.bBinaural) + int(mode.pLayout != nullptr) >
        1) {
        return RenderUsageError("choose one of --binaural, --ambix, --adm and --layout");
    }
    if (mode.bAdm && args.Option("--type") && *args.Option("--type") != "wav") {
        return RenderUsageError("an ADM file is a WAV file; --type wav or none");
    }
    mode.bAmbix = args.Flag("--ambix");
    if (mode.bAmbix && mode.bBinaural) {
        return RenderUsageError("choose one of --binaural and --ambix");
    }
    if (const auto text = args.Option("--sample-format")) {
        mode.sampleFormat = ParseSampleFormat(*text);
        if (!mode.sampleFormat) {
            return RenderUsageError("--sample-format is s16, s24 or f32, not '" + *text + "'");
        }
        mode.ambix.format = *mode.sampleFormat;
    }
    if (const auto text = args.Option("--order")) {
        const std::optional<long> order = WholeNumber(*text, 1, 3);
        if (!mode.bAmbix) {
            return RenderUsageError("--order goes with --ambix");
        }
        if (!order) {
            return RenderUsageError("--order is 1, 2 or 3, not '" + *text + "'");
        }
        mode.ambix.order = static_cast<int>(*order);
    }
    if (const auto text = args.Option("--rate")) {
        if (!mode.bAmbix && mode.pLayout == nullptr) {
            return RenderUsageError("--rate goes with --ambix or --layout");
        }
        if (*text != "48000") {
            return RenderUsageError(
                "--rate is 48000 (or left out for the sound's own rate), not '" + *text + "'");
        }
        mode.ambix.rate = 48000;
    }
    if (const auto text = args.Option("--loudness")) {
        char* end = nullptr;
        const double value = std::strtod(text->c_str(), &end);
        if (text->empty() || *end != '\0' || !(value >= -70.0 && value <= 0.0)) {
            return RenderUsageError("--loudness is a loudness from -70 to 0 LUFS, not '" + *text +
                                    "'");
        }
        mode.loudnessTarget = value;
    }
    const std::vector<std::string>& inputs = args.Positional();
    const std::optional<std::string> out = args.Option("-o");
    const std::optional<std::string> folder = args.Option("--output-dir");
    if (inputs.empty()) {
        return RenderUsageError("name at least one IN");
    }
    if (out.has_value() == folder.has_value()) {
        return RenderUsageError("give either -o OUT or --output-dir DIR");
    }
    if (out && inputs.size() != 1) {
        return RenderUsageError("-o names one output; use --output-dir DIR for several inputs");
    }
    std::optional<int> typeId;
    if (const auto type = args.Option("--type")) {
        typeId = CliArguments::ParseType(*type);
        if (!typeId) {
            return RenderUsageError("--type is wav or aiff, not '" + *type + "'");
        }
    }
    if (mode.bAdm) {
        typeId = kSoundTypeWave;
    }
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    if (const auto text = args.Option("--jobs")) {
        char* end = nullptr;
        const long value = std::strtol(text->c_str(), &end, 10);
        if (text->empty() || *end != '\0' || value < 1 || value > 1024) {
            return RenderUsageError("--jobs is a count from 1 to 1024, not '" + *text + "'");
        }
        jobs = static_cast<unsigned>(value);
    }

    if (mode.bBinaural && SofaSetChoice::NamesFile(mode.hrtfName)) {
        // Refused before any output exists, and never replaced by another set.
        mode.pSofa = SofaSetChoice::Load(mode.hrtfName);
        if (!mode.pSofa->Refusal().empty()) {
            std::fprintf(stderr, "sonomap-cli render: %s\n", mode.pSofa->Refusal().c_str());
            return kExitFailed;
        }
    } else if (mode.bBinaural && !CliMixer::IsAvailable()) {
        std::fprintf(stderr,
                     "sonomap-cli render: this build has no mixer library, which "
                     "--hrtf %s needs\n",
                     mode.hrtfName.c_str());
        return kExitFailed;
    } else if (!mode.hrtfName.empty()) {
        const std::vector<std::string> names = CliMixer::HrtfNames();
        if (std::find(names.begin(), names.end(), mode.hrtfName) == names.end()) {
            return RenderUsageError("no HRTF is named '" + mode.hrtfName +
                                    "'; 'sonomap-cli render --list-hrtfs' lists them");
        }
    }

    std::vector<RenderJob> queue;
    std::set<std::string> outputs;
    for (const std::string& input : inputs) {
        const std::string output = out ? *out : OutputInFolder(*folder, input, typeId);
        if (!outputs.insert(FileIdentity::ResolvedPath(output)).second) {
            return RenderUsageError("two inputs would both be written to " + output);
        }
        queue.push_back({input, output, std::nullopt});
    }

    // Workers take the next file until none is left; each writes only its own slot.
    std::vector<char> rendered(queue.size(), 0);
    std::atomic<size_t> next{0};
    const bool bLabelled = queue.size() > 1;
    auto worker = [&] {
        for (size_t i = next++; i < queue.size(); i = next++) {
            rendered[i] = RenderOne(queue[i], inputs, typeId, bLabelled, mode) ? 1 : 0;
        }
    };
    std::vector<std::thread> workers;
    const size_t count = std::min<size_t>(jobs, queue.size());
    for (size_t w = 1; w < count; ++w) {
        workers.emplace_back(worker);
    }
    worker();
    for (std::thread& t : workers) {
        t.join();
    }

    int exitCode = kExitOk;
    for (size_t i = 0; i < queue.size(); ++i) {
        if (rendered[i] == 0) {
            std::fprintf(stderr, "sonomap-cli render: %s: not rendered\n", queue[i].input.c_str());
            exitCode = kExitFailed;
        }
    }
    if (const auto report = args.Option("--report");
        report && !WriteReport(*report, queue, mode.loudnessTarget.has_value())) {
        std::fprintf(stderr, "sonomap-cli render: the report could not be written to %s\n",
                     report->c_str());
        exitCode = kExitFailed;
    }
    return exitCode;
}
