#include "scene/ImageSources.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Reflections off the low wall (0) and the high wall (size) of one axis for an image index:
// index 1 is the mirror in the high wall, -1 in the low one, 2 the mirror of -1 in the high
// one, and so on.
std::array<int, 2> Hits(int index) {
    const int half = std::abs(index) / 2;
    const int odd = std::abs(index) % 2;
    return index >= 0 ? std::array<int, 2>{half, half + odd} : std::array<int, 2>{half + odd, half};
}

}  // namespace

ImageSources::ImageSources(const Room& room, int order)
    : m_size{room.width, room.depth, room.height} {
    order = std::clamp(order, 0, 64);
    std::array<double, 6> pressure{};
    for (size_t wall = 0; wall < 6; ++wall) {
        pressure[wall] = std::sqrt(std::clamp(1.0 - room.absorption[wall], 0.0, 1.0));
    }
    for (int n = 0; n <= order; ++n) {
        for (int i = -n; i <= n; ++i) {
            for (int j = -(n - std::abs(i)); j <= n - std::abs(i); ++j) {
                // The last index takes what is left, either way (once when nothing is left).
                const int rest = n - std::abs(i) - std::abs(j);
                const int ends[2] = {-rest, rest};
                for (int pick = 0; pick < (rest == 0 ? 1 : 2); ++pick) {
                    const int k = ends[pick];
                    Image image;
                    image.index = {i, j, k};
                    image.order = n;
                    const std::array<int, 3> along{i, j, k};
                    for (size_t axis = 0; axis < 3; ++axis) {
                        const std::array<int, 2> hits = Hits(along[axis]);
                        image.damping *= std::pow(pressure[2 * axis], hits[0]) *
                                         std::pow(pressure[2 * axis + 1], hits[1]);
                    }
                    m_images.push_back(image);
                }
            }
        }
    }
}

std::array<double, 3> ImageSources::PositionOf(const Image& image,
                                               const std::array<double, 3>& source) const {
    std::array<double, 3> at{};
    for (size_t axis = 0; axis < 3; ++axis) {
        const int n = image.index[axis];
        // An even index shifts the source by whole room sizes; an odd one mirrors it.
        const double own = n % 2 == 0 ? source[axis] : m_size[axis] - source[axis];
        at[axis] = n * m_size[axis] + own;
    }
    return at;
}
