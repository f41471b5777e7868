#include "cli/CliCommands.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "cli/CliArguments.h"
#include "cli/CliHost.h"
#include "cli/JsonText.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "document/TrajectorySpan.h"
#include "trajectory/PlaceThinning.h"
#include "trajectory/PointsText.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryGenerator.h"

namespace {

std::string Absolute(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

// Opens path into a new document of host; none when opening was refused (already said).
std::unique_ptr<CTesselDoc> OpenDocument(CliHost& host, const std::string& path) {
    const std::string full = Absolute(path);
    auto doc = std::make_unique<CTesselDoc>(host);
    if (!DocumentOpen(*doc).Open(full)) {
        return nullptr;
    }
    host.SetOpenDocument(full);
    return doc;
}

std::string InfoJson(const CTesselDoc& doc, const std::vector<std::string>& messages) {
    const PcmFormat& format = doc.GetFormat();
    std::ostringstream out;
    out << "{\n";
    out << "  \"type\": " << JsonText::Quoted(doc.GetFileType()) << ",\n";
    out << "  \"channels\": " << format.channels << ",\n";
    out << "  \"sampleRate\": " << format.sampleRate << ",\n";
    out << "  \"bitsPerSample\": " << format.bitsPerSample << ",\n";
    out << "  \"sampleFormat\": \"" << (format.formatTag == kFormatTagFloat ? "float" : "int")
        << "\",\n";
    out << "  \"dataBytes\": " << doc.GetDataBytes() << ",\n";
    out << "  \"frames\": " << doc.GetFrameCount() << ",\n";
    out << "  \"panPoints\": [";
    for (const PanPoint* p = doc.NextPoint(nullptr); p; p = doc.NextPoint(p)) {
        out << (p == doc.NextPoint(nullptr) ? "" : ", ") << "[" << p->position << ", " << p->Pan()
            << "]";
    }
    out << "],\n";
    out << "  \"frontal\": " << (IsFrontal(doc.GetPanPoints()) ? "true" : "false") << ",\n";
    out << "  \"trajectory\": [";
    for (const PanPoint* p = doc.NextPoint(nullptr); p; p = doc.NextPoint(p)) {
        out << (p == doc.NextPoint(nullptr) ? "" : ", ") << "{\"frame\": " << p->position
            << ", \"azimuth\": " << p->azimuth << ", \"elevation\": " << p->elevation
            << ", \"distance\": " << JsonText::Metres(p->distanceCm) << ", \"width\": " << p->width
            << "}";
    }
    out << "],\n";
    out << "  \"carriedFlag\": " << (doc.GetChunkFlag() ? 1 : 0) << ",\n";
    out << "  \"carriedValue\": " << doc.GetChunkValue() << ",\n";
    out << "  \"unrecognizedChunks\": [";
    if (const UnrecognizedChunkBlock* block = doc.GetUnrecognized()) {
        const auto chunks = block->ListChunks();
        for (size_t i = 0; i < chunks.size(); ++i) {
            out << (i == 0 ? "" : ", ") << "{\"id\": " << JsonText::Quoted(chunks[i].id)
                << ", \"idHex\": \"" << JsonText::Hex(chunks[i].id)
                << "\", \"size\": " << chunks[i].size << "}";
        }
    }
    out << "],\n";
    out << "  \"modified\": " << (doc.IsModified() ? "true" : "false") << ",\n";
    out << "  \"messages\": [";
    for (size_t i = 0; i < messages.size(); ++i) {
        out << (i == 0 ? "" : ", ") << JsonText::Quoted(messages[i]);
    }
    out << "]\n}\n";
    return out.str();
}

// --save-as OUT [--type wav|aiff] as a save target; false with a usage error.
bool ReadSaveTarget(const CliArguments& args, const std::string& command, CliHost& host,
                    bool bRequired, int& exitCode) {
    const std::optional<std::string> out = args.Option("--save-as");
    const std::optional<std::string> type = args.Option("--type");
    if (!out) {
        if (type) {
            exitCode = UsageError(command, "--type goes with --save-as");
            return false;
        }
        return !bRequired;
    }
    CliHost::SaveTarget target{*out, std::nullopt};
    if (type) {
        target.typeId = CliArguments::ParseType(*type);
        if (!target.typeId) {
            exitCode = UsageError(command, "--type is wav or aiff, not '" + *type + "'");
            return false;
        }
    }
    host.SetSaveTarget(target);
    return true;
}

// The document set-points works on, with its save target read; null with exitCode set.
std::unique_ptr<CTesselDoc> OpenForSetPoints(const CliArguments& args, CliHost& host,
                                             int& exitCode) {
    if (!ReadSaveTarget(args, "set-points", host, false, exitCode)) {
        return nullptr;
    }
    std::unique_ptr<CTesselDoc> doc = OpenDocument(host, args.Positional()[0]);
    if (!doc) {
        exitCode = kExitFailed;
    }
    return doc;
}

// --thin DEGREES: the fewest of the document's points that keep within that many degrees of
// its path, as one step; false with the message shown.
bool Thin(CliHost& host, CTesselDoc& doc, std::optional<double> degrees) {
    const std::vector<PanPoint> points = doc.GetPanPoints().Values();
    if (!degrees || points.size() < 3) {
        return true;
    }
    const std::vector<PanPoint> kept = PlaceThinning::Thin(points, *degrees);
    if (!TrajectorySpan::Replace(doc, points.front().position, points.back().position, kept)) {
        host.Prompts().Message("Error adding pan point to list!");
        return false;
    }
    return true;
}

// set-points --generate: the shape replaces the points of its span only.
int RunGenerate(const CliArguments& args, const std::string& shape,
                std::optional<double> thinDegrees) {
    CliHost host;
    int exitCode = kExitOk;
    std::unique_ptr<CTesselDoc> doc = OpenForSetPoints(args, host, exitCode);
    if (!doc) {
        return exitCode;
    }
    std::string error;
    const std::optional<TrajectoryGenerator> generator =
        TrajectoryGenerator::Parse(shape, doc->GetFrameCount(), doc->GetFormat().sampleRate, error);
    if (!generator) {
        return UsageError("set-points", error);
    }
    std::vector<PanPoint> points;
    if (!generator->Generate(points, error)) {
        host.Prompts().Message(error);
        return kExitFailed;
    }
    if (!TrajectorySpan::Replace(*doc, generator->From(), generator->To(), points)) {
        host.Prompts().Message("Error adding pan point to list!");
        return kExitFailed;
    }
    if (!Thin(host, *doc, thinDegrees)) {
        return kExitFailed;
    }
    return host.SaveDocument(*doc, args.Option("--save-as").has_value()) ? kExitOk : kExitFailed;
}

}  // namespace

int UsageError(const std::string& command, const std::string& problem) {
    const std::string name = command.empty() ? "sonomap-cli" : "sonomap-cli " + command;
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", name.c_str(),
                 problem.c_str(), name.c_str());
    return kExitUsage;
}

std::string UsageOf(const std::string& command) {
    if (command == "info") {
        return "usage: sonomap-cli info FILE\n"
               "  Prints the sound's format, pan points, whether the trajectory is frontal and\n"
               "  its places (\"trajectory\", distance in metres), carried fields, the chunks "
               "Sonomap\n"
               "  does not understand and the messages opening showed, as one JSON object.\n"
               "  The output is ASCII: text that is valid UTF-8 keeps its characters (as \\u\n"
               "  escapes), and any other byte 0xXX stands for the character U+00XX. Each chunk\n"
               "  id is also given exactly, as \"idHex\": eight hex digits.\n";
    }
    if (command == "set-points") {
        return "usage: sonomap-cli set-points FILE (--points \"frame:az[:el[:dist[:width]]],...\" "
               "|\n"
               "                              --points-file CSV | --generate "
               "\"SHAPE:key=value,...\")\n"
               "                              [--thin DEGREES] [--save-as OUT [--type wav|aiff]]\n"
               "       sonomap-cli set-points FILE --thin DEGREES [--save-as OUT [--type "
               "wav|aiff]]\n"
               "  Replaces the trajectory and saves FILE in place, or as OUT. Frames; azimuth\n"
               "  -180 ... 180 degrees (0 ahead, 90 right, 180 behind; \"frame:pan\" as before);\n"
               "  elevation -90 ... 90 degrees; distance 0.1 ... 100 metres (default 1);\n"
               "  width 0 ... 180 degrees, a stereo sound's spread. An empty --points clears it.\n"
               "  A points file holds one point a line, the same columns separated by commas.\n"
               "  --generate \"SHAPE[:key=value,...]\" draws a shape over frames from .. to\n"
               "  (the whole sound by default) and replaces the points there only, with as\n"
               "  few points as keep the path within 1 degree of the shape (65535 at most):\n"
               "    sweep    start=-90 end=90 elevation=0 distance=1\n"
               "    pendulum start=-45 end=45 period=2 elevation=0 distance=1\n"
               "    orbit    period=4 direction=right|left start=0 elevation=0 distance=1\n"
               "    spiral   period=4 direction=right|left start=0 el-start=0 el-end=45 "
               "distance=1\n"
               "    random   seed=1 min=-90 max=90 speed=45 elevation=0 distance=1\n"
               "  Angles in degrees (start: azimuth), period in seconds, distance in metres,\n"
               "  speed in degrees a second.\n"
               "  --thin DEGREES (0.01 to 45) then keeps the fewest points whose path stays\n"
               "  within that many degrees of the trajectory (width too; distance within as\n"
               "  many centimetres): a file holds at most 65535 points. Alone, it thins the\n"
               "  points FILE holds.\n";
    }
    if (command == "save-as") {
        return "usage: sonomap-cli save-as IN OUT [--type wav|aiff]\n"
               "  Saves IN as OUT. Without --type the type follows OUT's extension (.aif or\n"
               "  .aiff: AIFF, .wav: WAV), else IN's own type. A change of type drops the\n"
               "  chunks Sonomap does not understand.\n";
    }
    if (command == "render") {
        return "usage: sonomap-cli render IN... (-o OUT | --output-dir DIR) [--type wav|aiff]\n"
               "                          [--jobs N] [--binaural [--hrtf FILE.sofa|NAME]]\n"
               "                          [--ambix [--order 1|2|3] [--rate 48000]]\n"
               "                          [--adm [--order 1|2|3]]\n"
               "                          [--layout NAME [--rate 48000]]\n"
               "                          [--sample-format s16|s24|f32] [--loudness LUFS]\n"
               "                          [--report FILE.json] [--doppler] [--air]\n"
               "                          [--head YAW,PITCH,ROLL]\n"
               "                          [--room W,D,H [--listener-at X,Y,Z]\n"
               "                           [--absorption A|A1,...,A6] [--reflections N]\n"
               "                           [--room-tail on|off]]\n"
               "       sonomap-cli render --list-hrtfs\n"
               "  Renders each IN along its pan trajectory into a two-channel file, as the\n"
               "  editor's Export Stereo File does. -o names the output of a single IN;\n"
               "  --output-dir DIR writes each output under its input's name. Without --type\n"
               "  the type follows the output's extension (.aif or .aiff: AIFF, else WAV); a\n"
               "  name without one gets the type's. An output is a regular file or a new name.\n"
               "  N files render at once (default: the number of cores). A file that fails is\n"
               "  named on stderr and the others go on; progress shows when stderr is a\n"
               "  terminal.\n"
               "  --binaural renders for headphones instead, as the editor's Export Binaural\n"
               "  File does: 16-bit stereo through Sonomap's SOFA renderer at the sound's\n"
               "  rate. --hrtf takes a SOFA file (SimpleFreeFieldHRIR; default: the one\n"
               "  libmysofa installs) or a set of the mixer's as --list-hrtfs prints it, which\n"
               "  the mixer renders at 44100 or 48000 Hz. A file that cannot serve is refused\n"
               "  with its reason and nothing is written. --list-hrtfs prints the default SOFA\n"
               "  set and the mixer's sets, one a line.\n"
               "  --adm writes an ADM BW64 file instead, as the editor's Export ADM BW64\n"
               "  does: the sound's samples with its trajectory as one object per channel\n"
               "  (WAV; RF64 with ds64 past 4 GiB). In a room, the room follows as an\n"
               "  object of type HOA: AmbiX of --order (default 3) on the tracks after them;\n"
               "  --sample-format f32 keeps a room louder than full scale whole.\n"
               "  --ambix writes Ambisonics instead, as the editor's Export Ambisonics does:\n"
               "  AmbiX (ACN order, SN3D) of --order 1, 2 or 3 (4, 9 or 16 channels, default\n"
               "  1) along the trajectory in 3-D, at the sound's rate or --rate 48000.\n"
               "  --layout NAME writes loudspeaker feeds instead, as the editor's Export\n"
               "  Loudspeakers does: one channel per loudspeaker of the ITU-R BS.2051 layout\n"
               "  NAME, the LFE silent: 0+2+0 (or 2.0), 0+5+0 (5.1), 2+5+0 (5.1.2), 4+5+0\n"
               "  (5.1.4), 4+5+1, 3+7+0, 4+9+0 (9.1.4), 9+10+3 (22.2), 0+7+0 (7.1) or 4+7+0\n"
               "  (7.1.4). A WAV file carries the channel mask of the layouts that have one,\n"
               "  its channels in the mask's order; otherwise they go in BS.2051's order.\n"
               "  --sample-format picks 16- or 24-bit integers (dithered) or 32-bit floats\n"
               "  (default: s16 for --binaural, --ambix and --layout, the sound's own width\n"
               "  for the stereo and ADM renders).\n"
               "  Each output's integrated loudness (ITU-R BS.1770-4, LUFS; an AmbiX file by\n"
               "  its W channel) and true peak (dBTP) go to stderr; --report writes them,\n"
               "  one entry per output (the reason for one not written), to FILE.json, which\n"
               "  replaces no input, output or HRTF set.\n"
               "  --loudness LUFS (-70 to 0, e.g. -23 or -16) turns each output up or down to\n"
               "  that integrated loudness: it is rendered once to be measured, then again\n"
               "  with the gain. An output whose true peak would then pass -1 dBTP, or a\n"
               "  silent one, is refused with the reason and not written. The stereo render\n"
               "  of an 8- or 32-bit integer sound needs --sample-format.\n"
               "  --doppler delays the sound by its path's length over 343 m/s, so a moving\n"
               "  sound changes pitch, and the output lasts until the last sound has\n"
               "  arrived. --air filters it by the air's absorption along its path (ISO\n"
               "  9613-1 at 20 C, 50 % humidity). Both add to what the file keeps.\n"
               "  --room W,D,H puts the listener in a shoebox room of W x D x H metres (x\n"
               "  across from the left wall, y from the back wall to the front, z up), at\n"
               "  --listener-at X,Y,Z (default the middle at 1.2 m) facing +y: reflections up\n"
               "  to --reflections N (0 to 12, default 3), each off walls of --absorption\n"
               "  (energy, 0.01 to 1: one for all, or x=0, x=W, y=0, y=D, floor, ceiling;\n"
               "  default 0.3), then a late tail at the room's Eyring RT60 (--room-tail off\n"
               "  leaves it out). A sound that leaves the room is refused, naming the frame.\n"
               "  --head YAW,PITCH,ROLL (or --head=YAW,PITCH,ROLL) renders for a listener whose\n"
               "  head is turned, in degrees: yaw + to the right, pitch + nose up, roll + right\n"
               "  ear down, applied in that order; angles past +-180 wrap. Turned 90 right, a\n"
               "  sound straight ahead is heard at -90. Every kind takes it: the stereo render\n"
               "  folds what the head hears onto the front, and ADM writes the places as the\n"
               "  head hears them and says so in its XML.\n";
    }
    if (command == "import") {
        return ImportUsage();
    }
    if (command == "batch") {
        return BatchUsage();
    }
    return "usage: sonomap-cli COMMAND ...\n"
           "commands:\n"
           "  info FILE                      describe a sound file as JSON\n"
           "  set-points FILE --points ...   replace the pan trajectory and save\n"
           "  save-as IN OUT [--type T]      save a sound under another name or type\n"
           "  render IN... (-o OUT | --output-dir DIR) [--type T] [--jobs N] [--binaural]\n"
           "         [--ambix] [--adm] [--layout NAME] [--loudness LUFS] [--report FILE.json]\n"
           "                                 export processed stereo, binaural, AmbiX, ADM\n"
           "                                 BW64 or loudspeaker files (--layout 5.1, 7.1.4,\n"
           "                                 ...), turned to a loudness, with a report\n"
           "  import IN OUT [--type T] [--bits B] [--no-dither]\n"
           "                                 convert any sound file libsndfile reads\n"
           "  batch MANIFEST [--jobs N] [--shard K/N] [--resume] [--manifest-out FILE]\n"
           "                                 render the scenes and labels of a JSON Lines\n"
           "                                 manifest\n"
           "Run 'sonomap-cli COMMAND --help' for a command's options; 'sonomap-cli --version'\n"
           "shows the version.\n"
           "Exit codes: 0 success, 1 a failure reported by a message, 2 a usage error.\n";
}

int RunInfo(const std::vector<std::string>& words) {
    const CliArguments args(words, {}, {});
    if (!args.IsValid()) {
        return UsageError("info", args.GetError());
    }
    if (args.Positional().size() != 1) {
        return UsageError("info", "name one FILE");
    }
    CliHost host;
    std::unique_ptr<CTesselDoc> doc = OpenDocument(host, args.Positional()[0]);
    if (!doc) {
        return kExitFailed;
    }
    // Messages first, then the status bar's lines: what a user of the editor would have seen.
    std::vector<std::string> messages = host.GetPrompts().Texts();
    const std::vector<std::string>& lines = host.GetPrompts().StatusLines();
    messages.insert(messages.end(), lines.begin(), lines.end());
    std::fputs(InfoJson(*doc, messages).c_str(), stdout);
    return kExitOk;
}

int RunSetPoints(const std::vector<std::string>& words) {
    const CliArguments args(
        words, {"--points", "--points-file", "--generate", "--thin", "--save-as", "--type"}, {});
    if (!args.IsValid()) {
        return UsageError("set-points", args.GetError());
    }
    if (args.Positional().size() != 1) {
        return UsageError("set-points", "name one FILE");
    }
    const std::optional<std::string> inline_ = args.Option("--points");
    const std::optional<std::string> file = args.Option("--points-file");
    const std::optional<std::string> shape = args.Option("--generate");
    std::optional<double> thinDegrees;
    if (const auto thin = args.Option("--thin")) {
        char* end = nullptr;
        const double degrees = std::strtod(thin->c_str(), &end);
        if (thin->empty() || *end != '\0' || !(degrees >= 0.01 && degrees <= 45.0)) {
            return UsageError("set-points",
                              "--thin is DEGREES from 0.01 to 45, not '" + *thin + "'");
        }
        thinDegrees = degrees;
    }
    const int sources = inline_.has_value() + file.has_value() + shape.has_value();
    if (sources > 1 || (sources == 0 && !thinDegrees)) {
        return UsageError("set-points",
                          "give one of --points, --points-file or --generate, or --thin");
    }
    if (shape) {
        return RunGenerate(args, *shape, thinDegrees);
    }
    std::optional<std::vector<PanPoint>> points;
    if (sources == 1) {
        std::string error;
        points = inline_ ? PointsText::Parse(*inline_, error) : PointsText::ParseFile(*file, error);
        if (!points) {
            return UsageError("set-points", error);
        }
    }
    CliHost host;
    int exitCode = kExitOk;
    std::unique_ptr<CTesselDoc> doc = OpenForSetPoints(args, host, exitCode);
    if (!doc) {
        return exitCode;
    }
    if (!points) {
        return Thin(host, *doc, thinDegrees) &&
                       host.SaveDocument(*doc, args.Option("--save-as").has_value())
                   ? kExitOk
                   : kExitFailed;
    }
    for (const PanPoint& point : *points) {
        if (point.position > doc->GetFrameCount()) {
            return UsageError("set-points", "position " + std::to_string(point.position) +
                                                " lies past the end of the sound (" +
                                                std::to_string(doc->GetFrameCount()) + " frames)");
        }
    }
    doc->BeginGroup(UndoKind::Replace);
    while (const PanPoint* first = doc->NextPoint(nullptr)) {
        doc->RemovePoint(first);
    }
    for (const PanPoint& point : *points) {
        if (doc->AddPoint(point) == nullptr) {
            host.Prompts().Message("Error adding pan point to list!");
            return kExitFailed;
        }
    }
    doc->EndGroup();
    if (!Thin(host, *doc, thinDegrees)) {
        return kExitFailed;
    }
    return host.SaveDocument(*doc, args.Option("--save-as").has_value()) ? kExitOk : kExitFailed;
}

int RunSaveAs(const std::vector<std::string>& words) {
    const CliArguments args(words, {"--type"}, {});
    if (!args.IsValid()) {
        return UsageError("save-as", args.GetError());
    }
    if (args.Positional().size() != 2) {
        return UsageError("save-as", "name IN and OUT");
    }
    std::vector<std::string> targetWords = {"--save-as", args.Positional()[1]};
    if (const auto type = args.Option("--type")) {
        targetWords.insert(targetWords.end(), {"--type", *type});
    }
    CliHost host;
    int exitCode = kExitOk;
    if (!ReadSaveTarget(CliArguments(targetWords, {"--save-as", "--type"}, {}), "save-as", host,
                        true, exitCode)) {
        return exitCode;
    }
    std::unique_ptr<CTesselDoc> doc = OpenDocument(host, args.Positional()[0]);
    if (!doc) {
        return kExitFailed;
    }
    return host.SaveDocument(*doc, true) ? kExitOk : kExitFailed;
}
