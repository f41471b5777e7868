#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Sources resampled once for every render that hears them dry. A dataset sounds the same few
// files at another rate in many scenes; libsoxr is the largest cost of each such event, and
// its output depends only on the samples, the two rates and how they were fed. A render
// records what its resampler gave, block by block, and a later render of the same key replays
// it: the same floats in the same pieces. Keeps at most its budget of samples; what comes
// after the budget is full is resampled as before. Any thread.
class ResampledSources {
  public:
    // What one render's resampler gave: the samples, interleaved, and how many each of its
    // calls appended.
    struct Stream {
        std::vector<float> samples;
        std::vector<size_t> pieces;
    };

    explicit ResampledSources(size_t budgetBytes) : m_budget(budgetBytes) {}

    // The stream kept under key, or none.
    std::shared_ptr<const Stream> Find(const std::string& key) const;
    // Keeps stream under key unless one is kept there already or it would pass the budget.
    void Keep(const std::string& key, Stream stream);
    size_t BudgetBytes() const { return m_budget; }
    size_t KeptBytes() const;

    // A key for the samples of a file as it stands now (its name, size and time of change); an
    // empty one where it cannot be read.
    static std::string KeyOfFile(const std::string& path);

  private:
    const size_t m_budget;
    mutable std::mutex m_mutex;
    size_t m_bytes = 0;
    std::map<std::string, std::shared_ptr<const Stream>> m_kept;
};
