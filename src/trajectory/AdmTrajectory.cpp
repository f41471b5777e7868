#include "trajectory/AdmTrajectory.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "geometry/HeadRotation.h"
#include "trajectory/PanPointList.h"
#include "trajectory/PlaceThinning.h"
#include "trajectory/SoundPlace.h"
#include "trajectory/TrajectoryCursor.h"

namespace {

// Block counts aim this far inside the limits, so frames rounded at block edges keep within.
constexpr double kLimitShare = 0.9;

// Rounded, within a range that keeps the rounding defined for any value a file holds.
int64_t Whole(double value) {
    return static_cast<int64_t>(std::llround(std::clamp(value, -1e9, 1e9)));
}

using PlaceThinning::TimedPlace;
using PlaceThinning::TurnBetween;

SoundPlace PlaceOf(const PanPoint& point) {
    return {static_cast<double>(point.azimuth), static_cast<double>(point.elevation),
            static_cast<double>(point.distanceCm), static_cast<double>(point.width)};
}

bool IsStill(const SoundPlace& a, const SoundPlace& b) {
    return TurnBetween(a, b) < 1e-9 && a.distanceCm == b.distanceCm && a.width == b.width;
}

// Where the blocks of the stretch of frames from .. to (to > from), from a to b, end: each
// block as long as its turn and distance factor allow. A stereo channel stands half the
// width from the direction, so it turns by at most the direction's turn and half the change
// of width. The distance changes in a straight line, so the blocks grow with it.
std::vector<uint32_t> BlockEnds(const SoundPlace& a, const SoundPlace& b, uint32_t from,
                                uint32_t to) {
    if (IsStill(a, b)) {
        return {to};
    }
    const double turn = TurnBetween(a, b) + std::abs(b.width - a.width) / 2.0;
    const double turnStep =
        turn > 0 ? AdmTrajectory::kMaxBlockTurnDegrees * kLimitShare / turn : 1.0;
    const double factor = 1.0 + (AdmTrajectory::kMaxBlockDistanceFactor - 1.0) * kLimitShare;
    const double change = b.distanceCm - a.distanceCm;
    std::vector<uint32_t> ends;
    // Each block ends at the last whole frame its limits allow (one frame at the least).
    for (uint32_t end = from; end < to;) {
        const double t = static_cast<double>(end - from) / (to - from);
        const double distance = a.distanceCm + change * t;
        double step = turnStep;
        if (change > 0) {
            step = std::min(step, distance * (factor - 1.0) / change);
        } else if (change < 0) {
            step = std::min(step, distance * (1.0 - 1.0 / factor) / -change);
        }
        const double reach = std::floor(from + (to - from) * std::min(1.0, t + step));
        end = static_cast<uint32_t>(std::clamp<double>(reach, end + 1.0, to));
        ends.push_back(end);
    }
    return ends;
}

AdmPlace ChannelPlace(const SoundPlace& place, uint16_t channel, uint16_t channels,
                      uint32_t position) {
    // The left channel to the left of the direction, the right one to the right.
    const double offset = channels == 2 ? (channel == 0 ? -0.5 : 0.5) * place.width : 0.0;
    return {position, HeadTurn::Wrap(place.azimuth + offset), place.elevation, place.distanceCm};
}

}  // namespace

namespace AdmTrajectory {

std::vector<std::vector<AdmBlock>> ChannelBlocks(const PanPointList& points, uint32_t frameCount,
                                                 uint16_t channels, const HeadTurn& head) {
    std::vector<std::vector<AdmBlock>> blocks(channels);
    if (points.IsEmpty()) {
        return blocks;
    }
    const std::vector<PanPoint> values = points.Values();
    TrajectoryCursor cursor(points, frameCount, TrajectoryCursor::Mode::AllAround);
    const HeadRotation turn = HeadRotation::Of(head);
    auto heard = [&](SoundPlace place) {
        if (!head.IsStraight()) {
            const Heading heading = turn.Hears({place.azimuth, place.elevation});
            place.azimuth = heading.azimuth;
            place.elevation = heading.elevation;
        }
        return place;
    };
    auto add = [&](uint32_t start, uint32_t end, const SoundPlace& place, bool bJump) {
        const SoundPlace at = heard(place);
        for (uint16_t channel = 0; channel < channels; ++channel) {
            blocks[channel].push_back({start, end - start,
                                       ChannelPlace(at, channel, channels, bJump ? start : end),
                                       bJump});
        }
    };
    // A still stretch lengthens a block of no length before it (the start, or a step).
    auto hold = [&](uint32_t end) {
        for (std::vector<AdmBlock>& channel : blocks) {
            channel.back().length = end - channel.back().start;
            if (!channel.back().bJump) {
                channel.back().place.position = end;
            }
        }
    };
    SoundPlace here = *cursor.At(0);
    add(0, 0, here, false);
    size_t next = 0;
    while (next < values.size() && values[next].position == 0) {
        ++next;
    }
    for (uint32_t from = 0; from < frameCount;) {
        const bool bPoint = next < values.size() && values[next].position <= frameCount;
        const uint32_t to = bPoint ? values[next].position : frameCount;
        const SoundPlace arrival = bPoint ? PlaceOf(values[next]) : *cursor.At(to);
        if (blocks[0].back().length == 0 && IsStill(here, arrival)) {
            hold(to);
        } else {
            uint32_t start = from;
            for (const uint32_t end : BlockEnds(here, arrival, from, to)) {
                // The stretch's end arrives at the first point of that frame.
                add(start, end, end < to ? *cursor.At(end) : arrival, false);
                start = end;
            }
        }
        here = arrival;
        size_t last = next;
        while (last < values.size() && values[last].position == to) {
            ++last;
        }
        if (bPoint && last - next >= 2) {
            here = PlaceOf(values[last - 1]);
            add(to, to, here, true);
        }
        next = last;
        from = to;
    }
    return blocks;
}

std::string HeadNote(const HeadTurn& head) {
    if (head.IsStraight()) {
        return {};
    }
    char text[200];
    std::snprintf(text, sizeof text,
                  "Places as heard by a listener whose head is turned yaw %g, pitch %g, roll %g "
                  "degrees (yaw + right, pitch + up, roll + right ear down).",
                  head.yaw, head.pitch, head.roll);
    return text;
}

std::vector<PanPoint> PointsOf(const std::vector<std::vector<AdmPlace>>& channels) {
    std::vector<PanPoint> points;
    if (channels.empty()) {
        return points;
    }
    std::vector<TimedPlace> places;
    for (size_t i = 0; i < channels[0].size(); ++i) {
        const AdmPlace& first = channels[0][i];
        TimedPlace timed{first.position, {first.azimuth, first.elevation, first.distanceCm, 0.0}};
        if (channels.size() == 2 && i < channels[1].size()) {
            const AdmPlace& second = channels[1][i];
            // The right channel stands clockwise of the left by the width.
            double width = std::fmod(second.azimuth - first.azimuth + 720.0, 360.0);
            width = std::min(width, static_cast<double>(kMaxWidth));
            timed.place = {HeadTurn::Wrap(first.azimuth + width / 2.0),
                           (first.elevation + second.elevation) / 2.0,
                           (first.distanceCm + second.distanceCm) / 2.0, width};
        }
        timed.place.azimuth = HeadTurn::Wrap(timed.place.azimuth);
        places.push_back(timed);
    }
    // The hold to the sound's end repeats the last place: the trajectory holds it anyway.
    while (places.size() >= 2 &&
           places.back().place.azimuth == places[places.size() - 2].place.azimuth &&
           places.back().place.elevation == places[places.size() - 2].place.elevation &&
           places.back().place.distanceCm == places[places.size() - 2].place.distanceCm &&
           places.back().place.width == places[places.size() - 2].place.width) {
        places.pop_back();
    }
    const std::vector<bool> keep = PlaceThinning::Keep(places, kThinningDegrees);
    for (size_t i = 0; i < places.size(); ++i) {
        if (!keep[i]) {
            continue;
        }
        const SoundPlace& place = places[i].place;
        PanPoint point;
        point.position = places[i].position;
        SetAzimuth(point, Whole(place.azimuth));
        point.elevation = static_cast<int32_t>(
            std::clamp<int64_t>(Whole(place.elevation), -kMaxElevation, kMaxElevation));
        point.distanceCm = static_cast<uint32_t>(
            std::clamp<int64_t>(Whole(place.distanceCm), kNearestDistanceCm, kFarthestDistanceCm));
        point.width = static_cast<int32_t>(Whole(place.width));
        points.push_back(point);
    }
    auto samePlace = [](const PanPoint& a, const PanPoint& b) {
        return static_cast<const Place&>(a) == static_cast<const Place&>(b);
    };
    while (points.size() >= 2 && samePlace(points.back(), points[points.size() - 2])) {
        points.pop_back();
    }
    if (points.size() >= 2 && points[0].position == 0 && points[1].position > 0 &&
        samePlace(points[0], PanPoint{})) {
        points.erase(points.begin());
    }
    return points;
}

}  // namespace AdmTrajectory
