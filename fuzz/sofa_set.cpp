// Feeds arbitrary bytes as a SOFA file through the read a chosen HRTF set takes (libmysofa and
// Sonomap's refusals), and a set that is read through its preparation at a rate: a set is
// refused with a message naming the file, or read whole and then prepared or refused the same
// way. Nothing else may happen: no crash, no hang, no allocation sized beyond reason.
#include <cstdint>
#include <string>

#include "FuzzFile.h"
#include "sofa/HrtfFilterBank.h"
#include "sofa/SofaHrtfSet.h"

// libmysofa 1.3 leaks the attributes of a file it refuses part way (a few hundred bytes); the
// leak check leaves that library's leaks to it.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libmysofa.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const FuzzDiskFile file("set.sofa");
    file.Fill(data, size);
    const SofaHrtfSet::Loaded loaded = SofaHrtfSet::Load(file.path);
    if (loaded.set == nullptr) {
        FuzzCheck(loaded.refusal != SofaHrtfSet::Refusal::None &&
                  loaded.message.find(file.path) != std::string::npos);
        return 0;
    }
    const SofaHrtfSet& set = *loaded.set;
    FuzzCheck(set.Size() >= 1 && set.Taps() >= 1 && set.SampleRate() >= SofaHrtfSet::kLowestRate &&
              set.SampleRate() <= SofaHrtfSet::kHighestRate);
    // A rate of its own, or one far from it: the short responses of a fuzzed set are the
    // ones a change of rate loses.
    static constexpr uint32_t kRates[] = {8000, 44100, 48000, 96000};
    const uint32_t rate = size % 5 == 4 ? set.SampleRate() : kRates[size % 4];
    const HrtfFilterBank::Prepared prepared = HrtfFilterBank::Prepare(set, rate);
    FuzzCheck((prepared.bank != nullptr) == prepared.message.empty());
    if (prepared.bank != nullptr) {
        FuzzCheck(prepared.bank->Rate() == rate && prepared.bank->NodeCount() >= set.Size() &&
                  prepared.bank->Partitions() >= 1);
    }
    return 0;
}
