// Feeds arbitrary bytes as a batch manifest through the reading `sonomap-cli batch` does before
// anything renders, in a folder that holds one source. Every line becomes a job or a refusal
// naming its line; a job writes only within the manifest's folder and names its files. Nothing
// is written, and the sources are not opened: the fuzzer is after the parser.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "cli/BatchManifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzDiskFile manifest("m.jsonl");
    static const bool bSource = [] {
        std::ofstream(manifest.folder + "/a.wav") << "a source the parser checks is a file";
        return true;
    }();
    FuzzCheck(bSource);
    manifest.Fill(data, size);
    BatchManifest::Options options;
    options.examineSource = [](const std::string&) {
        BatchSource source;
        source.frames = 48000;
        source.rate = 48000;
        source.bStoredTrajectory = true;
        return source;
    };
    std::vector<BatchJob> jobs;
    std::vector<BatchManifest::Refusal> refusals;
    const bool bRead = BatchManifest::Read(manifest.path, jobs, refusals, options);
    FuzzCheck(bRead == refusals.empty());
    const size_t lines = static_cast<size_t>(std::count(data, data + size, '\n')) + 1;
    for (const BatchManifest::Refusal& refusal : refusals) {
        FuzzCheck(refusal.line >= 1 && static_cast<size_t>(refusal.line) <= lines &&
                  !refusal.reason.empty());
    }
    const std::filesystem::path folder(manifest.folder);
    for (const BatchJob& job : jobs) {
        FuzzCheck(job.line >= 1 && !job.output.empty() && !job.outputName.empty());
        for (const std::string* written : {&job.output, &job.labels}) {
            if (written->empty()) {
                continue;
            }
            const std::filesystem::path relative =
                std::filesystem::path(*written).lexically_relative(folder);
            FuzzCheck(!relative.empty() && *relative.begin() != "..");
        }
        for (const BatchEvent& event : job.events) {
            FuzzCheck(event.onset >= 0.0 && (!job.duration || event.onset < *job.duration));
        }
        FuzzCheck(job.rate == 0 || job.rate >= BatchManifest::kLowestRate);
    }
    return 0;
}
