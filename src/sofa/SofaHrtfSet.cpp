#include "sofa/SofaHrtfSet.h"

#include <mysofa.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <numbers>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ByteOrder.h"
#include "platform/RegularFile.h"
#include "sofa/SofaFileContents.h"

namespace {

using Refusal = SofaHrtfSet::Refusal;

SofaHrtfSet::Loaded Refuse(const std::string& path, Refusal refusal, const std::string& reason) {
    return {nullptr, refusal, "The HRTF file \"" + path + "\" cannot be used: " + reason + "."};
}

std::string Attribute(const SofaFileContents::Attributes& attributes, const char* name) {
    return SofaFileContents::Attribute(attributes, name);
}

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// What the first bytes of a file say before libmysofa reads it: whether it is HDF5 (which
// every SOFA file is) and, when it is, whether it is as long as its superblock says. A file
// cut short by a failed download reads as "not SOFA" in libmysofa; this tells it apart.
struct Examined {
    std::string unreadable;  // why it cannot be read; empty when it can
    bool bHdf5 = false;
};

Examined Examine(const RegularFile& file) {
    Examined examined;
    if (!file.IsOpen()) {
        examined.unreadable =
            file.IsSpecial() ? file.Why() : "it cannot be read (" + file.Why() + ")";
        return examined;
    }
    if (file.Size() > SofaHrtfSet::kLargestFile) {
        examined.unreadable = "it is larger than the " +
                              RegularFile::SizeText(SofaHrtfSet::kLargestFile) +
                              " of any set Sonomap reads";
        return examined;
    }
    unsigned char head[2048 + 64] = {};
    const ssize_t got = ::pread(file.Descriptor(), head, sizeof head, 0);
    if (got < 0) {
        examined.unreadable = std::string("it cannot be read (") + std::strerror(errno) + ")";
        return examined;
    }
    static constexpr unsigned char kSignature[8] = {0x89, 'H', 'D', 'F', '\r', '\n', 0x1a, '\n'};
    // The superblock sits at 0 or after a user block of 512, 1024 or 2048 bytes.
    for (const ssize_t at : {0, 512, 1024, 2048}) {
        if (got < at + 48 || std::memcmp(head + at, kSignature, 8) != 0) {
            continue;
        }
        examined.bHdf5 = true;
        const unsigned char* p = head + at;
        const int version = p[8];
        const int offsetBytes = version <= 1 ? p[13] : p[9];
        const int endAt =
            version <= 1 ? (version == 0 ? 24 : 28) + 2 * offsetBytes : 12 + 2 * offsetBytes;
        if ((offsetBytes == 4 || offsetBytes == 8) && got >= at + endAt + offsetBytes) {
            // Addresses count from the base address, which comes two addresses earlier.
            const uint64_t end = ByteOrder::LoadU(p + endAt - 2 * offsetBytes, offsetBytes, false) +
                                 ByteOrder::LoadU(p + endAt, offsetBytes, false);
            if (end > file.Size()) {
                examined.unreadable = "it is cut short (" + std::to_string(file.Size()) + " of " +
                                      std::to_string(end) + " bytes)";
            }
        }
        break;
    }
    return examined;
}

// The words of a Units attribute, lower-cased: "degree, degree, metre" gives three.
std::vector<std::string> UnitWords(const std::string& units) {
    std::vector<std::string> words(1);
    for (const char c : units) {
        if (c == ',' || c == ' ') {
            if (!words.back().empty()) {
                words.emplace_back();
            }
        } else {
            words.back() += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    if (words.back().empty()) {
        words.pop_back();
    }
    return words;
}

bool IsMetre(const std::string& word) {
    return word == "metre" || word == "metres" || word == "meter" || word == "meters" ||
           word == "m";
}

bool IsDegree(const std::string& word) {
    return word == "degree" || word == "degrees" || word == "deg";
}

// Why the Units of a position variable do not fit its Type; empty when they do or when the
// file gives none. A set in other units would put every direction somewhere else.
std::string WrongUnits(const char* name, const SofaFileContents::Array& array) {
    const std::string units = Attribute(array.attributes, "Units");
    if (units.empty()) {
        return {};
    }
    const std::vector<std::string> words = UnitWords(units);
    const bool bSpherical = SameWord(Attribute(array.attributes, "Type"), "spherical");
    bool bFits = false;
    if (bSpherical) {
        bFits = words.size() == 3 && IsDegree(words[0]) && IsDegree(words[1]) && IsMetre(words[2]);
    } else {
        bFits = (words.size() == 1 || words.size() == 3) &&
                std::all_of(words.begin(), words.end(), IsMetre);
    }
    if (bFits) {
        return {};
    }
    return std::string("its ") + name + " is in \"" + units + "\", where a " +
           (bSpherical ? "spherical position is in degree, degree, metre"
                       : "Cartesian position is in metre");
}

std::string RateText(double rate) {
    char text[64];
    std::snprintf(text, sizeof text, "%.10g Hz", rate);
    return text;
}

}  // namespace

SofaHrtfSet::Loaded SofaHrtfSet::Load(const std::string& path) {
    const RegularFile file(path);
    const Examined examined = Examine(file);
    if (!examined.unreadable.empty()) {
        return Refuse(path, Refusal::Unreadable, examined.unreadable);
    }
    if (!examined.bHdf5) {
        return Refuse(path, Refusal::NotSofa, "it is not a SOFA file");
    }
    // By the open descriptor: what was checked is what libmysofa reads. A file may make it
    // loop or crash, so it reads in a child process, given time in step with the file's size.
    const double seconds = kReadSeconds + static_cast<double>(file.Size() >> 24);
    const SofaFileRead read = SofaFileContents::Of(file.ProcPath(), seconds);
    if (!read.failure.empty()) {
        return Refuse(path, Refusal::Unreadable, read.failure);
    }
    if (!read.contents) {
        if (read.error == MYSOFA_INVALID_FORMAT) {
            return Refuse(path, Refusal::NotSofa, "it is not a SOFA file");
        }
        return Refuse(path, Refusal::Unreadable,
                      "libmysofa cannot read it (error " + std::to_string(read.error) + ")");
    }
    const SofaFileContents& hrtf = *read.contents;
    const std::string convention = Attribute(hrtf.attributes, "SOFAConventions");
    if (convention != "SimpleFreeFieldHRIR") {
        return Refuse(path, Refusal::NotSimpleFreeFieldHrir,
                      "it is a SOFA file of the " +
                          (convention.empty() ? std::string("unnamed") : convention) +
                          " convention, not SimpleFreeFieldHRIR");
    }
    const std::string dataType = Attribute(hrtf.attributes, "DataType");
    if (!dataType.empty() && dataType != "FIR") {
        return Refuse(path, Refusal::NotSimpleFreeFieldHrir,
                      "its data are " + dataType +
                          ", not the impulse responses (FIR) of "
                          "SimpleFreeFieldHRIR");
    }
    if (hrtf.M == 0 || hrtf.N == 0) {
        return Refuse(path, Refusal::NoMeasurements, "it holds no measurements");
    }
    if (hrtf.R == 1) {
        return Refuse(path, Refusal::OneEar, "it holds one ear only, and binaural needs two");
    }
    if (hrtf.R != 2 || hrtf.E != 1 || hrtf.C != 3) {
        return Refuse(path, Refusal::NotSimpleFreeFieldHrir,
                      "it has " + std::to_string(hrtf.R) + " receivers and " +
                          std::to_string(hrtf.E) +
                          " emitters, where SimpleFreeFieldHRIR has two ears and one source");
    }
    const size_t m = hrtf.M;
    const size_t n = hrtf.N;
    const std::pair<const char*, const SofaFileContents::Array*> placed[] = {
        {"SourcePosition", &hrtf.sourcePosition},     {"ReceiverPosition", &hrtf.receiverPosition},
        {"ListenerPosition", &hrtf.listenerPosition}, {"EmitterPosition", &hrtf.emitterPosition},
        {"ListenerView", &hrtf.listenerView},         {"ListenerUp", &hrtf.listenerUp}};
    for (const auto& [name, pArray] : placed) {
        const std::string wrong = WrongUnits(name, *pArray);
        if (!wrong.empty()) {
            return Refuse(path, Refusal::UnknownUnits, wrong);
        }
    }
    const std::string rateUnits = Attribute(hrtf.dataSamplingRate.attributes, "Units");
    if (!rateUnits.empty() && !SameWord(rateUnits, "hertz") && !SameWord(rateUnits, "hz")) {
        return Refuse(
            path, Refusal::UnknownUnits,
            "its Data.SamplingRate is in \"" + rateUnits + "\", where a rate is in hertz");
    }

    const SofaFileContents::Array& rates = hrtf.dataSamplingRate;
    if (rates.values.empty() || (rates.values.size() != 1 && rates.values.size() != m)) {
        return Refuse(path, Refusal::UnusableRate, "it gives no one sampling rate");
    }
    const double rate = rates.values[0];
    for (unsigned i = 1; i < rates.values.size(); ++i) {
        if (rates.values[i] != rate) {
            return Refuse(path, Refusal::UnusableRate,
                          "its measurements have different sampling rates (" + RateText(rate) +
                              " and " + RateText(rates.values[i]) +
                              "), which cannot be resampled "
                              "as one set");
        }
    }
    if (!(rate >= kLowestRate - 0.5 && rate < kHighestRate + 0.5)) {
        return Refuse(path, Refusal::UnusableRate,
                      "its sampling rate of " + RateText(rate) + " cannot be resampled (" +
                          std::to_string(kLowestRate) + " to " + std::to_string(kHighestRate) +
                          " Hz can)");
    }

    const SofaFileContents::Array& positions = hrtf.sourcePosition;
    const std::string type = Attribute(positions.attributes, "Type");
    const bool bSpherical = SameWord(type, "spherical");
    if ((!bSpherical && !SameWord(type, "cartesian")) || positions.values.size() != m * 3) {
        return Refuse(path, Refusal::NotSimpleFreeFieldHrir,
                      "its source positions are not one spherical or Cartesian position per "
                      "measurement");
    }
    const SofaFileContents::Array& delays = hrtf.dataDelay;
    if (delays.values.size() != 2 && delays.values.size() != 2 * m) {
        return Refuse(path, Refusal::NotSimpleFreeFieldHrir,
                      "its delays are neither one per ear nor one per ear and measurement");
    }
    // Divided, not multiplied: dimensions of 2^31 and 2^32 would wrap to the size of nothing.
    const size_t irs = hrtf.dataIr.values.size();
    if (irs % (2 * n) != 0 || irs / (2 * n) != m) {
        return Refuse(path, Refusal::Unreadable, "its responses do not fill its measurements");
    }
    for (size_t i = 0; i < hrtf.dataIr.values.size(); ++i) {
        if (!std::isfinite(hrtf.dataIr.values[i])) {
            return Refuse(path, Refusal::Unreadable, "it holds samples that are not numbers");
        }
    }
    for (size_t i = 0; i < delays.values.size(); ++i) {
        if (!(delays.values[i] >= 0.0f) || !std::isfinite(delays.values[i])) {
            return Refuse(path, Refusal::Unreadable, "it holds delays that are not lengths");
        }
        // Every voice keeps a delay line this long for each ear.
        if (delays.values[i] > rate * kLongestDelaySeconds) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "its Data.Delay of %.10g samples is longer than the %g s any "
                          "head-related delay could be",
                          double{delays.values[i]}, kLongestDelaySeconds);
            return Refuse(path, Refusal::Unreadable, text);
        }
    }
    // Receiver 0 is the left ear unless the file places it to the right.
    const SofaFileContents::Array& ears = hrtf.receiverPosition;
    const bool bSwapEars = ears.values.size() == 6 &&
                           SameWord(Attribute(ears.attributes, "Type"), "cartesian") &&
                           ears.values[1] < ears.values[4];

    // One measurement per direction: the distance nearest 1 m where there are several.
    std::map<std::array<int64_t, 3>, size_t> byDirection;
    std::vector<Measurement> measured(m);
    std::vector<double> distance(m);
    std::vector<size_t> kept;
    for (size_t i = 0; i < m; ++i) {
        const float* p = positions.values.data() + 3 * i;
        std::array<double, 3> v{};
        if (bSpherical) {
            const double az = p[0] * std::numbers::pi / 180.0;
            const double el = p[1] * std::numbers::pi / 180.0;
            v = {std::cos(el) * std::cos(az), std::cos(el) * std::sin(az), std::sin(el)};
            distance[i] = p[2];
        } else {
            const double r =
                std::sqrt(double{p[0]} * p[0] + double{p[1]} * p[1] + double{p[2]} * p[2]);
            if (!(r > 0.0) || !std::isfinite(r)) {
                return Refuse(path, Refusal::Unreadable,
                              "source position " + std::to_string(i + 1) + " is not a direction");
            }
            v = {p[0] / r, p[1] / r, p[2] / r};
            distance[i] = r;
        }
        if (!std::isfinite(v[0] + v[1] + v[2])) {
            return Refuse(path, Refusal::Unreadable,
                          "source position " + std::to_string(i + 1) + " is not a direction");
        }
        measured[i].direction = v;
        for (int ear = 0; ear < 2; ++ear) {
            const int from = bSwapEars ? 1 - ear : ear;
            measured[i].delay[ear] =
                delays.values[delays.values.size() == 2 ? from : 2 * i + static_cast<size_t>(from)];
        }
        const std::array<int64_t, 3> key{std::llround(v[0] * 1e9), std::llround(v[1] * 1e9),
                                         std::llround(v[2] * 1e9)};
        const auto [it, bNew] = byDirection.emplace(key, kept.size());
        if (bNew) {
            kept.push_back(i);
        } else if (std::abs(distance[i] - 1.0) < std::abs(distance[kept[it->second]] - 1.0)) {
            kept[it->second] = i;
        }
    }

    std::shared_ptr<SofaHrtfSet> set(new SofaHrtfSet());
    set->m_path = path;
    set->m_rate = static_cast<uint32_t>(std::lround(rate));
    set->m_taps = static_cast<uint32_t>(n);
    set->m_measurements.reserve(kept.size());
    set->m_responses.resize(kept.size() * 2 * n);
    for (size_t k = 0; k < kept.size(); ++k) {
        set->m_measurements.push_back(measured[kept[k]]);
        for (int ear = 0; ear < 2; ++ear) {
            const int from = bSwapEars ? 1 - ear : ear;
            const float* source =
                hrtf.dataIr.values.data() + (kept[k] * 2 + static_cast<size_t>(from)) * n;
            std::copy(source, source + n, set->m_responses.data() + (k * 2 + ear) * n);
        }
    }
    return {set, Refusal::None, ""};
}
