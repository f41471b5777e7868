// sonomap-cli batch: the jobs of a manifest (or of one shard of it) on parallel workers, each
// job alone, so any worker count, shard or machine gives the same bytes.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <sstream>
#include <thread>

#include "cli/BatchManifest.h"
#include "cli/BatchScene.h"
#include "cli/CliArguments.h"
#include "cli/CliCommands.h"
#include "cli/CliHost.h"
#include "cli/CliMixer.h"
#include "cli/FileDigest.h"
#include "document/CTesselDoc.h"
#include "document/DocumentOpen.h"
#include "platform/CFileException.h"
#include "platform/FileIdentity.h"
#include "platform/HelperThread.h"
#include "platform/RegularFile.h"
#include "platform/SafeFileWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

int BatchUsageError(const std::string& problem) {
    return UsageError("batch", problem);
}

// The record --resume reads grows by a line of about 100 bytes a file.
constexpr uint64_t kLargestRecord = 256ull << 20;

// "K/N" with 0 <= K < N.
bool ParseShard(const std::string& text, size_t& k, size_t& n) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == text.size() ||
        text.find_first_not_of("0123456789/") != std::string::npos ||
        text.find('/', slash + 1) != std::string::npos || slash > 6 || text.size() - slash > 7) {
        return false;
    }
    k = std::stoul(text.substr(0, slash));
    n = std::stoul(text.substr(slash + 1));
    return n >= 1 && k < n;
}

// The record of finished files, "HASH  NAME" lines as sha256sum writes them (names relative to
// the manifest's folder). A line cut short by a killed run is skipped; a record that is not
// there yet is empty. None, with why, when it is there but cannot be read.
std::optional<std::map<std::string, std::string>> ReadRecord(const std::string& path,
                                                             std::string& why) {
    std::map<std::string, std::string> hashes;
    RegularFile file(path);
    if (file.SystemError() == ENOENT) {
        return hashes;
    }
    const std::optional<std::string> text = file.ReadAll(kLargestRecord);
    if (!text) {
        why = file.Why();
        return std::nullopt;
    }
    std::istringstream in(*text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() > 66 && line.compare(64, 2, "  ") == 0 &&
            line.find_first_not_of("0123456789abcdef") == 64) {
            hashes[line.substr(66)] = line.substr(0, 64);
        }
    }
    return hashes;
}

// The files of a job, each with its name as the manifest writes it.
std::vector<std::pair<std::string, std::string>> FilesOf(const BatchJob& job) {
    std::vector<std::pair<std::string, std::string>> files{{job.output, job.outputName}};
    if (!job.labels.empty()) {
        files.emplace_back(job.labels, job.labelsName);
    }
    return files;
}

// Whether every file of the job is in place with the hash expected of it.
bool IsDone(const BatchJob& job, const std::map<std::string, std::string>& record) {
    for (const auto& [path, name] : FilesOf(job)) {
        std::string expected = path == job.output ? job.sha256 : "";
        if (expected.empty()) {
            const auto found = record.find(name);
            if (found == record.end()) {
                return false;
            }
            expected = found->second;
        }
        if (FileDigest::Sha256Of(path) != expected) {
            return false;
        }
    }
    return true;
}

std::string ClockText(double seconds) {
    const auto whole = static_cast<long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

// The one line of progress on a terminal: jobs done of total, events a second, time left.
class BatchProgress {
  public:
    BatchProgress(size_t total, size_t skipped)
        : m_bShown(::isatty(STDERR_FILENO) != 0),
          m_total(total),
          m_done(skipped),
          m_start(Clock::now()) {}

    void JobDone(size_t events) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        ++m_done;
        ++m_rendered;
        m_events += events;
        const Clock::time_point now = Clock::now();
        if (m_bShown && (now - m_shown > std::chrono::milliseconds(200) || m_done == m_total)) {
            m_shown = now;
            const double seconds = std::chrono::duration<double>(now - m_start).count();
            const double left = seconds / double(m_rendered) * double(m_total - m_done);
            std::fprintf(stderr, "\r%zu/%zu jobs, %.1f events/s, %s left  ", m_done, m_total,
                         seconds > 0 ? double(m_events) / seconds : 0.0, ClockText(left).c_str());
            std::fflush(stderr);
        }
    }
    void Finish() {
        if (m_bShown && m_rendered > 0) {
            std::fputc('\n', stderr);
        }
    }

  private:
    std::mutex m_mutex;
    bool m_bShown;
    size_t m_total;
    size_t m_done;
    size_t m_rendered = 0;
    size_t m_events = 0;
    Clock::time_point m_start;
    Clock::time_point m_shown{};
};

// A binaural job of a mixer's set needs the mixer library and that set (a SOFA file was
// checked as its line was read).
void RefuseMissingHrtfs(const std::vector<BatchJob>& jobs,
                        std::vector<BatchManifest::Refusal>& refusals) {
    std::optional<std::vector<std::string>> names;
    for (const BatchJob& job : jobs) {
        if (job.format != "binaural" || job.pSofa) {
            continue;
        }
        if (!CliMixer::IsAvailable()) {
            refusals.push_back(
                {job.line, "this build has no mixer library, which hrtf " + job.hrtf + " needs"});
            continue;
        }
        if (!names) {
            names = CliMixer::HrtfNames();
        }
        if (std::find(names->begin(), names->end(), job.hrtf) == names->end()) {
            refusals.push_back({job.line, "no HRTF is named '" + job.hrtf +
                                              "'; 'sonomap-cli render --list-hrtfs' lists them"});
        }
    }
    std::stable_sort(refusals.begin(), refusals.end(),
                     [](const auto& a, const auto& b) { return a.line < b.line; });
}

// Keeps why the first message of an open said it failed.
class ReasonPrompts : public UserPrompts {
  public:
    Answer ShowMessage(const Box& box) override {
        if (m_reason.empty()) {
            m_reason = box.informative.empty() ? box.text : box.informative;
        }
        return box.defaultAnswer;
    }
    void OpenProcessingWindow() override {}
    void SetProcessingText(const std::string&) override {}
    void CloseProcessingWindow() override {}
    const std::string& Reason() const { return m_reason; }

  private:
    std::string m_reason;
};

class ExaminingHost : public CliHost {
  public:
    ReasonPrompts m_prompts;

  protected:
    UserPrompts& OwnPrompts() override { return m_prompts; }
};

// Opens a source as its job will, so its line is refused before anything renders.
BatchSource ExamineSource(const std::string& path) {
    ExaminingHost host;
    CTesselDoc doc(host);
    BatchSource found;
    if (!DocumentOpen(doc).Open(path)) {
        found.refusal = host.m_prompts.Reason();
        // The line names the source already.
        const std::string named = "Sonomap cannot open " + path + ": ";
        if (found.refusal.rfind(named, 0) == 0) {
            found.refusal.erase(0, named.size());
        }
        if (!found.refusal.empty() && found.refusal.back() == '.') {
            found.refusal.pop_back();
        }
        if (found.refusal.empty()) {
            found.refusal = "it is not a sound Sonomap opens";
        }
        return found;
    }
    found.frames = doc.GetFrameCount();
    found.rate = doc.GetFormat().sampleRate;
    found.bStoredTrajectory = !doc.GetPanPoints().IsEmpty();
    return found;
}

// Why --manifest-out cannot name path: it is no regular file, or a file the manifest reads or
// writes. Empty when it can.
std::string WhyNotRecord(const std::string& path, const std::string& manifest,
                         const std::vector<BatchJob>& jobs) {
    if (path.empty()) {
        return "--manifest-out names no file";
    }
    const std::string special = RegularFile::WhyNotOutput(path);
    if (!special.empty()) {
        return "--manifest-out " + special;
    }
    // Absolute first: a path in a folder not made yet resolves to itself.
    const auto where = [](const std::string& file) {
        return FileIdentity::ResolvedPath(
            std::filesystem::absolute(file).lexically_normal().string());
    };
    const std::string resolved = where(path);
    const auto is = [&](const std::string& other) {
        return !other.empty() &&
               (where(other) == resolved || FileIdentity::IsSameFile(other, path));
    };
    if (is(manifest)) {
        return "--manifest-out " + path + " would replace the manifest";
    }
    for (const BatchJob& job : jobs) {
        const std::string line = std::to_string(job.line);
        if (is(job.output) || is(job.labels)) {
            return "--manifest-out " + path + " is a file line " + line + " writes";
        }
        if (job.pSofa && is(job.hrtf)) {
            return "--manifest-out " + path + " would replace the HRTF set of line " + line;
        }
        for (const BatchEvent& event : job.events) {
            if (is(event.source)) {
                return "--manifest-out " + path + " would replace a source of line " + line;
            }
        }
    }
    return {};
}

// --resume without a record can tell only a line's own "sha256" of its output.
std::string WhyNotResumable(const std::vector<const BatchJob*>& jobs) {
    for (const BatchJob* job : jobs) {
        if (job->sha256.empty() || !job->labels.empty()) {
            return "--resume without --manifest-out would render line " +
                   std::to_string(job->line) + " again, as its \"sha256\" " +
                   (job->sha256.empty() ? "is not given" : "does not cover its labels") +
                   "; name the record of finished files with --manifest-out FILE";
        }
    }
    return {};
}

}  // namespace

int RunBatch(const std::vector<std::string>& words) {
    const CliArguments args(words, {"--jobs", "--shard", "--manifest-out"},
                            {"--resume", "--allow-outside"});
    if (!args.IsValid()) {
        return BatchUsageError(args.GetError());
    }
    if (args.Positional().size() != 1) {
        return BatchUsageError("name one MANIFEST");
    }
    const std::string manifest = args.Positional()[0];
    // libsoxr takes its AVX kernels where the processor has them, and they round otherwise than
    // its plain ones: a batch keeps to the plain ones, so every machine gives the same bytes.
    // Set before any worker starts.
    ::setenv("SOXR_USE_SIMD64", "0", 1);
    unsigned workers = std::max(1u, std::thread::hardware_concurrency());
    if (const auto text = args.Option("--jobs")) {
        char* end = nullptr;
        const long value = std::strtol(text->c_str(), &end, 10);
        if (text->empty() || *end != '\0' || value < 1 || value > 1024) {
            return BatchUsageError("--jobs is a count from 1 to 1024, not '" + *text + "'");
        }
        workers = static_cast<unsigned>(value);
    }
    HelperThread::Allow(workers <= 1);
    size_t shard = 0, shards = 1;
    if (const auto text = args.Option("--shard")) {
        if (!ParseShard(*text, shard, shards)) {
            return BatchUsageError("--shard is K/N with 0 <= K < N, not '" + *text + "'");
        }
    }
    const std::optional<std::string> recordPath = args.Option("--manifest-out");
    const bool bResume = args.Flag("--resume");

    std::vector<BatchJob> all;
    std::vector<BatchManifest::Refusal> refusals;
    BatchManifest::Options options;
    options.bAllowOutside = args.Flag("--allow-outside");
    options.examineSource = ExamineSource;
    BatchManifest::Read(manifest, all, refusals, options);
    RefuseMissingHrtfs(all, refusals);
    if (!refusals.empty()) {
        for (const BatchManifest::Refusal& refusal : refusals) {
            std::fprintf(stderr, "%s:%d: %s\n", manifest.c_str(), refusal.line,
                         refusal.reason.c_str());
        }
        std::fprintf(stderr, "sonomap-cli batch: nothing rendered\n");
        return kExitUsage;
    }
    std::vector<const BatchJob*> jobs;
    for (size_t i = shard; i < all.size(); i += shards) {
        jobs.push_back(&all[i]);
    }
    if (recordPath) {
        const std::string why = WhyNotRecord(*recordPath, manifest, all);
        if (!why.empty()) {
            return BatchUsageError(why);
        }
    } else if (bResume) {
        const std::string why = WhyNotResumable(jobs);
        if (!why.empty()) {
            return BatchUsageError(why);
        }
    }

    std::map<std::string, std::string> record;
    if (bResume && recordPath) {
        std::string why;
        std::optional<std::map<std::string, std::string>> read = ReadRecord(*recordPath, why);
        if (!read) {
            std::fprintf(stderr, "sonomap-cli batch: %s cannot be read: %s\n", recordPath->c_str(),
                         why.c_str());
            return kExitFailed;
        }
        record = std::move(*read);
    }
    std::vector<char> done(jobs.size(), 0);
    size_t skipped = 0;
    if (bResume) {
        for (size_t i = 0; i < jobs.size(); ++i) {
            done[i] = IsDone(*jobs[i], record) ? 1 : 0;
            skipped += done[i];
        }
    }
    std::map<std::string, std::string> hashes;  // of this run's files, by name
    for (size_t i = 0; i < jobs.size(); ++i) {
        for (const auto& [path, name] : FilesOf(*jobs[i])) {
            if (done[i] != 0) {
                hashes[name] = path == jobs[i]->output && !jobs[i]->sha256.empty() ? jobs[i]->sha256
                                                                                   : record[name];
            }
        }
    }
    // The record grows as jobs finish, so a killed run leaves what it finished for --resume.
    std::FILE* growing = nullptr;
    if (recordPath) {
        growing = std::fopen(recordPath->c_str(), "w");
        if (growing == nullptr) {
            std::fprintf(stderr, "sonomap-cli batch: %s cannot be written: %s\n",
                         recordPath->c_str(), std::strerror(errno));
            return kExitFailed;
        }
        for (const auto& [name, hash] : hashes) {
            std::fprintf(growing, "%s  %s\n", hash.c_str(), name.c_str());
        }
        std::fflush(growing);
    }

    std::vector<std::string> reasons(jobs.size());
    std::mutex recordMutex;
    BatchProgress progress(jobs.size(), skipped);
    std::atomic<size_t> next{0};
    auto worker = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            if (done[i] != 0) {
                continue;
            }
            const BatchJob& job = *jobs[i];
            if (bResume) {
                // A run killed outright leaves its temp files; nobody else writes these names.
                for (const auto& file : FilesOf(job)) {
                    SafeFileWriter::RemoveStaleTempFiles(file.first, 0);
                }
            }
            bool bOk = false;
            std::vector<std::pair<std::string, std::string>> finished;
            // A job that throws fails alone; the batch goes on with the others.
            try {
                bOk = BatchScene::Render(job, reasons[i]);
                // Hashed only for a record: reading the files back costs a tenth of the job.
                for (const auto& [path, name] : FilesOf(job)) {
                    if (!bOk || !recordPath) {
                        break;
                    }
                    const std::optional<std::string> hash = FileDigest::Sha256Of(path);
                    if (!hash) {
                        reasons[i] = path + " cannot be read back";
                        bOk = false;
                    } else {
                        finished.emplace_back(*hash, name);
                    }
                }
            } catch (const std::bad_alloc&) {
                bOk = false;
                reasons[i] = "it ran out of memory";
            } catch (const std::exception& error) {
                bOk = false;
                reasons[i] = error.what();
            }
            done[i] = bOk ? 1 : 0;
            if (bOk) {
                const std::lock_guard<std::mutex> lock(recordMutex);
                for (const auto& [hash, name] : finished) {
                    hashes[name] = hash;
                    if (growing != nullptr) {
                        std::fprintf(growing, "%s  %s\n", hash.c_str(), name.c_str());
                        std::fflush(growing);
                    }
                }
            }
            progress.JobDone(job.events.size());
        }
    };
    std::vector<std::thread> threads;
    const size_t count = std::min<size_t>(workers, jobs.size());
    for (size_t w = 1; w < count; ++w) {
        threads.emplace_back(worker);
    }
    worker();
    for (std::thread& t : threads) {
        t.join();
    }
    progress.Finish();

    int exitCode = kExitOk;
    if (growing != nullptr) {
        std::fclose(growing);
        // In the manifest's order at the end, whatever order the workers finished in.
        std::string text;
        for (const BatchJob* job : jobs) {
            for (const auto& file : FilesOf(*job)) {
                const auto found = hashes.find(file.second);
                if (found != hashes.end()) {
                    text += found->second + "  " + file.second + "\n";
                }
            }
        }
        try {
            SafeFileWriter writer(*recordPath);
            writer.Begin().Write(text.data(), text.size());
            writer.Commit();
        } catch (const CFileException& error) {
            std::fprintf(stderr, "sonomap-cli batch: %s\n", error.what());
            exitCode = kExitFailed;
        }
    }
    size_t failed = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (done[i] == 0) {
            ++failed;
            std::fprintf(stderr, "%s:%d: %s: %s\n", manifest.c_str(), jobs[i]->line,
                         jobs[i]->outputName.c_str(), reasons[i].c_str());
        }
    }
    std::fprintf(stderr,
                 "sonomap-cli batch: %zu jobs: %zu rendered, %zu already done, %zu failed\n",
                 jobs.size(), jobs.size() - failed - skipped, skipped, failed);
    return failed > 0 ? kExitFailed : exitCode;
}

std::string BatchUsage() {
    return "usage: sonomap-cli batch MANIFEST [--jobs N] [--shard K/N] [--resume]\n"
           "                         [--manifest-out FILE] [--allow-outside]\n"
           "  Renders the jobs of MANIFEST, a JSON Lines file of one job a line (paths\n"
           "  relative to its folder):\n"
           "    {\"output\": \"scenes/s001.wav\", \"format\": \"ambix\", \"order\": 1,\n"
           "     \"sampleFormat\": \"s16\", \"rate\": 24000, \"duration\": 60,\n"
           "     \"labels\": \"scenes/s001.csv\", \"events\": [\n"
           "      {\"source\": \"src/dog.wav\", \"onset\": 1.5, \"gain\": -6, \"class\": 3,\n"
           "       \"trajectory\": {\"points\": \"0:30:10:2,48000:-60:10:2\"}},\n"
           "      {\"source\": \"src/phone.wav\", \"onset\": 4.0, \"class\": 7,\n"
           "       \"trajectory\": {\"generate\": \"random:speed=30\", \"seed\": 11}},\n"
           "      {\"source\": \"src/take.wav\", \"class\": 1, \"trajectory\": \"stored\"}]}\n"
           "  Each event is encoded along its own trajectory (points as set-points takes\n"
           "  them, in frames of the source from its first frame; a --generate shape and a\n"
           "  seed; or the trajectory stored in the source), scaled by its gain in dB, and\n"
           "  added at its onset in seconds. The output is duration seconds long (events\n"
           "  are cut there), or ends with its last event. Sources are resampled to the\n"
           "  rate (6000 Hz or more; default: the first source's). The format is ambix\n"
           "  (AmbiX, order 1 to 3), layout:NAME (a loudspeaker layout's feeds, as render\n"
           "  --layout NAME writes them), stereo (the spatial filter, places folded to the\n"
           "  front; no labels), binaural (with hrtf, a SOFA file or a name as render\n"
           "  --list-hrtfs prints it; a scene mixes through a SOFA file only) or adm (each\n"
           "  event its own object from its onset, on tracks of its own).\n"
           "  A job of one event from its start at its own level, length and rate is the\n"
           "  very file render writes. sampleFormat s16, s24 or f32 (default s16; the\n"
           "  sound's own for one stereo or adm event; the finest of the sounds' own for\n"
           "  an adm scene). labels writes a CSV of where each event is every 100 ms:\n"
           "  frame, class, source index within its class, azimuth (90 is the left) and\n"
           "  elevation in degrees, distance in cm, as the direct sound is heard.\n"
           "  \"doppler\": true and \"air\": true are render's --doppler and --air; \"room\":\n"
           "  {\"size\": [W, D, H], \"listener\": [X, Y, Z], \"absorption\": A or [six],\n"
           "  \"reflections\": N, \"tail\": true} its --room and the options beside it.\n"
           "  \"head\": [yaw, pitch, roll] renders the scene for a listener whose head is\n"
           "  turned so (degrees, as render --head takes them); the labels follow it.\n"
           "  \"loudness\": LUFS (-70 to 0) turns the output to that integrated loudness\n"
           "  as render --loudness does: a measuring render, then the output; a job whose\n"
           "  true peak would pass -1 dBTP, or a silent one, fails with the figures.\n"
           "  Every line is checked before anything renders, its sources opened: a line at\n"
           "  fault is named with its number and the reason, and nothing is rendered (exit\n"
           "  code 2). Outputs and labels stay within the manifest's folder unless\n"
           "  --allow-outside is given, and each is a regular file or a new name.\n"
           "  N jobs render at once (default: the number of cores); the files are the same\n"
           "  bytes for any N. --shard K/N renders every N-th job from job K (0 <= K < N).\n"
           "  --manifest-out FILE lists each file written with its SHA-256 as sha256sum\n"
           "  does (check it with 'sha256sum -c' in the manifest's folder); it grows as jobs\n"
           "  finish. --resume skips jobs whose files are in place with the hash FILE (or a\n"
           "  line's \"sha256\") gives them; without FILE, every line must give \"sha256\"\n"
           "  and no labels. Files are put in place only when complete.\n"
           "  Progress shows when stderr is a terminal; failed jobs are listed at the end\n"
           "  with their lines, and the exit code is 1 when any failed.\n";
}
