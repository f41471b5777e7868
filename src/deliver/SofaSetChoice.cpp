#include "deliver/SofaSetChoice.h"

std::shared_ptr<SofaSetChoice> SofaSetChoice::Load(const std::string& path) {
    std::shared_ptr<SofaSetChoice> choice(new SofaSetChoice);
    choice->m_path = path;
    choice->m_loaded = SofaHrtfSet::Load(path);
    return choice;
}

bool SofaSetChoice::NamesFile(const std::string& choice) {
    const std::string tail = ".sofa";
    std::string lower;
    for (const char c :
         choice.substr(choice.size() > tail.size() ? choice.size() - tail.size() : 0)) {
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return choice.empty() || choice.find('/') != std::string::npos || lower == tail;
}

std::string SofaSetChoice::FileOf(const std::string& choice) {
    return choice.empty() ? SofaHrtfSet::DefaultPath() : choice;
}

HrtfFilterBank::Prepared SofaSetChoice::BankAt(uint32_t rate) {
    if (m_loaded.set == nullptr) {
        return {nullptr, m_loaded.message};
    }
    const std::lock_guard lock(m_mutex);
    auto found = m_banks.find(rate);
    if (found == m_banks.end()) {
        found = m_banks.emplace(rate, HrtfFilterBank::Prepare(*m_loaded.set, rate)).first;
    }
    return found->second;
}
