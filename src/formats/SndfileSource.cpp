#include "formats/SndfileSource.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/RegularFile.h"

// A BW64 file as libsndfile sees it: its bytes, with the form id reading RF64, the layout
// the id stands for.
struct SndfileBroadcastView {
    int fd = -1;
    sf_count_t length = 0;
    sf_count_t position = 0;

    SndfileBroadcastView() = default;
    SndfileBroadcastView(const SndfileBroadcastView&) = delete;
    SndfileBroadcastView& operator=(const SndfileBroadcastView&) = delete;
    ~SndfileBroadcastView() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

namespace {

constexpr unsigned kChunkReadLimit = 16u << 20;

// libsndfile's name for a major format or an encoding; empty when it has none.
std::string FormatName(int format) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) {
        return {};
    }
    return info.name;
}

int IntegerBits(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_DPCM_8:
            return 8;
        case SF_FORMAT_DWVW_12:
            return 12;
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_DWVW_16:
        case SF_FORMAT_DPCM_16:
        case SF_FORMAT_ALAC_16:
        // These decode to 16-bit values and no finer.
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
        case SF_FORMAT_IMA_ADPCM:
        case SF_FORMAT_MS_ADPCM:
        case SF_FORMAT_GSM610:
        case SF_FORMAT_VOX_ADPCM:
        case SF_FORMAT_NMS_ADPCM_16:
        case SF_FORMAT_NMS_ADPCM_24:
        case SF_FORMAT_NMS_ADPCM_32:
        case SF_FORMAT_G721_32:
        case SF_FORMAT_G723_24:
        case SF_FORMAT_G723_40:
            return 16;
        case SF_FORMAT_ALAC_20:
            return 20;
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_DWVW_24:
        case SF_FORMAT_ALAC_24:
            return 24;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_32:
            return 32;
        default:
            return 0;  // floating point, Vorbis, Opus, MPEG, DWVW of any width
    }
}

SndfileBroadcastView& ViewOf(void* user) {
    return *static_cast<SndfileBroadcastView*>(user);
}

sf_count_t ViewLength(void* user) {
    return ViewOf(user).length;
}

sf_count_t ViewSeek(sf_count_t offset, int whence, void* user) {
    SndfileBroadcastView& view = ViewOf(user);
    const sf_count_t base = whence == SEEK_CUR   ? view.position
                            : whence == SEEK_END ? view.length
                                                 : 0;
    view.position = base + offset;
    return view.position;
}

sf_count_t ViewRead(void* out, sf_count_t count, void* user) {
    SndfileBroadcastView& view = ViewOf(user);
    if (view.position < 0 || count <= 0) {
        return 0;
    }
    const ssize_t got = ::pread(view.fd, out, static_cast<size_t>(count), view.position);
    if (got <= 0) {
        return 0;
    }
    static constexpr char kId[] = "RF64";
    for (sf_count_t at = view.position; at < 4 && at < view.position + got; ++at) {
        static_cast<char*>(out)[at - view.position] = kId[at];
    }
    view.position += got;
    return got;
}

sf_count_t ViewWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t ViewTell(void* user) {
    return ViewOf(user).position;
}

// The file at path opened for the view when it begins with the BW64 id; else none.
std::unique_ptr<SndfileBroadcastView> BroadcastView(const std::string& path) {
    auto view = std::make_unique<SndfileBroadcastView>();
    view->fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char id[4] = {};
    struct stat status {};
    if (view->fd < 0 || ::pread(view->fd, id, 4, 0) != 4 || std::memcmp(id, "BW64", 4) != 0 ||
        ::fstat(view->fd, &status) != 0) {
        return nullptr;
    }
    view->length = status.st_size;
    return view;
}

}  // namespace

SndfileSource::SndfileSource() = default;

SndfileSource::~SndfileSource() {
    if (m_pFile != nullptr) {
        sf_close(m_pFile);
    }
}

bool SndfileSource::Open(const std::string& path) {
    if (m_pFile != nullptr) {
        sf_close(m_pFile);
        m_pFile = nullptr;
    }
    m_pView.reset();
    // libsndfile would wait on a FIFO and read a device without end.
    if (const RegularFile input(path); !input.IsOpen()) {
        m_error = input.Why();
        return false;
    }
    SF_INFO info{};
    m_pFile = sf_open(path.c_str(), SFM_READ, &info);
    if (m_pFile == nullptr) {
        if ((m_pView = BroadcastView(path))) {
            static SF_VIRTUAL_IO io{ViewLength, ViewSeek, ViewRead, ViewWrite, ViewTell};
            info = SF_INFO{};
            m_pFile = sf_open_virtual(&io, SFM_READ, &info, m_pView.get());
        }
    }
    if (m_pFile == nullptr) {
        m_pView.reset();
        m_error = sf_strerror(nullptr);
        return false;
    }
    m_channels = info.channels;
    m_sampleRate = info.samplerate;
    m_frames = info.frames;
    m_error.clear();
    Describe(info.format);
    return true;
}

void SndfileSource::Describe(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    const int subtype = format & SF_FORMAT_SUBMASK;
    m_sourceBits = IntegerBits(subtype);
    m_bFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    m_description = FormatName(major);
    const std::string encoding = FormatName(subtype);
    if (!encoding.empty()) {
        m_description += (m_description.empty() ? "" : ", ") + encoding;
    }
    switch (major) {
        case SF_FORMAT_AIFF:
            m_chunksBigEndian = true;
            break;
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
        case SF_FORMAT_RF64:
        case SF_FORMAT_W64:
            m_chunksBigEndian = false;
            break;
        default:
            m_chunksBigEndian.reset();
    }
}

int64_t SndfileSource::ReadFrames(double* buffer, int64_t frames) {
    if (m_pFile == nullptr) {
        return -1;
    }
    const sf_count_t got = sf_readf_double(m_pFile, buffer, frames);
    if (got < frames && sf_error(m_pFile) != SF_ERR_NO_ERROR) {
        m_error = sf_strerror(m_pFile);
        return -1;
    }
    return got;
}

std::optional<std::vector<uint8_t>> SndfileSource::ReadChunk(const char* id, size_t maxBytes) {
    if (m_pFile == nullptr || !m_chunksBigEndian) {
        return std::nullopt;
    }
    SF_CHUNK_INFO wanted{};
    std::strncpy(wanted.id, id, sizeof wanted.id - 1);
    wanted.id_size = static_cast<unsigned>(std::strlen(wanted.id));
    SF_CHUNK_ITERATOR* it = sf_get_chunk_iterator(m_pFile, &wanted);
    if (it == nullptr) {
        return std::nullopt;
    }
    SF_CHUNK_INFO chunk{};
    // libsndfile reads a chunk only whole, so one far beyond any use is not read at all.
    if (sf_get_chunk_size(it, &chunk) != SF_ERR_NO_ERROR || chunk.datalen > kChunkReadLimit) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(chunk.datalen);
    chunk.data = bytes.data();
    if (sf_get_chunk_data(it, &chunk) != SF_ERR_NO_ERROR) {
        return std::nullopt;
    }
    bytes.resize(chunk.datalen < maxBytes ? chunk.datalen : maxBytes);
    return bytes;
}
