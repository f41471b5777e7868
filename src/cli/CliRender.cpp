// sonomap-cli render: the editor's stereo, binaural, Ambisonics, ADM or loudspeaker export over
// many files, one worker per file.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <set>
#include <thread>

#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliMixer.h"
#include "deliver/AdmExportCommand.h"
#include "deliver/AmbisonicsExportCommand.h"
#include "deliver/BinauralExportCommand.h"
#include "deliver/ExportLoudness.h"
#include "deliver/LoudnessTarget.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/SofaExportRenderer.h"
#include "deliver/SofaSetChoice.h"
#include "deliver/StereoExportCommand.h"
#include "document/AcousticsChunk.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "formats/CSoundFile.h"
#include "platform/CFileException.h"
#include "platform/FileIdentity.h"
#include "platform/HelperThread.h"
#include "platform/RegularFile.h"
#include "platform/SafeFileWriter.h"
#include "platform/TempFileRegistry.h"
#include "platform/WriteFailure.h"
#include "render/SpeakerLayout.h"
#include "trajectory/AdmTrajectory.h"

#include <nlohmann/json.hpp>

namespace {

namespace fs = std::filesystem;

struct RenderJob {
    std::string input;
    std::string output;  // the file written, with the extension the type adds
    std::optional<CliHost::Measured> measured;  // once rendered
    double levelDb = 0;                         // the gain --loudness turned it by
    std::string reason;                         // why it was not written
};

// How each file is rendered: the stereo filter, binaural (a SOFA set, or the mixer with one of
// its own), or AmbiX.
struct RenderMode {
    bool bBinaural = false;
    bool bAmbix = false;
    std::string hrtfName;                  // a mixer set; empty: the SOFA set below
    std::shared_ptr<SofaSetChoice> pSofa;  // read once, shared by every worker
    bool bAdm = false;  // the samples as they are, with the trajectory as ADM objects
    int roomOrder = AdmExportCommand::kDefaultRoomOrder;  // of the room's object in ADM
    const SpeakerLayout* pLayout = nullptr;               // loudspeaker feeds of this layout
    std::optional<SampleFormat> sampleFormat;
    AmbisonicsExport::Options ambix;
    std::optional<double> loudnessTarget;  // LUFS
    bool bDoppler = false;                 // on top of what each document keeps
    bool bAir = false;
    std::optional<Room> room;  // in place of the document's
    HeadTurn head;             // the listener's, for every output
};

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
    return UsageError("render", problem);
}

// The name a save writes for path: as given, or with the type's extension when it has none
// (a name ending in a dot loses it), as the save dialog's check makes it.
std::string WrittenName(const std::string& path, std::optional<int> typeId) {
    const size_t nameStart = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
    const size_t dot = path.rfind('.');
    const bool bDot = dot != std::string::npos && dot >= nameStart;
    if (bDot && dot + 1 < path.size()) {
        return path;
    }
    return (bDot ? path.substr(0, dot) : path) +
           (typeId.value_or(kSoundTypeWave) == kSoundTypeAiff ? ".aif" : ".wav");
}

// Why path cannot be an output as given on the command line; empty when it can.
std::string WhyNotOutput(const std::string& option, const std::string& path) {
    if (path.empty()) {
        return option + " names no file";
    }
    std::error_code error;
    if (path.back() == '/' || std::filesystem::is_directory(path, error)) {
        return option + " " + path + " is a folder; --output-dir writes into one";
    }
    const std::string special = RegularFile::WhyNotOutput(path);
    return special.empty() ? ""
                           : option + " " + special + "; an output is a regular file or a new name";
}

// count numbers separated by commas in text, each finite; none for anything else.
std::optional<std::vector<double>> Numbers(const std::string& text, size_t count) {
    std::vector<double> values;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string part = text.substr(at, comma - at);
        char* end = nullptr;
        const double value = std::strtod(part.c_str(), &end);
        if (part.empty() || *end != '\0' || !std::isfinite(value)) {
            return std::nullopt;
        }
        values.push_back(value);
        at = comma + 1;
    }
    if (values.size() != count) {
        return std::nullopt;
    }
    return values;
}

// --room W,D,H with --listener-at, --absorption, --reflections and --room-tail: the room every
// file is heard in. A usage error's code, or kExitOk.
int ReadRoom(const CliArguments& args, std::optional<Room>& room) {
    const auto text = args.Option("--room");
    for (const char* option : {"--listener-at", "--absorption", "--reflections", "--room-tail"}) {
        if (!text && args.Option(option)) {
            return RenderUsageError(std::string(option) + " goes with --room");
        }
    }
    if (!text) {
        return kExitOk;
    }
    const std::optional<std::vector<double>> size = Numbers(*text, 3);
    if (!size) {
        return RenderUsageError("--room is three sizes in metres, W,D,H, not '" + *text + "'");
    }
    Room made;
    made.width = (*size)[0];
    made.depth = (*size)[1];
    made.height = (*size)[2];
    made.listenerX = made.width / 2.0;
    made.listenerY = made.depth / 2.0;
    made.listenerZ = 1.2;
    if (const auto at = args.Option("--listener-at")) {
        const std::optional<std::vector<double>> xyz = Numbers(*at, 3);
        if (!xyz) {
            return RenderUsageError("--listener-at is X,Y,Z in metres, not '" + *at + "'");
        }
        made.listenerX = (*xyz)[0];
        made.listenerY = (*xyz)[1];
        made.listenerZ = (*xyz)[2];
    }
    if (const auto alpha = args.Option("--absorption")) {
        std::optional<std::vector<double>> values = Numbers(*alpha, 1);
        if (values) {
            values->assign(6, values->front());
        } else {
            values = Numbers(*alpha, 6);
        }
        if (!values) {
            return RenderUsageError(
                "--absorption is one coefficient or six (x=0, x=W, y=0, "
                "y=D, floor, ceiling), not '" +
                *alpha + "'");
        }
        std::copy(values->begin(), values->end(), made.absorption.begin());
    }
    if (const auto order = args.Option("--reflections")) {
        const std::optional<long> value = WholeNumber(*order, 0, 12);
        if (!value) {
            return RenderUsageError("--reflections is an order from 0 to 12, not '" + *order + "'");
        }
        made.reflections = static_cast<int>(*value);
    }
    if (const auto tail = args.Option("--room-tail")) {
        if (*tail != "on" && *tail != "off") {
            return RenderUsageError("--room-tail is on or off, not '" + *tail + "'");
        }
        made.bTail = *tail == "on";
    }
    // A listener outside the room, a size of nothing, an absorption that is none: said as the
    // room's own words.
    if (const std::string why = RoomProblem(made); !why.empty()) {
        return RenderUsageError(why);
    }
    room = made;
    return kExitOk;
}

// Every output sample times level (linear).
bool Export(CTesselDoc& doc, const std::string& path, int outputType, const RenderMode& mode,
            float level) {
    if (mode.bAdm) {
        AdmExportCommand command(doc);
        command.SetLevel(level);
        command.SetRoomOrder(mode.roomOrder);
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

// --report: one entry per output, in the order of the inputs; null for a value that is not a
// number (silence) and for an output not written, with the reason it was not. With a loudness
// target, the gain each was turned by. Written beside its name and put in place only when
// complete, so a full disk leaves no report cut short. False with why on failure.
bool WriteReport(const std::string& path, const std::vector<RenderJob>& jobs, bool bTargeted,
                 std::string& why) {
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
        if (!job.measured) {
            entry["reason"] = job.reason;
        }
        outputs.push_back(entry);
    }
    const std::string text = nlohmann::json{{"outputs", outputs}}.dump(2) + "\n";
    try {
        SafeFileWriter writer(path);
        writer.Begin().Write(text.data(), text.size());
        writer.Commit();
    } catch (const CFileException& error) {
        why = WriteFailure::Reason(error.GetError(), path);
        return false;
    }
    return true;
}

// The messages a failed render showed, on one line.
std::string ReasonOf(CliHost& host) {
    std::string reason;
    for (const std::string& message : host.GetPrompts().Messages()) {
        reason += (reason.empty() ? "" : " ") + message;
    }
    for (char& c : reason) {
        c = c == '\n' ? ' ' : c;
    }
    const auto twice = [](char a, char b) { return a == ' ' && b == ' '; };
    reason.erase(std::unique(reason.begin(), reason.end(), twice), reason.end());
    return reason.empty() ? "not rendered" : reason;
}

// One file from open to finished output, with a host, prompts and document of its own; what
// was measured of the output goes on stderr and into job.
bool RenderOne(RenderJob& job, const std::vector<std::string>& inputs, std::optional<int> typeId,
               bool bLabelled, const RenderMode& mode) {
    CliHost host;
    const auto failed = [&] {
        job.reason = ReasonOf(host);
        return false;
    };
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
        return failed();
    }
    host.SetOpenDocument(full);
    Acoustics acoustics = doc.GetAcoustics();
    acoustics.bDoppler = acoustics.bDoppler || mode.bDoppler;
    acoustics.bAir = acoustics.bAir || mode.bAir;
    if (mode.room) {
        acoustics.room = mode.room;
    }
    doc.SetAcoustics(acoustics);
    doc.SetHeadTurn(mode.head);
    SaveNameResult output;
    if (!host.TakeTarget(kSoundTypeWave, "", output)) {
        return failed();
    }
    const auto render = [&](const std::string& path, float level) {
        return Export(doc, path, output.filterIndex - 1, mode, level);
    };
    double levelDb = 0;
    if (mode.loudnessTarget) {
        LoudnessTarget target(*mode.loudnessTarget);
        if (!target.RenderTo(host, output.fullPath, render)) {
            return failed();
        }
        levelDb = target.GainDb();
    } else if (!render(output.fullPath, 1.0f)) {
        return failed();
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
         "--layout", "--report", "--loudness", "--room", "--listener-at", "--absorption",
         "--reflections", "--room-tail", "--head"},
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
        if (!mode.bAmbix && !mode.bAdm) {
            return RenderUsageError("--order goes with --ambix or --adm");
        }
        if (!order) {
            return RenderUsageError("--order is 1, 2 or 3, not '" + *text + "'");
        }
        mode.ambix.order = static_cast<int>(*order);
        mode.roomOrder = mode.ambix.order;
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
    if (const int code = ReadRoom(args, mode.room); code != kExitOk) {
        return code;
    }
    if (const auto text = args.Option("--loudness")) {
        mode.loudnessTarget = LoudnessTarget::Parse(*text);
        if (!mode.loudnessTarget) {
            return RenderUsageError("--loudness is a loudness from -70 to 0 LUFS, not '" + *text +
                                    "'");
        }
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
    if (folder && folder->empty()) {
        return RenderUsageError("--output-dir names no folder");
    }
    const std::optional<std::string> report = args.Option("--report");
    if (report && report->empty()) {
        return RenderUsageError("--report names no file");
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
        const std::string given = out ? *out : OutputInFolder(*folder, input, typeId);
        const std::string why = WhyNotOutput(out ? "-o" : "--output-dir's output", given);
        if (!why.empty()) {
            return RenderUsageError(why);
        }
        // Named as written, so the lines on stderr and the report name the very file.
        const std::string output = WrittenName(given, typeId);
        if (!outputs.insert(FileIdentity::ResolvedPath(output)).second) {
            return RenderUsageError("two inputs would both be written to " + output);
        }
        queue.push_back({input, output, std::nullopt, 0, ""});
    }
    if (report) {
        // The report is an output too: it replaces no input, no output and no HRTF set.
        const std::string special = RegularFile::WhyNotOutput(*report);
        if (!special.empty()) {
            return RenderUsageError("--report " + special);
        }
        // Absolute first: a path in a folder not made yet resolves to itself.
        const auto where = [](const std::string& file) {
            return FileIdentity::ResolvedPath(fs::absolute(file).lexically_normal().string());
        };
        const auto is = [&](const std::string& other) {
            return where(other) == where(*report) || FileIdentity::IsSameFile(other, *report);
        };
        for (const RenderJob& job : queue) {
            if (is(job.input)) {
                return RenderUsageError("--report " + *report + " would replace the input " +
                                        job.input);
            }
            if (is(job.output)) {
                return RenderUsageError("--report " + *report + " would replace the output " +
                                        job.output);
            }
        }
        if (mode.pSofa && is(mode.hrtfName)) {
            return RenderUsageError("--report " + *report + " would replace the HRTF set");
        }
    }

    // Workers take the next file until none is left; each writes only its own slot.
    std::vector<char> rendered(queue.size(), 0);
    std::vector<char> threw(queue.size(), 0);
    std::atomic<size_t> next{0};
    const bool bLabelled = queue.size() > 1;
    auto worker = [&] {
        for (size_t i = next++; i < queue.size(); i = next++) {
            // A file that throws fails alone; the others go on.
            try {
                rendered[i] = RenderOne(queue[i], inputs, typeId, bLabelled, mode) ? 1 : 0;
            } catch (const std::bad_alloc&) {
                queue[i].reason = "it ran out of memory";
                threw[i] = 1;
            } catch (const std::exception& error) {
                queue[i].reason = error.what();
                threw[i] = 1;
            }
        }
    };
    std::vector<std::thread> workers;
    const size_t count = std::min<size_t>(jobs, queue.size());
    // Files side by side have the cores to themselves already.
    HelperThread::Allow(count <= 1);
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
            // What threw was said nowhere else.
            const std::string thrown = threw[i] != 0 ? " (" + queue[i].reason + ")" : "";
            std::fprintf(stderr, "sonomap-cli render: %s: not rendered%s\n", queue[i].input.c_str(),
                         thrown.c_str());
            exitCode = kExitFailed;
        }
    }
    std::string why;
    if (report && !WriteReport(*report, queue, mode.loudnessTarget.has_value(), why)) {
        std::fprintf(stderr, "sonomap-cli render: the report could not be written to %s: %s\n",
                     report->c_str(), why.c_str());
        exitCode = kExitFailed;
    }
    return exitCode;
}
