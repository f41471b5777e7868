#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sofa/HrtfFilterBank.h"
#include "sofa/SofaHrtfSet.h"

// A SOFA file chosen to render through (Preferences, `render --hrtf`): read once, and made
// ready once for each sound rate asked, so exports and playback at one rate share a bank. A
// file that cannot serve keeps its refusal, which every use reports; there is no set in its
// place. Shared between threads.
class SofaSetChoice {
  public:
    // Never null; Refusal() says whether it serves.
    static std::shared_ptr<SofaSetChoice> Load(const std::string& path);

    // Whether an HRTF choice names a SOFA file rather than one of the mixer's sets: it ends
    // in ".sofa" or holds a '/'. The empty choice is the default set.
    static bool NamesFile(const std::string& choice);
    // The file a choice names: the default set for the empty choice.
    static std::string FileOf(const std::string& choice);

    const std::string& Path() const { return m_path; }
    // Why the file cannot serve, naming it; empty when it serves.
    const std::string& Refusal() const { return m_loaded.message; }
    // The set ready at rate Hz, or the refusal (the file's, or the rate's).
    HrtfFilterBank::Prepared BankAt(uint32_t rate);

  private:
    SofaSetChoice() = default;

    std::string m_path;
    SofaHrtfSet::Loaded m_loaded;
    std::mutex m_mutex;  // guards m_banks
    std::map<uint32_t, HrtfFilterBank::Prepared> m_banks;
};
