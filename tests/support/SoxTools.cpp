#include "support/SoxTools.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace SoxTools {

Outcome Command(const std::string& command) {
    Outcome run;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, n);
    }
    run.status = ::pclose(pipe);
    return run;
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

bool Available() {
    return Command("command -v sox && command -v soxi && command -v sndfile-convert").status == 0;
}

std::string Info(const std::string& option, const std::string& path) {
    const Outcome run = Command("soxi " + option + " " + Quote(path));
    EXPECT_EQ(run.status, 0) << "soxi " << option << " " << path << ": " << run.output;
    return run.status == 0 ? run.output.substr(0, run.output.find('\n')) : "?";
}

std::string Describe(const std::string& path) {
    return Info("-c", path) + " " + Info("-r", path) + " " + Info("-b", path) + " " +
           Info("-s", path);
}

std::vector<uint8_t> SoxPcm(const std::string& path, int bits, bool bDither,
                            const std::string& scratch, const std::string& effects) {
    const std::string encoding =
        bits == 8 ? "-e unsigned-integer -b 8" : "-e signed-integer -b 16 -L";
    const Outcome run = Command(std::string("sox ") + (bDither ? "" : "-D ") + Quote(path) +
                                " -t raw " + encoding + " " + Quote(scratch) + " " + effects);
    if (run.status != 0) {
        return {};
    }
    std::ifstream in(scratch, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
    return samples;
}

double RmsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    if (a.size() != b.size() || a.empty()) {
        return INFINITY;
    }
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    return std::sqrt(sum / double(a.size()));
}

Difference Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    Difference difference;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const int d = std::abs(int(a[i]) - int(b[i]));
        difference.count += d != 0 ? 1 : 0;
        difference.largest = d > difference.largest ? d : difference.largest;
    }
    return difference;
}

}  // namespace SoxTools
