#include "scene/Scene.h"

#include <cmath>
#include <cstdio>
#include <numbers>

#include "document/AcousticsChunk.h"
#include "document/CTesselDoc.h"
#include "geometry/TimeText.h"
#include "trajectory/PanPointList.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;

// Where a place puts the sound in room, or none when that lies outside it (on a wall is inside).
bool Inside(const Room& room, const SoundPlace& place, std::array<double, 3>& at) {
    const double az = place.azimuth * kRadians, el = place.elevation * kRadians;
    const double d = place.distanceCm / 100.0;
    at = {room.listenerX + d * std::sin(az) * std::cos(el),
          room.listenerY + d * std::cos(az) * std::cos(el), room.listenerZ + d * std::sin(el)};
    const double size[] = {room.width, room.depth, room.height};
    for (size_t axis = 0; axis < 3; ++axis) {
        if (at[axis] < -1e-9 || at[axis] > size[axis] + 1e-9) {
            return false;
        }
    }
    return true;
}

}  // namespace

SceneSpace SceneSpace::Of(const CTesselDoc& document) {
    SceneSpace space;
    space.acoustics = document.GetAcoustics();
    space.listener.head = document.GetHeadTurn();
    return space;
}

Scene Scene::OfDocument(const CTesselDoc& document) {
    Scene scene;
    SceneSource source;
    source.input = RenderInput::OfDocument(document);
    source.points = &document.GetPanPoints();
    source.name = document.GetTitle();
    scene.sources.push_back(std::move(source));
    scene.space = SceneSpace::Of(document);
    return scene;
}

std::string SceneSpace::Refusal(const PanPointList& points, uint32_t frames, uint32_t rate) const {
    const std::optional<Room>& room = acoustics.room;
    if (!room) {
        return {};
    }
    if (std::string why = RoomProblem(*room); !why.empty()) {
        return "The room cannot be heard: " + why + ".";
    }
    // Every point and every 64th frame between them; the first frame outside is then found
    // between the last inside and the first outside.
    PlaceCursor cursor(points);
    std::array<double, 3> at{};
    const auto outside = [&](uint32_t s) { return !Inside(*room, cursor.At(s), at); };
    constexpr uint32_t kStep = 64;
    uint32_t inside = 0;
    std::optional<uint32_t> found;
    const std::vector<PanPoint> values = points.Values();
    size_t next = 0;
    for (uint32_t s = 0; s <= frames && !found;) {
        if (outside(s)) {
            found = s;
            break;
        }
        inside = s;
        uint32_t step = s + kStep;
        while (next < values.size() && values[next].position <= s) {
            ++next;
        }
        if (next < values.size() && values[next].position < step) {
            step = values[next].position;
        }
        if (s == frames) {
            break;
        }
        s = std::min(step, frames);
    }
    if (!found) {
        return {};
    }
    // The path is smooth between the two: the first frame outside lies between them.
    uint32_t low = inside, high = *found;
    while (high > low + 1) {
        const uint32_t mid = low + (high - low) / 2;
        (outside(mid) ? high : low) = mid;
    }
    if (!outside(high)) {
        high = *found;
        outside(high);  // where it is, for the words
    }
    char text[300];
    std::snprintf(text, sizeof text,
                  "At frame %u (%s) the sound is at x %.2f, y %.2f, z %.2f m, outside the room "
                  "(%g x %g x %g m); a sound in a room stays inside it.",
                  high, TimeText::Precise(high, rate).c_str(), at[0], at[1], at[2], room->width,
                  room->depth, room->height);
    return text;
}
