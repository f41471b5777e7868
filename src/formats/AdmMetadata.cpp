#include "formats/AdmMetadata.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <pugixml.hpp>

namespace {

constexpr size_t kChnaEntryBytes = 40;
constexpr size_t kChnaHeaderBytes = 4;
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
// The HOA object's formats, of type 0004; k counts its channels from 1 in ACN order.
std::string HoaPackId() {
    return "AP_00041001";
}
std::string HoaChannelId(unsigned k) {
    return Numbered("AC_0004%04X", 0x1000 + k);
}
std::string HoaStreamId(unsigned k) {
    return Numbered("AS_0004%04X", 0x1000 + k);
}
std::string HoaTrackFormatId(unsigned k) {
    return Numbered("AT_0004%04X_01", 0x1000 + k);
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

// The PCM stream and track formats that carry channel format channelId on track format trackId.
void AddPcmFormats(pugi::xml_node model, const std::string& name, const std::string& channelId,
                   const std::string& streamId, const std::string& trackId) {
    pugi::xml_node stream = model.append_child("audioStreamFormat");
    stream.append_attribute("audioStreamFormatID") = streamId.c_str();
    stream.append_attribute("audioStreamFormatName") = ("PCM_" + name).c_str();
    stream.append_attribute("formatLabel") = "0001";
    stream.append_attribute("formatDefinition") = "PCM";
    AddRef(stream, "audioChannelFormatIDRef", channelId);
    AddRef(stream, "audioTrackFormatIDRef", trackId);

    pugi::xml_node track = model.append_child("audioTrackFormat");
    track.append_attribute("audioTrackFormatID") = trackId.c_str();
    track.append_attribute("audioTrackFormatName") = ("PCM_" + name).c_str();
    track.append_attribute("formatLabel") = "0001";
    track.append_attribute("formatDefinition") = "PCM";
    AddRef(track, "audioStreamFormatIDRef", streamId);
}

void AddTrackUid(pugi::xml_node model, unsigned n, uint32_t rate, uint16_t bits,
                 const std::string& trackId, const std::string& packId) {
    pugi::xml_node uid = model.append_child("audioTrackUID");
    uid.append_attribute("UID") = TrackUid(n).c_str();
    uid.append_attribute("sampleRate") = rate;
    uid.append_attribute("bitDepth") = bits;
    AddRef(uid, "audioTrackFormatIDRef", trackId);
    AddRef(uid, "audioPackFormatIDRef", packId);
}

// The HOA object on the tracks after firstTrack - 1: one channel format a harmonic, each with
// one block that lasts the whole object.
void AddHoaObject(pugi::xml_node model, pugi::xml_node content, const AdmHoaObject& hoa,
                  unsigned objectNumber, unsigned firstTrack, uint32_t rate, uint16_t bits,
                  const std::string& end) {
    const auto count = static_cast<unsigned>((hoa.order + 1) * (hoa.order + 1));
    AddRef(content, "audioObjectIDRef", ObjectId(objectNumber));
    pugi::xml_node object = model.append_child("audioObject");
    object.append_attribute("audioObjectID") = ObjectId(objectNumber).c_str();
    object.append_attribute("audioObjectName") = hoa.name.c_str();
    object.append_attribute("start") = "00:00:00.00000";
    object.append_attribute("duration") = end.c_str();
    AddRef(object, "audioPackFormatIDRef", HoaPackId());
    for (unsigned k = 0; k < count; ++k) {
        AddRef(object, "audioTrackUIDRef", TrackUid(firstTrack + k));
    }

    pugi::xml_node pack = model.append_child("audioPackFormat");
    pack.append_attribute("audioPackFormatID") = HoaPackId().c_str();
    pack.append_attribute("audioPackFormatName") = hoa.name.c_str();
    pack.append_attribute("typeLabel") = "0004";
    pack.append_attribute("typeDefinition") = "HOA";
    for (unsigned k = 1; k <= count; ++k) {
        AddRef(pack, "audioChannelFormatIDRef", HoaChannelId(k));
    }
    pack.append_child("normalization").text().set("SN3D");

    for (unsigned k = 1; k <= count; ++k) {
        // ACN: index k - 1 is order l, degree m with k - 1 = l (l + 1) + m.
        const auto l = static_cast<int>(std::sqrt(static_cast<double>(k - 1)));
        const int m = static_cast<int>(k - 1) - l * (l + 1);
        const std::string name = hoa.name + " " + std::to_string(l) + "," + std::to_string(m);
        pugi::xml_node channel = model.append_child("audioChannelFormat");
        channel.append_attribute("audioChannelFormatID") = HoaChannelId(k).c_str();
        channel.append_attribute("audioChannelFormatName") = name.c_str();
        channel.append_attribute("typeLabel") = "0004";
        channel.append_attribute("typeDefinition") = "HOA";
        pugi::xml_node block = channel.append_child("audioBlockFormat");
        block.append_attribute("audioBlockFormatID") =
            (Numbered("AB_0004%04X_", 0x1000 + k) + "00000001").c_str();
        block.append_child("order").text().set(l);
        block.append_child("degree").text().set(m);
        block.append_child("normalization").text().set("SN3D");
        AddPcmFormats(model, name, HoaChannelId(k), HoaStreamId(k), HoaTrackFormatId(k));
        AddTrackUid(model, firstTrack + k - 1, rate, bits, HoaTrackFormatId(k), HoaPackId());
    }
}

}  // namespace

std::vector<uint8_t> BuildChnaChunk(uint16_t channels, int hoaOrder) {
    const auto hoa = static_cast<uint16_t>(hoaOrder > 0 ? (hoaOrder + 1) * (hoaOrder + 1) : 0);
    const auto tracks = static_cast<uint16_t>(channels + hoa);
    std::vector<uint8_t> chunk(kChnaHeaderBytes + kChnaEntryBytes * tracks, 0);
    std::memcpy(chunk.data(), &tracks, 2);
    std::memcpy(chunk.data() + 2, &tracks, 2);
    for (uint16_t n = 1; n <= tracks; ++n) {
        uint8_t* entry = chunk.data() + kChnaHeaderBytes + kChnaEntryBytes * (n - 1);
        const bool bHoa = n > channels;
        std::memcpy(entry, &n, 2);
        std::memcpy(entry + 2, TrackUid(n).data(), 12);
        std::memcpy(entry + 14, (bHoa ? HoaTrackFormatId(n - channels) : TrackFormatId(n)).data(),
                    14);
        std::memcpy(entry + 28, (bHoa ? HoaPackId() : PackId(n)).data(), 11);
    }
    return chunk;
}

std::vector<uint8_t> BuildAxmlChunk(const std::vector<std::vector<AdmBlock>>& channels,
                                    const std::string& title, uint32_t rate, uint16_t bits,
                                    uint32_t frameCount, const std::vector<AdmObjectSpan>* objects,
                                    const AdmHoaObject* hoa, const std::string& note) {
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

        AddPcmFormats(model, name, ChannelId(n), StreamId(n), TrackFormatId(n));
        AddTrackUid(model, n, rate, bits, TrackFormatId(n), PackId(n));
    }
    if (hoa != nullptr && hoa->order > 0) {
        const auto after = static_cast<unsigned>(channels.size()) + 1;
        AddHoaObject(model, content, *hoa, after, after, rate, bits, end);
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
