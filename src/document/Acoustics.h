#pragma once

#include <array>
#include <optional>

// A shoebox room, in metres: x runs across from the left wall (x = 0) to the right (x =
// width), y from the back wall (y = 0) to the front (y = depth), z up from the floor. The
// listener sits at (listenerX, listenerY, listenerZ), facing +y. Each wall takes the energy
// absorption coefficient of its own (0.01 .. 1): x = 0, x = width, y = 0, y = depth, the
// floor and the ceiling.
struct Room {
    double width = 6.0;
    double depth = 4.0;
    double height = 3.0;
    double listenerX = 3.0;
    double listenerY = 2.0;
    double listenerZ = 1.2;
    std::array<double, 6> absorption{0.3, 0.3, 0.3, 0.3, 0.3, 0.3};
    int reflections = 3;  // the image sources' order, 0 .. 12
    bool bTail = true;    // the late, diffuse tail after them

    bool operator==(const Room&) const = default;
};

// What sound meets on its way from a source to the listener, as a document or a render
// chooses it. All off is the dry point in free field that every render gave before: the
// distance law and nothing else, heard at the moment it leaves.
struct Acoustics {
    bool bDoppler = false;  // each arrival delayed by its path over the speed of sound
    bool bAir = false;      // ISO 9613-1 absorption along each path
    std::optional<Room> room;

    bool IsDry() const { return !bDoppler && !bAir && !room; }
    bool operator==(const Acoustics&) const = default;
};
