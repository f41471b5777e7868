// A shoebox room's image sources held against pyroomacoustics' image-source model (0.10.1,
// libroom built from its sources): the same room, listener, source and walls give the same
// paths, each its length and the pressure its walls leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "scene/ImageSources.h"

namespace {

struct Path {
    double metres;
    double damping;
    int order;
};

// pyroomacoustics' images for a source at azimuth 40, elevation 10, 2 m from a listener at
// (2.2, 1.7, 1.4) in a 6 x 4 x 3 m room, max_order 2, sorted by length: room.sources[0].images
// less the microphone, .damping and .orders. Its floats are single precision.
const Path kEvenWalls[] = {
    {1.999999939, 1.000000000, 0},  {3.358410647, 0.836660087, 1}, {3.466598221, 0.836660028, 1},
    {3.712796685, 0.836660028, 1},  {4.392746924, 0.700000048, 2}, {4.589529555, 0.700000048, 2},
    {5.081331305, 0.836660087, 1},  {5.816977849, 0.700000048, 2}, {5.873771421, 0.836660087, 1},
    {5.966974719, 0.700000048, 2},  {5.986020695, 0.699999988, 2}, {6.463753787, 0.700000107, 2},
    {6.520438979, 0.836660087, 1},  {6.520620689, 0.700000048, 2}, {6.622612447, 0.700000107, 2},
    {6.645867570, 0.699999988, 2},  {6.654776493, 0.700000048, 2}, {7.056560550, 0.700000107, 2},
    {7.108686795, 0.700000048, 2},  {7.231941921, 0.700000048, 2}, {7.504739754, 0.700000107, 2},
    {8.020975786, 0.700000107, 2},  {9.599010494, 0.700000107, 2}, {10.845041887, 0.700000107, 2},
    {13.356087226, 0.700000107, 2},
};
// The same with 0.1 on x = 0 and 0.9 on x = W.
const Path kUnevenWalls[] = {
    {1.999999939, 1.000000000, 0},  {3.358410647, 0.836660087, 1}, {3.466598221, 0.836660028, 1},
    {3.712796685, 0.836660028, 1},  {4.392746924, 0.700000048, 2}, {4.589529555, 0.700000048, 2},
    {5.081331305, 0.836660087, 1},  {5.816977849, 0.700000048, 2}, {5.873771421, 0.948683262, 1},
    {5.966974719, 0.700000048, 2},  {5.986020695, 0.699999988, 2}, {6.463753787, 0.793725431, 2},
    {6.520438979, 0.316227794, 1},  {6.520620689, 0.793725371, 2}, {6.622612447, 0.700000107, 2},
    {6.645867570, 0.699999988, 2},  {6.654776493, 0.793725371, 2}, {7.056560550, 0.264575183, 2},
    {7.108686795, 0.264575154, 2},  {7.231941921, 0.264575154, 2}, {7.504739754, 0.793725431, 2},
    {8.020975786, 0.264575183, 2},  {9.599010494, 0.700000107, 2}, {10.845041887, 0.300000012, 2},
    {13.356087226, 0.300000012, 2},
};

std::vector<Path> OurPaths(const std::array<double, 6>& absorption) {
    Room room;
    room.width = 6.0;
    room.depth = 4.0;
    room.height = 3.0;
    room.listenerX = 2.2;
    room.listenerY = 1.7;
    room.listenerZ = 1.4;
    room.absorption = absorption;
    const double az = 40.0 * std::numbers::pi / 180.0, el = 10.0 * std::numbers::pi / 180.0;
    const std::array<double, 3> source{2.2 + 2.0 * std::sin(az) * std::cos(el),
                                       1.7 + 2.0 * std::cos(az) * std::cos(el),
                                       1.4 + 2.0 * std::sin(el)};
    const ImageSources images(room, 2);
    std::vector<Path> paths;
    for (const ImageSources::Image& image : images.Images()) {
        const std::array<double, 3> at = images.PositionOf(image, source);
        paths.push_back(
            {std::hypot(at[0] - 2.2, at[1] - 1.7, at[2] - 1.4), image.damping, image.order});
    }
    std::sort(paths.begin(), paths.end(),
              [](const Path& a, const Path& b) { return a.metres < b.metres; });
    return paths;
}

}  // namespace

TEST(ImageSources, EveryPathIsPyroomacousticsOwnWithItsWalls) {
    const struct {
        const char* walls;
        std::array<double, 6> absorption;
        const Path* reference;
        size_t count;
    } rooms[] = {
        {"0.3 everywhere", {0.3, 0.3, 0.3, 0.3, 0.3, 0.3}, kEvenWalls, std::size(kEvenWalls)},
        {"0.1 on x = 0, 0.9 on x = W",
         {0.1, 0.9, 0.3, 0.3, 0.3, 0.3},
         kUnevenWalls,
         std::size(kUnevenWalls)},
    };
    for (const auto& room : rooms) {
        SCOPED_TRACE(room.walls);
        const std::vector<Path> ours = OurPaths(room.absorption);
        ASSERT_EQ(ours.size(), room.count);
        for (size_t i = 0; i < ours.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_NEAR(ours[i].metres, room.reference[i].metres, 1e-6);
            // Paths of one length may come in either order; their walls must agree then too.
            const bool bTie =
                (i > 0 && std::abs(ours[i].metres - ours[i - 1].metres) < 1e-5) ||
                (i + 1 < ours.size() && std::abs(ours[i].metres - ours[i + 1].metres) < 1e-5);
            if (!bTie) {
                EXPECT_NEAR(ours[i].damping, room.reference[i].damping, 1e-6);
                EXPECT_EQ(ours[i].order, room.reference[i].order);
            }
        }
    }
}
