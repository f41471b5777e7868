#include "trajectory/TrajectoryChunks.h"

#include <algorithm>

#include "trajectory/SoundPlace.h"

namespace {

// Whether the places stand for the pans, point for point: the same frames, and each azimuth
// folding onto its pan as the file stored it.
bool Matches(const PlaceChunkContents& places, const std::vector<PanChunkPoint>& pans) {
    if (places.declaredCount != pans.size() || places.points.size() != pans.size()) {
        return false;
    }
    for (size_t i = 0; i < pans.size(); ++i) {
        const PlaceChunkPoint& stored = places.points[i];
        if (stored.position != pans[i].position || stored.azimuth < -180 ||
            stored.azimuth > kMaxAzimuth ||
            FrontalFold(NormalAzimuth(stored.azimuth)) != pans[i].pan) {
            return false;
        }
    }
    return true;
}

}  // namespace

TrajectoryChunks::Read TrajectoryChunks::Decode(
    const PanChunkContents& pans, const std::optional<std::vector<uint8_t>>& placeBytes,
    bool bBigEndian, uint32_t frameCount) {
    Read read;
    std::optional<PlaceChunkContents> places;
    if (placeBytes) {
        places = ParsePlaceChunk(*placeBytes, bBigEndian);
        read.places = !places                                 ? Places::Damaged
                      : places->version != kPlaceChunkVersion ? Places::OtherVersion
                      : Matches(*places, pans.points)         ? Places::Taken
                                                              : Places::Unmatched;
    }
    read.points.reserve(pans.points.size());
    for (size_t i = 0; i < pans.points.size(); ++i) {
        const PanChunkPoint& pan = pans.points[i];
        if (pan.position > frameCount) {
            continue;  // past the end of the sound: the file was cut since
        }
        if (read.places != Places::Taken) {
            // A pan holds the front only: one past it is held at the edge, not read behind.
            const int32_t held = std::clamp(pan.pan, -kMaxPan, kMaxPan);
            read.bClamped = read.bClamped || held != pan.pan;
            read.points.emplace_back(pan.position, held);
            continue;
        }
        const PlaceChunkPoint& stored = places->points[i];
        const Place place{NormalAzimuth(stored.azimuth), stored.elevation, stored.distanceCm,
                          stored.width};
        const Place within = WithinRange(place);
        read.bClamped = read.bClamped || !(within == place);
        read.points.emplace_back(pan.position, within);
    }
    return read;
}

std::vector<PanChunkPoint> TrajectoryChunks::PansOf(const std::vector<PanPoint>& points) {
    std::vector<PanChunkPoint> pans;
    pans.reserve(points.size());
    for (const PanPoint& point : points) {
        pans.push_back({point.position, point.Pan()});
    }
    return pans;
}

std::vector<PlaceChunkPoint> TrajectoryChunks::PlacesOf(const std::vector<PanPoint>& points) {
    std::vector<PlaceChunkPoint> places;
    places.reserve(points.size());
    for (const PanPoint& point : points) {
        places.push_back({point.position, static_cast<int16_t>(point.azimuth),
                          static_cast<int16_t>(point.elevation),
                          static_cast<uint16_t>(point.distanceCm),
                          static_cast<uint16_t>(point.width)});
    }
    return places;
}
