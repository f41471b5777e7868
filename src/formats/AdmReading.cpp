// The reading half of AdmMetadata.h: finding the chunks in a WAV file, and the places their
// model puts each channel at. The writing half is AdmMetadata.cpp.
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
