#pragma once

#include <functional>
#include <optional>
#include <string>

class DocumentHost;

// An export turned to an integrated loudness, as `sonomap-cli render --loudness` and the export
// dialogs turn it: a first render into a hidden file beside the output is measured and removed
// at once, its messages held back (the second render repeats them) unless it fails; then the
// export runs again with the gain that brings it to the target, applied before the samples are
// dithered. An output that is silent, or whose true peak would then pass kPeakLimit, is
// refused with the figures and nothing is written. Loudness in LUFS, true peaks in dBTP, gains
// in dB.
class LoudnessTarget {
  public:
    static constexpr double kLowest = -70.0;
    static constexpr double kHighest = 0.0;
    static constexpr double kPeakLimit = -1.0;

    // One render of the export into path with every output sample times level (linear); true
    // when the file was written.
    using ExportRun = std::function<bool(const std::string& path, float level)>;

    explicit LoudnessTarget(double lufs) : m_lufs(lufs) {}

    // "-23" or "-16.5": the loudness; none for anything else or outside kLowest ... kHighest.
    static std::optional<double> Parse(const std::string& text);

    // Both renders of output. True when it was written at the target; GainDb() then says by
    // how much it was turned. The host (its prompts, its measurements) serves both renders.
    bool RenderTo(DocumentHost& host, const std::string& output, const ExportRun& render);
    double GainDb() const { return m_gainDb; }

    // RenderTo with a target, or the one render at level 1 without.
    static bool Run(std::optional<double> lufs, DocumentHost& host, const std::string& output,
                    const ExportRun& render);

  private:
    double m_lufs;
    double m_gainDb = 0.0;
};
