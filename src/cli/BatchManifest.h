#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/Acoustics.h"
#include "geometry/HeadTurn.h"
#include "render/SampleFormat.h"
#include "trajectory/PanPoint.h"

class SofaSetChoice;
class SpeakerLayout;

// One event of a batch job: a source sound placed from an onset along its own trajectory.
struct BatchEvent {
    enum class Path { Stored, Points, Generate };

    std::string source;  // the path, resolved against the manifest's folder
    double onset = 0.0;  // seconds
    double gainDb = 0.0;
    std::optional<int> classIndex;
    Path path = Path::Stored;
    std::vector<PanPoint> points;  // Points: frames of the source from its first frame
    std::string generate;          // Generate: the set-points --generate text, seed included
};

// One line of a manifest: a scene of events mixed into one output, with its labels.
struct BatchJob {
    int line = 0;            // in the manifest, from 1
    std::string text;        // the line as written
    std::string output;      // resolved against the manifest's folder
    std::string outputName;  // as written
    std::string format;      // "ambix", "stereo", "binaural", "adm" or "layout:NAME"
    const SpeakerLayout* pLayout = nullptr;  // layout:NAME's (a static table's)
    int order = 1;
    std::string hrtf;  // binaural: a mixer set's name, or the SOFA file's path (resolved)
    std::shared_ptr<SofaSetChoice> pSofa;  // binaural through a SOFA file: read once, shared
    // Mixes its events (onsets, gains, duration, rate) rather than exporting one as it is.
    bool bMixes = false;
    // None: s16, or the sound's own for stereo and adm.
    std::optional<SampleFormat> sampleFormat;
    uint32_t rate = 0;               // frames per second; 0: the first event's source's
    std::optional<double> duration;  // seconds; none: to the end of the last event
    std::string labels;              // resolved; empty for none
    std::string labelsName;          // as written
    std::string sha256;              // the output's hash a resume expects; empty for none
    Acoustics acoustics;             // "doppler", "air": what the sound meets on its way
    HeadTurn head;                   // "head": where the listener's head points
    std::optional<double> loudness;  // "loudness": the output's integrated loudness, LUFS
    std::vector<BatchEvent> events;
};

// What opening an event's source found, so that a line is checked against its sources before
// anything renders.
struct BatchSource {
    std::string refusal;  // why it does not open, in words; empty when it opens
    uint64_t frames = 0;
    uint32_t rate = 0;  // frames per second
    bool bStoredTrajectory = false;
};

// How a manifest is checked beyond its own text.
struct BatchManifestOptions {
    // Outputs and labels may lie outside the manifest's folder (--allow-outside).
    bool bAllowOutside = false;
    // Opens a source (a resolved path of a regular file); each path is asked once a Read.
    // None leaves the sources checked as files only.
    std::function<BatchSource(const std::string& path)> examineSource;
};

// The JSON Lines manifest of `sonomap-cli batch`: one job a line, paths relative to the
// manifest's folder, blank lines skipped. A line is refused with the reason in words (which
// field, which value, why): a key given twice, a number out of its range, a source that does
// not open or that a trajectory does not fit, an output that is no regular file or lies outside
// the manifest's folder. Refusals across lines (two jobs writing one file, an output that is
// another job's source or HRTF set, or the manifest itself) are found too.
class BatchManifest {
  public:
    struct Refusal {
        int line;
        std::string reason;
    };

    using Options = BatchManifestOptions;

    // The largest manifest read; a larger one is refused unread.
    static constexpr uint64_t kLargestManifest = 256ull << 20;
    // The lowest rate a scene may take: a document opens from it.
    static constexpr uint32_t kLowestRate = 6000;

    // Every job of the file in order, or the refusals (all of them) when any line is at fault.
    // A file that cannot be read (missing, not a regular file, too large) is one refusal at
    // line 0 with the reason.
    static bool Read(const std::string& path, std::vector<BatchJob>& jobs,
                     std::vector<Refusal>& refusals, const Options& options = {});
    // One line; folder is the manifest's (absolute). None with reason set.
    static std::optional<BatchJob> ParseLine(const std::string& text, int line,
                                             const std::string& folder, std::string& reason,
                                             const Options& options = {});
};
