#include "deliver/ResampledSources.h"

#include <sys/stat.h>

std::shared_ptr<const ResampledSources::Stream> ResampledSources::Find(
    const std::string& key) const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_kept.find(key);
    return found == m_kept.end() ? nullptr : found->second;
}

void ResampledSources::Keep(const std::string& key, Stream stream) {
    const size_t bytes = stream.samples.size() * sizeof(float);
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (key.empty() || bytes > m_budget - m_bytes || m_kept.count(key) != 0) {
        return;
    }
    m_bytes += bytes;
    m_kept.emplace(key, std::make_shared<const Stream>(std::move(stream)));
}

size_t ResampledSources::KeptBytes() const {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes;
}

std::string ResampledSources::KeyOfFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return path + '\n' + std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
           std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
           std::to_string(st.st_mtim.tv_nsec);
}
