// sonomap-cli render: the editor's stereo or binaural export over many files, one worker per
// file.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliMixer.h"
#include "document/AdmExportCommand.h"
#include "document/BinauralExportCommand.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/StereoExportCommand.h"
#include "formats/CSoundFile.h"

namespace {

namespace fs = std::filesystem;

struct RenderJob {
    std::string input;
    std::string output;
};

// How each file is rendered: the stereo filter, or the mixer with HRTF.
struct RenderMode {
    bool bBinaural = false;
    std::string hrtfName;  // empty: the first that fits
    bool bAdm = false;     // the samples as they are, with the trajectory as ADM objects
    std::optional<std::string> sampleFormat;
};

int RenderUsageError(const std::string& problem) {
    std::fprintf(stderr, "sonomap-cli render: %s\n\n%s", problem.c_str(),
                 UsageOf("render").c_str());
    return kExitUsage;
}

// One file from open to finished output, with a host, prompts and document of its own.
bool RenderOne(const RenderJob& job, std::optional<int> typeId, bool bLabelled,
               const RenderMode& mode) {
    CliHost host;
    const std::string hrtfName = mode.hrtfName;
    host.SetRendererFactory([hrtfName] { return CliMixer::MakeRenderer(hrtfName); });
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
    SaveNameResult output;
    if (!host.TakeTarget(kSoundTypeWave, "", output)) {
        return false;
    }
    const int outputType = output.filterIndex - 1;
    if (mode.bAdm) {
        return AdmExportCommand(doc).RenderTo(output.fullPath, mode.sampleFormat);
    }
    return mode.bBinaural ? BinauralExportCommand(doc).RenderTo(output.fullPath, outputType)
                          : StereoExportCommand(doc).RenderTo(output.fullPath, outputType);
}

// render --list-hrtfs: the names, one a line, as --hrtf takes them.
int ListHrtfs() {
    if (!CliMixer::IsAvailable()) {
        std::fprintf(stderr, "sonomap-cli render: this build has no mixer library\n");
        return kExitFailed;
    }
    const std::vector<std::string> names = CliMixer::HrtfNames();
    for (const std::string& name : names) {
        std::printf("%s\n", name.c_str());
    }
    if (names.empty()) {
        std::fprintf(stderr, "sonomap-cli render: no HRTF is installed (libopenal-data)\n");
        return kExitFailed;
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
    const CliArguments args(words,
                            {"-o", "--output-dir", "--type", "--jobs", "--hrtf", "--sample-format"},
                            {"--binaural", "--list-hrtfs", "--adm"});
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
    mode.bBinaural = args.Flag("--binaural");
    if (const auto hrtf = args.Option("--hrtf")) {
        if (!mode.bBinaural) {
            return RenderUsageError("--hrtf goes with --binaural");
        }
        mode.hrtfName = *hrtf;
    }
    mode.bAdm = args.Flag("--adm");
    if (mode.bAdm && mode.bBinaural) {
        return RenderUsageError("--adm and --binaural exclude each other");
    }
    if (const auto sampleFormat = args.Option("--sample-format")) {
        static const std::set<std::string> kNames = {"u8", "s16", "s24", "s32", "f32"};
        if (!mode.bAdm) {
            return RenderUsageError("--sample-format goes with --adm");
        }
        if (kNames.count(*sampleFormat) == 0) {
            return RenderUsageError("--sample-format is u8, s16, s24, s32 or f32, not '" +
                                    *sampleFormat + "'");
        }
        mode.sampleFormat = *sampleFormat;
    }
    if (mode.bAdm && args.Option("--type") && *args.Option("--type") != "wav") {
        return RenderUsageError("an ADM file is a WAV file; --type wav or none");
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

    if (mode.bBinaural && !CliMixer::IsAvailable()) {
        std::fprintf(stderr,
                     "sonomap-cli render: this build has no mixer library, which "
                     "--binaural needs\n");
        return kExitFailed;
    }
    if (!mode.hrtfName.empty()) {
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
        if (!outputs.insert(fs::absolute(output).lexically_normal().string()).second) {
            return RenderUsageError("two inputs would both be written to " + output);
        }
        queue.push_back({input, output});
    }

    // Workers take the next file until none is left; each writes only its own slot.
    std::vector<char> rendered(queue.size(), 0);
    std::atomic<size_t> next{0};
    const bool bLabelled = queue.size() > 1;
    auto worker = [&] {
        for (size_t i = next++; i < queue.size(); i = next++) {
            rendered[i] = RenderOne(queue[i], typeId, bLabelled, mode) ? 1 : 0;
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
    return exitCode;
}
