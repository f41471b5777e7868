#pragma once

#include <cstdint>
#include <string>
#include <vector>

// sox and libsndfile's programs as outside references for import tests: files they write, and
// their own conversions of a file to 16- or 8-bit PCM. Tests skip when the tools are missing.
namespace SoxTools {

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

Outcome Command(const std::string& command);
std::string Quote(const std::string& path);
// sox, soxi and sndfile-convert are on the path.
bool Available();

// The first line soxi prints with option ("-r", "-c", ...) for path; a soxi that fails fails the
// test and gives "?".
std::string Info(const std::string& option, const std::string& path);
// "channels rate bits frames" as soxi reads them.
std::string Describe(const std::string& path);

// sox's own conversion of path to raw PCM of the in-memory convention (16-bit signed
// little-endian, or 8-bit unsigned), with sox's dither or without (-D). Empty on failure.
std::vector<uint8_t> SoxPcm(const std::string& path, int bits, bool bDither,
                            const std::string& scratch, const std::string& effects = "");

// 16-bit little-endian bytes as samples.
std::vector<int16_t> Samples16(const std::vector<uint8_t>& bytes);
// The root mean square of the difference of two equally long sample runs, in LSB.
double RmsDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b);
// How many samples differ, and the largest difference.
struct Difference {
    size_t count = 0;
    int largest = 0;
};
Difference Compare(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

}  // namespace SoxTools
