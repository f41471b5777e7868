#include "formats/AdmMetadata.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <pugixml.hpp>
#include <sstream>

#include "platform/CFile.h"

namespace {

constexpr size_t kChnaEntryBytes = 40;
constexpr size_t kChnaHeaderBytes = 4;
// Reading never sizes a buffer past these: 1024 tracks, and far more XML than 65535 blocks
// a channel need.
constexpr size_t kChnaMaxBytes = kChnaHeaderBytes + kChnaEntryBytes * 1024;
// The comment that holds the loudness's room: with its "<!--" and "-->", kAdmLoudnessRoomBytes.
const std::string kLoudnessRoomText = " loudness" + std::string(kAdmLoudnessRoomBytes - 16, ' ');

std::string Numbered(const char* format, unsigned n) {
    char text[32];
    std::snprintf(text, sizeof text, format, n);
    return text;
}

std::string TrackUid(unsigned n) {
    return Numbered("ATU_%08u", n);
}
std::string TrackFormatId(unsigned n) {
    return Numbered("AT_0003%04X_01", 0x1000 + n);
}
std::string PackId(unsigned n) {
    return Numbered("AP_0003%04X", 0x1000 + n);
}
std::string ChannelId(unsigned n) {
    return Numbered("AC_0003%04X", 0x1000 + n);
}
std::string StreamId(unsigned n) {
    return Numbered("AS_0003%04X", 0x1000 + n);
}
std::string ObjectId(unsigned n) {
    return Numbered("AO_%04X", 0x1000 + n);
}

// Times are written hh:mm:ss.zzzzz when a frame is longer than 10 us, so rounding to the
// frame gives the frame back; else in the fractional form hh:mm:ss.nSrate, exact at any rate.
bool UsesDecimalTime(uint32_t rate) {
    return rate < 100000;
}

// The time of a frame in the written form's units: 10 us, or frames.
uint64_t TimeUnits(uint32_t frames, uint32_t rate) {
    return UsesDecimalTime(rate) ? (uint64_t{frames} * 200000 + rate) / (2 * uint64_t{rate})
                                 : frames;
}

std::string UnitsText(uint64_t units, uint32_t rate) {
    char text[64];
    if (UsesDecimalTime(rate)) {
        std::snprintf(
            text, sizeof text, "%02u:%02u:%02u.%05u", static_cast<unsigned>(units / 360000000),
            static_cast<unsigned>(units / 6000000 % 60), static_cast<unsigned>(units / 100000 % 60),
            static_cast<unsigned>(units % 100000));
    } else {
        const uint64_t seconds = units / rate;
        std::snprintf(text, sizeof text, "%02u:%02u:%02u.%uS%u",
                      static_cast<unsigned>(seconds / 3600),
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60),
                      static_cast<unsigned>(units % rate), rate);
    }
    return text;
}

std::string TimeText(uint32_t frames, uint32_t rate) {
    return UnitsText(TimeUnits(frames, rate), rate);
}

// The length from one frame to another, written so that the start's time and the length add
// up to the end's time exactly: blocks stay contiguous in the text.
std::string LengthText(uint32_t from, uint32_t to, uint32_t rate) {
    return UnitsText(TimeUnits(to, rate) - TimeUnits(from, rate), rate);
}

// Seconds from either time form; none when the text is neither.
std::optional<long double> ParseSeconds(const char* text) {
    unsigned h = 0, m = 0, s = 0;
    int used = 0;
    if (std::sscanf(text, "%u:%u:%u%n", &h, &m, &s, &used) != 3) {
        return std::nullopt;
    }
    long double seconds = h * 3600.0L + m * 60.0L + s;
    const char* rest = text + used;
    if (*rest == '.') {
        ++rest;
        const char* mark = std::strchr(rest, 'S');
        if (mark != nullptr) {
            char* end = nullptr;
            const unsigned long long numerator = std::strtoull(rest, &end, 10);
            const unsigned long long denominator = std::strtoull(mark + 1, nullptr, 10);
            if (end != mark || denominator == 0) {
                return std::nullopt;
            }
            seconds += static_cast<long double>(numerator) / denominator;
        } else {
            long double scale = 0.1L;
            for (; *rest >= '0' && *rest <= '9'; ++rest, scale /= 10) {
                seconds += (*rest - '0') * scale;
            }
            if (*rest != '\0') {
                return std::nullopt;
            }
        }
    } else if (*rest != '\0') {
        return std::nullopt;
    }
    return seconds;
}

// The frame nearest a time; none past 32 bits.
std::optional<uint32_t> FrameAt(long double seconds, uint32_t rate) {
    const long double frames = std::round(seconds * rate);
    if (!(frames >= 0 && frames <= 0xFFFFFFFFu)) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(frames);
}

std::string NumberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

void AddRef(pugi::xml_node parent, const char* name, const std::string& id) {
    parent.append_child(name).text().set(id.c_str());
}

void AddPosition(pugi::xml_node block, const char* coordinate, double value) {
    pugi::xml_node position = block.append_child("position");
    position.append_attribute("coordinate") = coordinate;
    position.text().set(NumberText(value).c_str());
}

struct StringWriter : pugi::xml_writer {
    std::vector<uint8_t> bytes;
    void write(const void* data, size_t size) override {
        const auto* at = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), at, at + size);
    }
};

std::string LocalName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

// The first element of that name in document order below node. A loop, not recursion: the
// nesting of a file's XML is the file's to choose, the stack's depth is not.
pugi::xml_node FindElement(pugi::xml_node node, const std::string& name) {
    pugi::xml_node at = node.first_child();
    while (at && at != node) {
        if (at.type() == pugi::node_element && LocalName(at.name()) == name) {
            return at;
        }
        if (at.type() == pugi::node_element && at.first_child()) {
            at = at.first_child();
            continue;
        }
        while (at != node && !at.next_sibling()) {
            at = at.parent();
        }
        if (at != node) {
            at = at.next_sibling();
        }
    }
    return {};
}

std::vector<pugi::xml_node> ChildrenNamed(pugi::xml_node node, const std::string& name) {
    std::vector<pugi::xml_node> found;
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_element && LocalName(child.name()) == name) {
            found.push_back(child);
        }
    }
    return found;
}

std::string TypeName(const std::string& label) {
    static const std::map<std::string, std::string> kNames = {{"0001", "DirectSpeakers"},
                                                              {"0002", "Matrix"},
                                                              {"0003", "Objects"},
                                                              {"0004", "HOA"},
                                                              {"0005", "Binaural"}};
    const auto found = kNames.find(label);
    return found != kNames.end() ? found->second : "type " + label;
}

// The type of an element carrying typeLabel and/or typeDefinition.
std::string TypeOf(pugi::xml_node element) {
    const std::string definition = element.attribute("typeDefinition").as_string();
    return !definition.empty() ? definition : TypeName(element.attribute("typeLabel").as_string());
}

std::string FixedText(const uint8_t* bytes, size_t length) {
    std::string text(reinterpret_cast<const char*>(bytes), length);
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string ChannelWords(int channels) {
    return channels == 1 ? "a mono sound" : "a stereo sound";
}

// A number that is the whole text, spaces around it aside; none for anything else, an empty
// text, or what is not finite.
std::optional<double> NumberOf(const char* text) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text) {
        return std::nullopt;
    }
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') {
        ++end;
    }
    if (*end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

// The object's time span in frames: where its blocks' times count from, and where it ends
// (none: with the sound).
struct ObjectSpan {
    uint32_t start = 0;
    std::optional<uint32_t> end;
};

// The places a renderer of the model puts a channel format's blocks at, as ParseAdm says;
// refusal set when they cannot be read. metresPerUnit: the pack's absoluteDistance, none when
// the normalised distance is taken as metres.
std::vector<AdmPlace> PlacesOf(pugi::xml_node channel, std::optional<double> metresPerUnit,
                               const ObjectSpan& span, uint32_t rate, std::string& refusal) {
    std::vector<AdmPlace> places;
    const std::string id = channel.attribute("audioChannelFormatID").as_string();
    std::optional<uint32_t> lastEnd;
    for (pugi::xml_node block : ChildrenNamed(channel, "audioBlockFormat")) {
        const std::string blockId = block.attribute("audioBlockFormatID").as_string();
        const std::string name = blockId.empty() ? "a block of " + id : "block " + blockId;
        // A block without times spans its object.
        const bool bTimed = block.attribute("rtime") || block.attribute("duration");
        const std::optional<long double> rtime =
            ParseSeconds(block.attribute("rtime").as_string("00:00:00.00000"));
        const std::optional<long double> duration =
            ParseSeconds(block.attribute("duration").as_string("00:00:00.00000"));
        std::optional<uint32_t> first = rtime ? FrameAt(*rtime, rate) : std::nullopt;
        std::optional<uint32_t> last =
            rtime && duration ? FrameAt(*rtime + *duration, rate) : std::nullopt;
        if (!first || !last ||
            (bTimed && !(block.attribute("rtime") && block.attribute("duration")))) {
            refusal = "the block times of " + id + " cannot be read";
            return {};
        }
        if (!bTimed) {
            first = 0;
            last = span.end ? *span.end - span.start : 0;
        }
        if (uint64_t{*last} + span.start > 0xFFFFFFFFu) {
            refusal = "the block times of " + id + " cannot be read";
            return {};
        }
        uint32_t start = *first + span.start;
        uint32_t end = *last + span.start;
        if (block.child("cartesian").text().as_int(0) != 0) {
            refusal = id + " places its blocks in Cartesian coordinates";
            return {};
        }
        AdmPlace place;
        std::optional<double> azimuth, elevation, distance;
        for (pugi::xml_node position : ChildrenNamed(block, "position")) {
            const std::string coordinate = position.attribute("coordinate").as_string();
            std::optional<double>* value = coordinate == "azimuth"     ? &azimuth
                                           : coordinate == "elevation" ? &elevation
                                           : coordinate == "distance"  ? &distance
                                                                       : nullptr;
            if (coordinate == "X" || coordinate == "Y" || coordinate == "Z") {
                refusal = id + " places its blocks in Cartesian coordinates";
                return {};
            }
            if (value == nullptr) {
                continue;
            }
            *value = NumberOf(position.text().as_string());
            if (!*value) {
                refusal = "the " + coordinate + " of " + name + " is not a number (\"" +
                          position.text().as_string() + "\")";
                return {};
            }
        }
        if (!azimuth || !elevation) {
            refusal = name + " has no " + (azimuth ? "elevation" : "azimuth");
            return {};
        }
        place.azimuth = -*azimuth;
        place.elevation = *elevation;
        // The model's own default distance is 1.
        place.distanceCm = distance.value_or(1.0) * metresPerUnit.value_or(1.0) * 100.0;
        if (!std::isfinite(place.distanceCm)) {
            refusal = name + " has a distance past what a number holds";
            return {};
        }
        uint32_t reach = end;  // where the block's place is reached
        if (block.child("jumpPosition").text().as_int(0) != 0) {
            const pugi::xml_attribute length =
                block.child("jumpPosition").attribute("interpolationLength");
            const std::optional<double> seconds =
                length ? NumberOf(length.as_string()) : std::optional<double>(0.0);
            if (!seconds || *seconds < 0) {
                refusal = name + " has an interpolationLength that is not a time (\"" +
                          length.as_string() + "\")";
                return {};
            }
            const std::optional<uint32_t> frames = FrameAt(*seconds, rate);
            reach = frames
                        ? static_cast<uint32_t>(std::min<uint64_t>(uint64_t{start} + *frames, end))
                        : end;
        }
        // Past its object's end a block is cut there, reaching its place at the cut.
        if (span.end) {
            if (places.size() > 0 && start >= *span.end) {
                continue;
            }
            end = std::min(end, *span.end);
            start = std::min(start, end);
            reach = std::clamp(reach, start, end);
        }
        if (lastEnd && start < *lastEnd) {
            refusal = "the blocks of " + id + " go back in time";
            return {};
        }
        if (!lastEnd || start != *lastEnd) {
            // A first block, or one after a gap, is where it says from its start.
            if (lastEnd && !places.empty()) {
                AdmPlace held = places.back();
                held.position = start;
                places.push_back(held);
            }
            reach = start;
        }
        place.position = reach;
        places.push_back(place);
        if (end > reach) {
            place.position = end;
            places.push_back(place);
        }
        lastEnd = end;
    }
    return places;
}

}  // namespace

std::vector<uint8_t> BuildChnaChunk(uint16_t channels) {
    std::vector<uint8_t> chunk(kChnaHeaderBytes + kChnaEntryBytes * channels, 0);
    std::memcpy(chunk.data(), &channels, 2);
    std::memcpy(chunk.data() + 2, &channels, 2);
    for (uint16_t n = 1; n <= channels; ++n) {
        uint8_t* entry = chunk.data() + kChnaHeaderBytes + kChnaEntryBytes * (n - 1);
        std::memcpy(entry, &n, 2);
        std::memcpy(entry + 2, TrackUid(n).data(), 12);
        std::memcpy(entry + 14, TrackFormatId(n).data(), 14);
        std::memcpy(entry + 28, PackId(n).data(), 11);
    }
    return chunk;
}

std::vector<uint8_t> BuildAxmlChunk(const std::vector<std::vector<AdmBlock>>& channels,
                                    const std::string& title, uint32_t rate, uint16_t bits,
                                    uint32_t frameCount, const std::vector<AdmObjectSpan>* objects,
                                    const std::string& note) {
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    pugi::xml_node root = document.append_child("ebuCoreMain");
    root.append_attribute("xmlns:dc") = "http://purl.org/dc/elements/1.1/";
    root.append_attribute("xmlns") = "urn:ebu:metadata-schema:ebuCore_2015";
    root.append_attribute("schema") = "EBU_CORE_20150522.xsd";
    root.append_attribute("xml:lang") = "en";
    pugi::xml_node model = root.append_child("coreMetadata")
                               .append_child("format")
                               .append_child("audioFormatExtended");
    model.append_attribute("version") = "ITU-R_BS.2076-2";

    const std::string end = TimeText(frameCount, rate);
    pugi::xml_node programme = model.append_child("audioProgramme");
    programme.append_attribute("audioProgrammeID") = "APR_1001";
    programme.append_attribute("audioProgrammeName") = title.c_str();
    programme.append_attribute("start") = "00:00:00.00000";
    programme.append_attribute("end") = end.c_str();
    AddRef(programme, "audioContentIDRef", "ACO_1001");
    // Blank room, filled in place once the samples are written and measured.
    programme.append_child(pugi::node_comment).set_value(kLoudnessRoomText.c_str());
    if (!note.empty()) {
        programme.append_child(pugi::node_comment).set_value((" " + note + " ").c_str());
    }
    pugi::xml_node content = model.append_child("audioContent");
    content.append_attribute("audioContentID") = "ACO_1001";
    content.append_attribute("audioContentName") = title.c_str();

    const char* kSides[] = {"left", "right"};
    for (unsigned n = 1; n <= channels.size(); ++n) {
        const AdmObjectSpan* span = objects != nullptr ? &(*objects)[n - 1] : nullptr;
        const std::string name = span != nullptr        ? span->name
                                 : channels.size() == 1 ? title
                                                        : title + " " + kSides[std::min(n - 1, 1u)];
        AddRef(content, "audioObjectIDRef", ObjectId(n));
        pugi::xml_node object = model.append_child("audioObject");
        object.append_attribute("audioObjectID") = ObjectId(n).c_str();
        object.append_attribute("audioObjectName") = name.c_str();
        object.append_attribute("start") =
            span != nullptr ? TimeText(span->start, rate).c_str() : "00:00:00.00000";
        object.append_attribute("duration") =
            span != nullptr ? LengthText(span->start, span->start + span->duration, rate).c_str()
                            : end.c_str();
        AddRef(object, "audioPackFormatIDRef", PackId(n));
        AddRef(object, "audioTrackUIDRef", TrackUid(n));

        pugi::xml_node pack = model.append_child("audioPackFormat");
        pack.append_attribute("audioPackFormatID") = PackId(n).c_str();
        pack.append_attribute("audioPackFormatName") = name.c_str();
        pack.append_attribute("typeLabel") = "0003";
        pack.append_attribute("typeDefinition") = "Objects";
        AddRef(pack, "audioChannelFormatIDRef", ChannelId(n));
        // Metres per unit of the normalised distance: the distance written is the metres.
        pack.append_child("absoluteDistance").text().set("1");

        pugi::xml_node channel = model.append_child("audioChannelFormat");
        channel.append_attribute("audioChannelFormatID") = ChannelId(n).c_str();
        channel.append_attribute("audioChannelFormatName") = name.c_str();
        channel.append_attribute("typeLabel") = "0003";
        channel.append_attribute("typeDefinition") = "Objects";
        unsigned index = 0;
        for (const AdmBlock& source : channels[n - 1]) {
            pugi::xml_node block = channel.append_child("audioBlockFormat");
            const std::string id = Numbered("AB_0003%04X_", 0x1000 + n) + Numbered("%08X", ++index);
            block.append_attribute("audioBlockFormatID") = id.c_str();
            block.append_attribute("rtime") = TimeText(source.start, rate).c_str();
            block.append_attribute("duration") =
                LengthText(source.start, source.start + source.length, rate).c_str();
            if (source.bJump) {
                pugi::xml_node jump = block.append_child("jumpPosition");
                jump.append_attribute("interpolationLength") = "0";
                jump.text().set("1");
            }
            // The model's azimuth grows to the left.
            AddPosition(block, "azimuth", source.place.azimuth == 0 ? 0.0 : -source.place.azimuth);
            AddPosition(block, "elevation", source.place.elevation);
            AddPosition(block, "distance", source.place.distanceCm / 100.0);
        }

        pugi::xml_node stream = model.append_child("audioStreamFormat");
        stream.append_attribute("audioStreamFormatID") = StreamId(n).c_str();
        stream.append_attribute("audioStreamFormatName") = ("PCM_" + name).c_str();
        stream.append_attribute("formatLabel") = "0001";
        stream.append_attribute("formatDefinition") = "PCM";
        AddRef(stream, "audioChannelFormatIDRef", ChannelId(n));
        AddRef(stream, "audioTrackFormatIDRef", TrackFormatId(n));

        pugi::xml_node track = model.append_child("audioTrackFormat");
        track.append_attribute("audioTrackFormatID") = TrackFormatId(n).c_str();
        track.append_attribute("audioTrackFormatName") = ("PCM_" + name).c_str();
        track.append_attribute("formatLabel") = "0001";
        track.append_attribute("formatDefinition") = "PCM";
        AddRef(track, "audioStreamFormatIDRef", StreamId(n));

        pugi::xml_node uid = model.append_child("audioTrackUID");
        uid.append_attribute("UID") = TrackUid(n).c_str();
        uid.append_attribute("sampleRate") = rate;
        uid.append_attribute("bitDepth") = bits;
        AddRef(uid, "audioTrackFormatIDRef", TrackFormatId(n));
        AddRef(uid, "audioPackFormatIDRef", PackId(n));
    }
    StringWriter writer;
    document.save(writer, "  ", pugi::format_default, pugi::encoding_utf8);
    // An even size: libsndfile's RF64 reader skips an odd chunk without its pad byte.
    if (writer.bytes.size() % 2 != 0) {
        writer.bytes.push_back('\n');
    }
    return writer.bytes;
}

std::optional<size_t> AdmLoudnessRoomAt(const std::vector<uint8_t>& axml) {
    const std::string room = "<!--" + kLoudnessRoomText + "-->";
    const auto found = std::search(axml.begin(), axml.end(), room.begin(), room.end());
    if (found == axml.end()) {
        return std::nullopt;
    }
    return static_cast<size_t>(found - axml.begin());
}

std::vector<uint8_t> AdmLoudnessText(const AdmLoudness& loudness) {
    std::string text;
    if (std::isfinite(loudness.integratedLufs) || std::isfinite(loudness.truePeakDbtp)) {
        char value[48];
        text = "<loudnessMetadata loudnessMethod=\"ITU-R BS.1770-4\">";
        if (std::isfinite(loudness.integratedLufs)) {
            std::snprintf(value, sizeof value, "%.2f",
                          std::clamp(loudness.integratedLufs, -999.0, 999.0));
            text += std::string("<integratedLoudness>") + value + "</integratedLoudness>";
        }
        if (std::isfinite(loudness.truePeakDbtp)) {
            std::snprintf(value, sizeof value, "%.2f",
                          std::clamp(loudness.truePeakDbtp, -999.0, 999.0));
            text += std::string("<maxTruePeak>") + value + "</maxTruePeak>";
        }
        text += "</loudnessMetadata>";
    }
    text.resize(kAdmLoudnessRoomBytes, ' ');
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::optional<AdmChunks> ReadAdmChunks(CFile& file) {
    const uint64_t length = file.GetLength();
    uint8_t head[12];
    file.Seek(0, CFile::SeekFrom::Begin);
    if (length < 12 || file.Read(head, 12) < 12 || std::memcmp(head + 8, "WAVE", 4) != 0 ||
        (std::memcmp(head, "RIFF", 4) != 0 && std::memcmp(head, "RF64", 4) != 0 &&
         std::memcmp(head, "BW64", 4) != 0)) {
        return std::nullopt;
    }
    AdmChunks chunks;
    uint64_t dataSize64 = 0;
    bool bDs64 = false;
    // Each header lies wholly inside the file and each step moves forward, so the walk ends
    // at the file's end whatever the sizes say; a size is checked against what is left before
    // it is added.
    for (uint64_t at = 12; at <= length && length - at >= 8;) {
        uint8_t header[8];
        file.Seek(static_cast<int64_t>(at), CFile::SeekFrom::Begin);
        if (file.Read(header, 8) < 8) {
            break;
        }
        uint32_t size32;
        std::memcpy(&size32, header + 4, 4);
        uint64_t size = size32;
        if (std::memcmp(header, "ds64", 4) == 0 && size32 >= 16) {
            uint8_t sizes[16];
            if (file.Read(sizes, 16) == 16) {
                std::memcpy(&dataSize64, sizes + 8, 8);
            }
            bDs64 = true;
        } else if (std::memcmp(header, "data", 4) == 0 && size32 == 0xFFFFFFFFu && bDs64) {
            size = dataSize64;
        }
        const uint64_t left = length - at - 8;
        const bool bChna = std::memcmp(header, "chna", 4) == 0;
        if (bChna || std::memcmp(header, "axml", 4) == 0) {
            const uint64_t cap = bChna ? kChnaMaxBytes : kAdmAxmlMaxBytes;
            if (!bChna) {
                chunks.axmlDeclaredBytes = size;
            }
            // An axml past the cap is not read at all: the reading refuses it by its size.
            const size_t held = bChna || size <= cap
                                    ? static_cast<size_t>(std::min<uint64_t>({size, left, cap}))
                                    : 0;
            std::vector<uint8_t> data(held);
            file.Seek(static_cast<int64_t>(at + 8), CFile::SeekFrom::Begin);
            data.resize(file.Read(data.data(), held));
            (bChna ? chunks.chna : chunks.axml) = std::move(data);
        }
        if (size >= left) {
            break;  // the chunk reaches the end of the file: nothing follows it
        }
        at += 8 + size + (size & 1u);
    }
    return chunks;
}

namespace {

AdmReading ReadModel(const std::vector<uint8_t>& chna, const std::vector<uint8_t>& axml,
                     int channels, uint32_t rate) {
    AdmReading reading;
    if (channels < 1 || channels > 2) {
        reading.refusal = "it holds " + std::to_string(channels) + " channels";
        return reading;
    }
    if (rate == 0) {
        reading.refusal = "its sample rate is 0";
        return reading;
    }
    // The parsed tree takes tens of bytes a node whatever the text: the count of nodes is
    // bounded before any is made.
    const size_t tags = static_cast<size_t>(std::count(axml.begin(), axml.end(), '<'));
    const size_t attributes = static_cast<size_t>(std::count(axml.begin(), axml.end(), '='));
    if (tags > kAdmAxmlMaxTags || attributes > kAdmAxmlMaxAttributes) {
        reading.refusal =
            "its axml chunk holds more than " +
            std::to_string(tags > kAdmAxmlMaxTags ? kAdmAxmlMaxTags : kAdmAxmlMaxAttributes) +
            (tags > kAdmAxmlMaxTags ? " tags" : " attributes") + ", more than Sonomap reads";
        return reading;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(axml.data(), axml.size());
    if (!parsed) {
        reading.refusal =
            std::string("its axml chunk is not well-formed XML (") + parsed.description() + ")";
        return reading;
    }
    const pugi::xml_node model = FindElement(document, "audioFormatExtended");
    if (!model) {
        return reading;  // XML of another kind: no model to take or refuse
    }
    std::map<std::string, pugi::xml_node> packs, channelFormats;
    for (pugi::xml_node pack : ChildrenNamed(model, "audioPackFormat")) {
        packs[pack.attribute("audioPackFormatID").as_string()] = pack;
        if (TypeOf(pack) != "Objects") {
            reading.refusal = "it holds " + TypeOf(pack) + " audio (" +
                              pack.attribute("audioPackFormatID").as_string() + "), not Objects";
            return reading;
        }
    }
    for (pugi::xml_node channel : ChildrenNamed(model, "audioChannelFormat")) {
        channelFormats[channel.attribute("audioChannelFormatID").as_string()] = channel;
        if (TypeOf(channel) != "Objects") {
            reading.refusal = "it holds " + TypeOf(channel) + " audio (" +
                              channel.attribute("audioChannelFormatID").as_string() +
                              "), not Objects";
            return reading;
        }
    }
    const size_t objects = ChildrenNamed(model, "audioObject").size();
    if (objects != static_cast<size_t>(channels)) {
        reading.refusal = "it holds " + std::to_string(objects) + " audio object" +
                          (objects == 1 ? "" : "s") + " for " + ChannelWords(channels) +
                          ", which takes " + std::to_string(channels);
        return reading;
    }
    // The object that plays each pack, for its start and duration.
    std::map<std::string, pugi::xml_node> packObjects;
    for (pugi::xml_node object : ChildrenNamed(model, "audioObject")) {
        for (pugi::xml_node ref : ChildrenNamed(object, "audioPackFormatIDRef")) {
            packObjects.emplace(ref.text().as_string(), object);
        }
    }
    // Each track's pack, as "chna" names it.
    std::map<unsigned, std::string> trackPacks;
    if (chna.size() >= kChnaHeaderBytes) {
        uint16_t entries;
        std::memcpy(&entries, chna.data() + 2, 2);
        const size_t fit = (chna.size() - kChnaHeaderBytes) / kChnaEntryBytes;
        for (size_t i = 0; i < std::min<size_t>(entries, fit); ++i) {
            const uint8_t* entry = chna.data() + kChnaHeaderBytes + kChnaEntryBytes * i;
            uint16_t track;
            std::memcpy(&track, entry, 2);
            if (track != 0) {
                trackPacks.emplace(track, FixedText(entry + 28, 11));
            }
        }
    }
    for (int track = 1; track <= channels; ++track) {
        const auto packId = trackPacks.find(static_cast<unsigned>(track));
        const auto pack = packId != trackPacks.end() ? packs.find(packId->second) : packs.end();
        if (pack == packs.end()) {
            reading.refusal =
                "its chna chunk names no object pack for track " + std::to_string(track);
            return reading;
        }
        const std::vector<pugi::xml_node> refs =
            ChildrenNamed(pack->second, "audioChannelFormatIDRef");
        const auto channel = refs.size() == 1 ? channelFormats.find(refs[0].text().as_string())
                                              : channelFormats.end();
        if (channel == channelFormats.end()) {
            reading.refusal = "its pack " + pack->first + " holds " + std::to_string(refs.size()) +
                              " channels, not one";
            return reading;
        }
        // Metres per unit, as an element or, in older files, an attribute.
        std::optional<double> metresPerUnit;
        const std::vector<pugi::xml_node> distances =
            ChildrenNamed(pack->second, "absoluteDistance");
        const char* distanceText = !distances.empty()
                                       ? distances[0].text().as_string()
                                       : pack->second.attribute("absoluteDistance").as_string();
        if (!distances.empty() || pack->second.attribute("absoluteDistance")) {
            metresPerUnit = NumberOf(distanceText);
            if (!metresPerUnit || *metresPerUnit <= 0) {
                reading.refusal = "its pack " + pack->first +
                                  " has an absoluteDistance that is no distance (\"" +
                                  distanceText + "\")";
                return reading;
            }
        }
        const auto object = packObjects.find(pack->first);
        ObjectSpan span;
        if (object != packObjects.end()) {
            const pugi::xml_attribute start = object->second.attribute("start");
            const pugi::xml_attribute duration = object->second.attribute("duration");
            const std::optional<long double> startSeconds =
                start ? ParseSeconds(start.as_string()) : std::optional<long double>(0.0L);
            const std::optional<long double> durationSeconds =
                duration ? ParseSeconds(duration.as_string()) : std::nullopt;
            const std::optional<uint32_t> startFrame =
                startSeconds ? FrameAt(*startSeconds, rate) : std::nullopt;
            const std::optional<uint32_t> endFrame =
                startSeconds && durationSeconds ? FrameAt(*startSeconds + *durationSeconds, rate)
                                                : std::nullopt;
            if (!startFrame || (duration && !endFrame)) {
                reading.refusal =
                    "the start or duration of " +
                    std::string(object->second.attribute("audioObjectID").as_string()) +
                    " cannot be read";
                return reading;
            }
            span.start = *startFrame;
            span.end = endFrame;
        }
        reading.channels.push_back(
            PlacesOf(channel->second, metresPerUnit, span, rate, reading.refusal));
        // A channel without a block has nowhere to be.
        if (reading.refusal.empty() && reading.channels.back().empty()) {
            reading.refusal = channel->first + " has no audioBlockFormat, so no place";
        }
        if (!reading.refusal.empty()) {
            reading.channels.clear();
            return reading;
        }
    }
    if (channels == 2) {
        const std::vector<AdmPlace>& left = reading.channels[0];
        const std::vector<AdmPlace>& right = reading.channels[1];
        const bool bSameTimes =
            left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(),
                                                      [](const AdmPlace& a, const AdmPlace& b) {
                                                          return a.position == b.position;
                                                      });
        if (!bSameTimes) {
            reading.channels.clear();
            reading.refusal = "its two objects move at different times";
        }
    }
    return reading;
}

}  // namespace

AdmReading ParseAdm(const AdmChunks& chunks, int channels, uint32_t rate) {
    if (chunks.axmlDeclaredBytes > kAdmAxmlMaxBytes) {
        AdmReading reading;
        reading.refusal = "its axml chunk of " + std::to_string(chunks.axmlDeclaredBytes) +
                          " bytes is larger than the " + std::to_string(kAdmAxmlMaxBytes >> 20) +
                          " MiB of XML Sonomap reads";
        return reading;
    }
    if (!chunks.axml) {
        return {};
    }
    return ParseAdm(chunks.chna.value_or(std::vector<uint8_t>()), *chunks.axml, channels, rate);
}

AdmReading ParseAdm(const std::vector<uint8_t>& chna, const std::vector<uint8_t>& axml,
                    int channels, uint32_t rate) {
    AdmReading reading = ReadModel(chna, axml, channels, rate);
    if (!reading.refusal.empty()) {
        reading.channels.clear();  // a refusal part way leaves no half reading
    }
    return reading;
}
