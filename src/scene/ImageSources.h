#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "document/Acoustics.h"

// The image sources of a shoebox room: every path by which a source's sound reaches the
// listener off the walls, up to an order (the number of reflections), as plain data: where
// the image stands and how much of the sound's pressure the walls leave it. A pure function of
// the room and the source, so it can be held against other models of the same room.
//
// Positions are metres in the room's axes (x across from the left wall, y from the back wall
// to the front, z up from the floor). A wall's energy absorption a leaves sqrt(1 - a) of the
// pressure at each reflection off it.
class ImageSources {
  public:
    struct Image {
        std::array<int, 3> index{};  // along x, y, z: 0 the source's own cell, odd a mirror
        int order = 0;               // reflections in all
        double damping = 1.0;        // the product of each reflection's sqrt(1 - a)
    };

    // The images up to order of a source anywhere in room: the source itself first (order 0),
    // then by order.
    ImageSources(const Room& room, int order);

    const std::vector<Image>& Images() const { return m_images; }
    // Where image stands for a source at position.
    std::array<double, 3> PositionOf(const Image& image, const std::array<double, 3>& source) const;

  private:
    std::array<double, 3> m_size{};
    std::vector<Image> m_images;
};
