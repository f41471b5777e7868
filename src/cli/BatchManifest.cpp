#include "cli/BatchManifest.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "deliver/LoudnessTarget.h"
#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/SofaSetChoice.h"
#include "document/AcousticsChunk.h"
#include "platform/FileIdentity.h"
#include "platform/RegularFile.h"
#include "render/SpeakerLayout.h"
#include "trajectory/PointsText.h"
#include "trajectory/TrajectoryGenerator.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The reason a line is refused; thrown from deep in a field and caught per line.
struct Refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void RefuseUnknownKeys(const Json& object, const std::set<std::string>& known,
                       const std::string& where) {
    for (const auto& item : object.items()) {
        if (known.count(item.key()) == 0) {
            throw Refused(where + "unknown key \"" + item.key() + "\"");
        }
    }
}

std::string Text(const Json& object, const std::string& key, const std::string& where) {
    const Json& value = object.at(key);
    if (!value.is_string() || value.get<std::string>().empty()) {
        throw Refused(where + "\"" + key + "\" must be a non-empty string");
    }
    return value.get<std::string>();
}

double Number(const Json& object, const std::string& key, const std::string& where, double low,
              double high, const std::string& range) {
    const Json& value = object.at(key);
    if (!value.is_number()) {
        throw Refused(where + "\"" + key + "\" must be a number");
    }
    const double number = value.get<double>();
    if (!(number >= low && number <= high)) {
        throw Refused(where + "\"" + key + "\" " + value.dump() + " lies outside " + range);
    }
    return number;
}

int64_t Whole(const Json& object, const std::string& key, const std::string& where, int64_t low,
              int64_t high) {
    const Json& value = object.at(key);
    if (!value.is_number_integer()) {
        throw Refused(where + "\"" + key + "\" must be a whole number");
    }
    const int64_t number = value.get<int64_t>();
    if (number < low || (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(high)) ||
        number > high) {
        throw Refused(where + "\"" + key + "\" " + value.dump() + " lies outside " +
                      std::to_string(low) + " .. " + std::to_string(high));
    }
    return number;
}

std::string Resolved(const std::string& folder, const std::string& path) {
    return (fs::path(folder) / path).lexically_normal().string();
}

// The line as JSON; a key given twice in one object is refused, where the parser would keep
// the last one without a word.
Json ParseRefusingTwins(const std::string& text) {
    std::vector<std::set<std::string>> keys;  // of each object open, innermost last
    const Json::parser_callback_t callback = [&keys](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) {
            keys.emplace_back();
        } else if (event == Json::parse_event_t::object_end && !keys.empty()) {
            keys.pop_back();
        } else if (event == Json::parse_event_t::key && !keys.empty() &&
                   !keys.back().insert(parsed.get<std::string>()).second) {
            throw Refused("the key \"" + parsed.get<std::string>() + "\" is given twice");
        }
        return true;
    };
    return Json::parse(text, callback);
}

// Whether a resolved path lies outside the manifest's folder.
bool LiesOutside(const std::string& folder, const std::string& resolved) {
    const fs::path relative = fs::path(resolved).lexically_relative(folder);
    return relative.empty() || *relative.begin() == "..";
}

// A file a job writes: within the manifest's folder unless allowed, and never a device, a FIFO
// or a folder that the finished file would be renamed over.
void CheckWritten(const std::string& key, const std::string& name, const std::string& resolved,
                  const std::string& folder, const BatchManifest::Options& options) {
    if (!options.bAllowOutside && LiesOutside(folder, resolved)) {
        throw Refused("\"" + key + "\" " + name +
                      " lies outside the manifest's folder; --allow-outside lets it");
    }
    const std::string why = RegularFile::WhyNotOutput(resolved);
    if (!why.empty()) {
        throw Refused("\"" + key + "\" " + why + "; an output is a regular file or a new name");
    }
}

// Each SOFA file a manifest names is read once for all its jobs and workers.
class SofaSetCache {
  public:
    std::shared_ptr<SofaSetChoice> Load(const std::string& path) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        std::shared_ptr<SofaSetChoice>& set = m_sets[path];
        if (!set) {
            set = SofaSetChoice::Load(path);
        }
        return set;
    }

  private:
    std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<SofaSetChoice>> m_sets;
};

SofaSetCache& SofaSets() {
    static SofaSetCache cache;
    return cache;
}

void ReadTrajectory(const Json& value, BatchEvent& event, const std::string& where) {
    if (value.is_string() && value.get<std::string>() == "stored") {
        event.path = BatchEvent::Path::Stored;
        return;
    }
    if (!value.is_object()) {
        throw Refused(where +
                      "\"trajectory\" is \"stored\", {\"points\": ...} or "
                      "{\"generate\": ..., \"seed\": ...}");
    }
    RefuseUnknownKeys(value, {"points", "generate", "seed"}, where + "trajectory: ");
    if (value.contains("points") == value.contains("generate")) {
        throw Refused(where + "\"trajectory\" takes one of \"points\" and \"generate\"");
    }
    std::string error;
    if (value.contains("points")) {
        if (value.contains("seed")) {
            throw Refused(where + "\"seed\" goes with \"generate\"");
        }
        const std::string text = Text(value, "points", where);
        std::optional<std::vector<PanPoint>> points = PointsText::Parse(text, error);
        if (!points) {
            throw Refused(where + "points: " + error);
        }
        event.path = BatchEvent::Path::Points;
        event.points = std::move(*points);
        return;
    }
    std::string text = Text(value, "generate", where);
    // The source's length is known only at rendering; the shape and its keys are checked now,
    // over a span so short at that rate that a random walk costs nothing.
    const std::optional<TrajectoryGenerator> shape =
        TrajectoryGenerator::Parse(text, UINT32_MAX, UINT32_MAX, error);
    if (!shape) {
        throw Refused(where + "generate: " + error);
    }
    if (value.contains("seed")) {
        const int64_t seed = Whole(value, "seed", where, 0, UINT32_MAX);
        bool bTakesSeed = false;
        for (const TrajectoryGenerator::Key& key : TrajectoryGenerator::KeysOf(shape->GetShape())) {
            bTakesSeed = bTakesSeed || key.name == "seed";
        }
        if (bTakesSeed) {
            if (text.find("seed=") != std::string::npos) {
                throw Refused(where + "the seed is given twice, in \"generate\" and \"seed\"");
            }
            text += (text.find(':') == std::string::npos ? ":" : ",") + std::string("seed=") +
                    std::to_string(seed);
        }
    }
    event.path = BatchEvent::Path::Generate;
    event.generate = text;
}

// What opening the source says of the event, when the options open sources: it opens, its
// stored trajectory is there for "stored", and its points lie within it.
void CheckAgainstSource(const BatchEvent& event, const std::string& source,
                        const std::string& where, const BatchManifest::Options& options) {
    if (!options.examineSource) {
        return;
    }
    const BatchSource found = options.examineSource(event.source);
    if (!found.refusal.empty()) {
        throw Refused(where + "source " + source + " does not open: " + found.refusal);
    }
    if (event.path == BatchEvent::Path::Stored && !found.bStoredTrajectory) {
        throw Refused(where + "source " + source + " stores no trajectory, which \"stored\" takes");
    }
    for (const PanPoint& point : event.points) {
        if (point.position > found.frames) {
            throw Refused(where + "points: position " + std::to_string(point.position) +
                          " lies past the end of the sound (" + std::to_string(found.frames) +
                          " frames)");
        }
    }
}

BatchEvent ReadEvent(const Json& value, const std::string& folder, const std::string& where,
                     bool bLabelled) {
    if (!value.is_object()) {
        throw Refused(where + "an event must be an object");
    }
    RefuseUnknownKeys(value, {"source", "onset", "gain", "class", "trajectory"}, where);
    BatchEvent event;
    if (!value.contains("source")) {
        throw Refused(where + "\"source\" is missing");
    }
    const std::string source = Text(value, "source", where);
    event.source = Resolved(folder, source);
    std::error_code code;
    if (!fs::is_regular_file(event.source, code)) {
        throw Refused(where + "source " + source + " is not a file");
    }
    if (value.contains("onset")) {
        event.onset = Number(value, "onset", where, 0.0, 1e6, "0 .. 1000000 seconds");
    }
    if (value.contains("gain")) {
        event.gainDb = Number(value, "gain", where, -120.0, 40.0, "-120 .. 40 dB");
    }
    if (value.contains("class")) {
        event.classIndex = static_cast<int>(Whole(value, "class", where, 0, 65535));
    } else if (bLabelled) {
        throw Refused(where + "\"class\" is missing, which the labels need");
    }
    if (!value.contains("trajectory")) {
        throw Refused(where + "\"trajectory\" is missing");
    }
    ReadTrajectory(value.at("trajectory"), event, where);
    return event;
}

// A job of one event from its start at its own level, length and rate is the editor's export
// of that sound as it is; any other mixes (for adm, an object per event). A mixer set renders
// one sound at a time, so binaural mixes through a SOFA set only.
// An array of count numbers under key, each a finite double.
std::vector<double> Numbers(const Json& object, const std::string& key, size_t count,
                            const std::string& where) {
    const Json& value = object.at(key);
    if (!value.is_array() || value.size() != count) {
        throw Refused(where + "\"" + key + "\" must be an array of " + std::to_string(count) +
                      " numbers");
    }
    std::vector<double> numbers;
    for (const Json& item : value) {
        if (!item.is_number() || !std::isfinite(item.get<double>())) {
            throw Refused(where + "\"" + key + "\" must be an array of " + std::to_string(count) +
                          " numbers");
        }
        numbers.push_back(item.get<double>());
    }
    return numbers;
}

// "room": {"size": [W, D, H], "listener": [X, Y, Z], "absorption": A or [six], "reflections":
// N, "tail": true}: the room the scene is heard in, as render --room takes it.
Room ReadRoom(const Json& value) {
    const std::string where = "room: ";
    if (!value.is_object()) {
        throw Refused("\"room\" must be an object");
    }
    RefuseUnknownKeys(value, {"size", "listener", "absorption", "reflections", "tail"}, where);
    if (!value.contains("size")) {
        throw Refused(where + "\"size\" is missing");
    }
    Room room;
    const std::vector<double> size = Numbers(value, "size", 3, where);
    room.width = size[0];
    room.depth = size[1];
    room.height = size[2];
    room.listenerX = room.width / 2.0;
    room.listenerY = room.depth / 2.0;
    room.listenerZ = 1.2;
    if (value.contains("listener")) {
        const std::vector<double> at = Numbers(value, "listener", 3, where);
        room.listenerX = at[0];
        room.listenerY = at[1];
        room.listenerZ = at[2];
    }
    if (value.contains("absorption")) {
        const Json& alpha = value.at("absorption");
        if (alpha.is_number()) {
            room.absorption.fill(Number(value, "absorption", where, 0.01, 1.0, "0.01 .. 1"));
        } else {
            const std::vector<double> six = Numbers(value, "absorption", 6, where);
            std::copy(six.begin(), six.end(), room.absorption.begin());
        }
    }
    if (value.contains("reflections")) {
        room.reflections = static_cast<int>(Whole(value, "reflections", where, 0, 12));
    }
    if (value.contains("tail")) {
        if (!value.at("tail").is_boolean()) {
            throw Refused(where + "\"tail\" is true or false");
        }
        room.bTail = value.at("tail").get<bool>();
    }
    if (const std::string why = RoomProblem(room); !why.empty()) {
        throw Refused(where + why);
    }
    return room;
}

void ReadMixing(const Json& value, BatchJob& job) {
    job.bMixes = job.events.size() != 1 || job.events.front().onset != 0.0 ||
                 job.events.front().gainDb != 0.0 || value.contains("duration") ||
                 value.contains("rate");
    if (job.format == "stereo" && !job.labels.empty()) {
        throw Refused(
            "format stereo folds the places onto the front half-circle, so labels "
            "would not match it; they go with ambix, layout:NAME, binaural or adm");
    }
    if (job.bMixes && job.format == "binaural" && !job.pSofa) {
        throw Refused("hrtf " + job.hrtf +
                      " is a set of the mixer, which renders one event from its start at its "
                      "own level, length and rate; a scene mixes through a SOFA file");
    }
}

BatchJob ReadJob(const Json& value, const std::string& folder,
                 const BatchManifest::Options& options) {
    if (!value.is_object()) {
        throw Refused("a job must be a JSON object");
    }
    RefuseUnknownKeys(value,
                      {"output", "format", "order", "hrtf", "sampleFormat", "rate", "duration",
                       "labels", "events", "sha256", "doppler", "air", "room", "head", "loudness"},
                      "");
    BatchJob job;
    for (const char* key : {"output", "format", "events"}) {
        if (!value.contains(key)) {
            throw Refused(std::string("\"") + key + "\" is missing");
        }
    }
    job.outputName = Text(value, "output", "");
    job.output = Resolved(folder, job.outputName);
    CheckWritten("output", job.outputName, job.output, folder, options);
    job.format = Text(value, "format", "");
    if (job.format.rfind("layout:", 0) == 0) {
        const std::string name = job.format.substr(7);
        job.pLayout = SpeakerLayout::Find(name);
        if (job.pLayout == nullptr) {
            throw Refused("format " + job.format + ": " +
                          LoudspeakerExportCommand::UnknownLayoutText(name));
        }
    }
    const bool bExport = job.format == "stereo" || job.format == "binaural" || job.format == "adm";
    if (job.format != "ambix" && job.pLayout == nullptr && !bExport) {
        throw Refused("format \"" + job.format +
                      "\" is none of stereo, binaural, ambix, adm and layout:NAME");
    }
    if (value.contains("hrtf")) {
        if (job.format != "binaural") {
            throw Refused("\"hrtf\" goes with format binaural");
        }
        job.hrtf = Text(value, "hrtf", "");
    }
    if (job.format == "binaural" && SofaSetChoice::NamesFile(job.hrtf)) {
        job.hrtf = Resolved(folder, SofaSetChoice::FileOf(job.hrtf));
        job.pSofa = SofaSets().Load(job.hrtf);
        if (!job.pSofa->Refusal().empty()) {
            throw Refused(job.pSofa->Refusal());
        }
    }
    if (value.contains("order") && job.format != "ambix") {
        throw Refused("\"order\" goes with format ambix");
    }
    if (value.contains("order")) {
        job.order = static_cast<int>(Whole(value, "order", "", 1, 3));
    }
    if (value.contains("sampleFormat")) {
        const std::string text = Text(value, "sampleFormat", "");
        const std::optional<SampleFormat> format = ParseSampleFormat(text);
        if (!format) {
            throw Refused("\"sampleFormat\" is s16, s24 or f32, not \"" + text + "\"");
        }
        job.sampleFormat = *format;
    }
    if (value.contains("rate")) {
        job.rate =
            static_cast<uint32_t>(Whole(value, "rate", "", BatchManifest::kLowestRate, 384000));
    }
    if (value.contains("loudness")) {
        // As render --loudness: the output turned to that integrated loudness.
        job.loudness = Number(value, "loudness", "", LoudnessTarget::kLowest,
                              LoudnessTarget::kHighest, "-70 .. 0 LUFS");
    }
    if (value.contains("duration")) {
        job.duration = Number(value, "duration", "", 0.0, 1e6, "0 .. 1000000 seconds");
    }
    for (const auto& [key, flag] :
         {std::pair{"doppler", &job.acoustics.bDoppler}, std::pair{"air", &job.acoustics.bAir}}) {
        if (value.contains(key)) {
            if (!value.at(key).is_boolean()) {
                throw Refused(std::string("\"") + key + "\" is true or false");
            }
            *flag = value.at(key).get<bool>();
        }
    }
    if (value.contains("room")) {
        job.acoustics.room = ReadRoom(value.at("room"));
    }
    if (value.contains("head")) {
        const Json& head = value.at("head");
        if (!head.is_array() || head.size() != 3 ||
            !std::all_of(head.begin(), head.end(), [](const Json& v) { return v.is_number(); })) {
            throw Refused("\"head\" is [yaw, pitch, roll] in degrees, not " + head.dump());
        }
        job.head =
            HeadTurn{head[0].get<double>(), head[1].get<double>(), head[2].get<double>()}.Wrapped();
    }
    if (value.contains("labels")) {
        job.labelsName = Text(value, "labels", "");
        job.labels = Resolved(folder, job.labelsName);
        CheckWritten("labels", job.labelsName, job.labels, folder, options);
    }
    if (value.contains("sha256")) {
        job.sha256 = Text(value, "sha256", "");
        if (job.sha256.size() != 64 ||
            job.sha256.find_first_not_of("0123456789abcdef") != std::string::npos) {
            throw Refused("\"sha256\" must be 64 lower-case hexadecimal digits");
        }
    }
    const Json& events = value.at("events");
    if (!events.is_array()) {
        throw Refused("\"events\" must be an array");
    }
    if (events.empty() && !job.duration) {
        throw Refused("a job without events needs a \"duration\"");
    }
    for (size_t i = 0; i < events.size(); ++i) {
        const std::string where = "events[" + std::to_string(i) + "]: ";
        job.events.push_back(ReadEvent(events[i], folder, where, !job.labels.empty()));
        if (job.duration && job.events.back().onset >= *job.duration) {
            const std::string onset =
                events[i].contains("onset") ? events[i].at("onset").dump() : "0";
            throw Refused(where + "\"onset\" " + onset +
                          " lies at or past the end of the scene (\"duration\" " +
                          value.at("duration").dump() + ")");
        }
    }
    if (job.rate == 0 && job.events.empty()) {
        throw Refused("a job without events needs a \"rate\"");
    }
    const fs::path extension = fs::path(job.outputName).extension();
    const bool bAiff = extension == ".aif" || extension == ".aiff";
    if (bAiff && (job.format == "ambix" || job.format == "adm" || job.pLayout != nullptr)) {
        throw Refused("format " + job.format + " writes a WAV file, not " + job.outputName);
    }
    ReadMixing(value, job);
    // The line's own text first, then what its sources say of it.
    for (size_t i = 0; i < job.events.size(); ++i) {
        CheckAgainstSource(job.events[i], events[i].at("source").get<std::string>(),
                           "events[" + std::to_string(i) + "]: ", options);
    }
    return job;
}

}  // namespace

std::optional<BatchJob> BatchManifest::ParseLine(const std::string& text, int line,
                                                 const std::string& folder, std::string& reason,
                                                 const Options& options) {
    // Its text starts with the library's own tag, of no use to the writer of the line.
    const auto untagged = [](const std::string& what) {
        const size_t tag = what.find("] ");
        return tag == std::string::npos ? what : what.substr(tag + 2);
    };
    try {
        const Json value = ParseRefusingTwins(text);
        BatchJob job = ReadJob(value, folder, options);
        job.line = line;
        job.text = text;
        return job;
    } catch (const Refused& refused) {
        reason = refused.what();
    } catch (const Json::parse_error& error) {
        reason = "not JSON: " + untagged(error.what());
    } catch (const Json::exception& error) {
        // A number past what a double holds (1e999), among others.
        reason = "not JSON Sonomap can read: " + untagged(error.what());
    }
    return std::nullopt;
}

bool BatchManifest::Read(const std::string& path, std::vector<BatchJob>& jobs,
                         std::vector<Refusal>& refusals, const Options& options) {
    RegularFile manifestFile(path);
    const std::optional<std::string> whole = manifestFile.ReadAll(kLargestManifest);
    if (!whole) {
        refusals.push_back({0, "the manifest cannot be read: " + manifestFile.Why()});
        return false;
    }
    const std::string folder = fs::absolute(path).lexically_normal().parent_path().string();
    // Each source opens once, however many events take it.
    std::map<std::string, BatchSource> examined;
    Options once = options;
    if (options.examineSource) {
        once.examineSource = [&](const std::string& source) {
            auto found = examined.find(source);
            if (found == examined.end()) {
                found = examined.emplace(source, options.examineSource(source)).first;
            }
            return found->second;
        };
    }
    std::map<std::string, int> written;  // a file a job writes, by the line that writes it
    std::map<std::string, int> sources;  // a file a job reads: its sources and its HRTF set
    std::istringstream in(*whole);
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        std::string reason;
        std::optional<BatchJob> job = ParseLine(text, line, folder, reason, once);
        if (!job) {
            refusals.push_back({line, reason});
            continue;
        }
        for (const std::string* file : {&job->output, &job->labels}) {
            if (file->empty()) {
                continue;
            }
            const auto [at, bNew] = written.emplace(FileIdentity::ResolvedPath(*file), line);
            if (!bNew) {
                refusals.push_back(
                    {line, *file + " is written by line " + std::to_string(at->second) + " too"});
            }
        }
        for (const BatchEvent& event : job->events) {
            sources.emplace(FileIdentity::ResolvedPath(event.source), line);
        }
        if (job->pSofa) {
            sources.emplace(FileIdentity::ResolvedPath(job->hrtf), line);
        }
        jobs.push_back(std::move(*job));
    }
    const std::string manifest = FileIdentity::ResolvedPath(path);
    for (const BatchJob& job : jobs) {
        for (const std::string* file : {&job.output, &job.labels}) {
            if (file->empty()) {
                continue;
            }
            const std::string resolved = FileIdentity::ResolvedPath(*file);
            if (resolved == manifest || FileIdentity::IsSameFile(*file, path)) {
                refusals.push_back({job.line, *file + " would replace the manifest"});
                continue;
            }
            const auto source = sources.find(resolved);
            if (source != sources.end()) {
                refusals.push_back({job.line, *file + " would replace a source of line " +
                                                  std::to_string(source->second)});
            }
        }
    }
    std::stable_sort(refusals.begin(), refusals.end(),
                     [](const Refusal& a, const Refusal& b) { return a.line < b.line; });
    return refusals.empty();
}
