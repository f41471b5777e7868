#include "document/AcousticsChunk.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

uint32_t Millimetres(double metres) {
    return static_cast<uint32_t>(std::lround(std::clamp(metres, 0.0, 4.0e6) * 1000.0));
}

std::string Metres(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

SpaceChunkContents AcousticsChunk::Encode(const Acoustics& acoustics) {
    SpaceChunkContents contents;
    contents.bDoppler = acoustics.bDoppler;
    contents.bAir = acoustics.bAir;
    if (const std::optional<Room>& room = acoustics.room) {
        SpaceChunkRoom stored;
        stored.sizeMm = {Millimetres(room->width), Millimetres(room->depth),
                         Millimetres(room->height)};
        stored.listenerMm = {Millimetres(room->listenerX), Millimetres(room->listenerY),
                             Millimetres(room->listenerZ)};
        for (size_t wall = 0; wall < 6; ++wall) {
            stored.absorption[wall] = static_cast<uint16_t>(
                std::lround(std::clamp(room->absorption[wall], 0.0, 1.0) * 10000.0));
        }
        stored.order = static_cast<uint16_t>(std::clamp(room->reflections, 0, 65535));
        stored.bTail = room->bTail;
        contents.room = stored;
    }
    return contents;
}

std::optional<Acoustics> AcousticsChunk::Decode(const SpaceChunkContents& contents,
                                                std::string& why) {
    Acoustics acoustics;
    acoustics.bDoppler = contents.bDoppler;
    acoustics.bAir = contents.bAir;
    if (const std::optional<SpaceChunkRoom>& stored = contents.room) {
        Room room;
        room.width = stored->sizeMm[0] / 1000.0;
        room.depth = stored->sizeMm[1] / 1000.0;
        room.height = stored->sizeMm[2] / 1000.0;
        room.listenerX = stored->listenerMm[0] / 1000.0;
        room.listenerY = stored->listenerMm[1] / 1000.0;
        room.listenerZ = stored->listenerMm[2] / 1000.0;
        for (size_t wall = 0; wall < 6; ++wall) {
            room.absorption[wall] = stored->absorption[wall] / 10000.0;
        }
        room.reflections = stored->order;
        room.bTail = stored->bTail;
        why = RoomProblem(room);
        if (!why.empty()) {
            return std::nullopt;
        }
        acoustics.room = room;
    }
    return acoustics;
}

std::string RoomProblem(const Room& room) {
    const double sizes[] = {room.width, room.depth, room.height};
    const char* names[] = {"width", "depth", "height"};
    for (int i = 0; i < 3; ++i) {
        if (!(sizes[i] > 0.0) || sizes[i] > 1000.0) {
            return std::string("the room's ") + names[i] + " of " + Metres(sizes[i]) +
                   " m lies outside more than 0 up to 1000 m";
        }
    }
    const double at[] = {room.listenerX, room.listenerY, room.listenerZ};
    const char* axes[] = {"x", "y", "z"};
    for (int i = 0; i < 3; ++i) {
        if (!(at[i] >= 0.0 && at[i] <= sizes[i])) {
            return std::string("the listener at ") + axes[i] + " " + Metres(at[i]) +
                   " m is outside the room, 0 .. " + Metres(sizes[i]) + " m";
        }
    }
    const char* walls[] = {"x = 0", "x = W", "y = 0", "y = D", "the floor", "the ceiling"};
    for (size_t wall = 0; wall < 6; ++wall) {
        const double alpha = room.absorption[wall];
        if (!(alpha >= 0.01 && alpha <= 1.0)) {
            return std::string("the absorption of ") + walls[wall] + ", " + Metres(alpha) +
                   ", lies outside 0.01 .. 1";
        }
    }
    if (room.reflections < 0 || room.reflections > 12) {
        return "the reflections' order " + std::to_string(room.reflections) +
               " lies outside 0 .. 12";
    }
    return {};
}
