#include "cli/BatchManifest.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "deliver/LoudspeakerExportCommand.h"
#include "deliver/SofaSetChoice.h"
#include "platform/FileIdentity.h"
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

BatchJob ReadJob(const Json& value, const std::string& folder) {
    if (!value.is_object()) {
        throw Refused("a job must be a JSON object");
    }
    RefuseUnknownKeys(value,
                      {"output", "format", "order", "hrtf", "sampleFormat", "rate", "duration",
                       "labels", "events", "sha256", "doppler", "air", "head"},
                      "");
    BatchJob job;
    for (const char* key : {"output", "format", "events"}) {
        if (!value.contains(key)) {
            throw Refused(std::string("\"") + key + "\" is missing");
        }
    }
    job.outputName = Text(value, "output", "");
    job.output = Resolved(folder, job.outputName);
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
        job.rate = static_cast<uint32_t>(Whole(value, "rate", "", 1000, 384000));
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
    return job;
}

}  // namespace

std::optional<BatchJob> BatchManifest::ParseLine(const std::string& text, int line,
                                                 const std::string& folder, std::string& reason) {
    try {
        const Json value = Json::parse(text);
        BatchJob job = ReadJob(value, folder);
        job.line = line;
        job.text = text;
        return job;
    } catch (const Refused& refused) {
        reason = refused.what();
    } catch (const Json::parse_error& error) {
        // Its text starts with the library's own tag, of no use to the writer of the line.
        const std::string what = error.what();
        const size_t tag = what.find("] ");
        reason = "not JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2));
    }
    return std::nullopt;
}

bool BatchManifest::Read(const std::string& path, std::vector<BatchJob>& jobs,
                         std::vector<Refusal>& refusals) {
    std::ifstream in(path);
    if (!in) {
        refusals.push_back({0, "the manifest cannot be read"});
        return false;
    }
    const std::string folder = fs::absolute(path).parent_path().string();
    std::map<std::string, int> written;  // a file a job writes, by the line that writes it
    std::map<std::string, int> sources;
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
        if (text.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        std::string reason;
        std::optional<BatchJob> job = ParseLine(text, line, folder, reason);
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
        jobs.push_back(std::move(*job));
    }
    for (const BatchJob& job : jobs) {
        for (const std::string* file : {&job.output, &job.labels}) {
            const auto source =
                file->empty() ? sources.end() : sources.find(FileIdentity::ResolvedPath(*file));
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
