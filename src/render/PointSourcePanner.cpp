#include "render/PointSourcePanner.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <stdexcept>

#include "render/SpeakerLayout.h"

namespace {

// x to the right, y ahead, z up.
struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;
};

Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(double s, Vec3 a) {
    return {s * a.x, s * a.y, s * a.z};
}
double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 Direction(double azimuth, double elevation) {
    const double az = azimuth * std::numbers::pi / 180.0;
    const double el = elevation * std::numbers::pi / 180.0;
    return {std::sin(az) * std::cos(el), std::cos(az) * std::cos(el), std::sin(el)};
}

// Room for the loudspeakers a panner works with: the layout's, the virtual ones and the poles.
constexpr size_t kMaxSpeakers = 64;

// VBAP over three loudspeakers: p = g0 a + g1 b + g2 c is solved through the inverse of the
// matrix of a, b, c, whose columns are the cross products over the determinant.
struct Triplet {
    std::array<size_t, 3> speakers{};
    std::array<Vec3, 3> inverse{};

    Triplet(std::array<size_t, 3> which, Vec3 a, Vec3 b, Vec3 c) : speakers(which) {
        const double determinant = Dot(a, Cross(b, c));
        inverse = {(1 / determinant) * Cross(b, c), (1 / determinant) * Cross(c, a),
                   (1 / determinant) * Cross(a, b)};
    }

    // Unit-energy gains when p lies within the three (a hair's breadth outside counts).
    bool Pan(Vec3 p, std::array<double, 3>& gains) const {
        for (size_t k = 0; k < 3; ++k) {
            gains[k] = Dot(p, inverse[k]);
            if (gains[k] < -1e-11) {
                return false;
            }
        }
        const double norm = std::hypot(gains[0], gains[1], gains[2]);
        for (double& gain : gains) {
            gain = std::clamp(gain / norm, 0.0, 1.0);
        }
        return true;
    }
};

// The corners in order around axis, which points through the polygon they make.
std::vector<size_t> AroundAxis(const std::vector<size_t>& corners,
                               const std::vector<Vec3>& positions, Vec3 axis) {
    Vec3 centre;
    for (const size_t k : corners) {
        centre = centre + positions[k];
    }
    centre = (1.0 / static_cast<double>(corners.size())) * centre;
    const Vec3 u = positions[corners[0]] - centre;
    const Vec3 v = Cross(axis, u);
    std::vector<std::pair<double, size_t>> angles;
    for (const size_t k : corners) {
        const Vec3 r = positions[k] - centre;
        angles.push_back({std::atan2(Dot(r, v), Dot(r, u)), k});
    }
    std::sort(angles.begin(), angles.end());
    std::vector<size_t> ordered;
    for (const auto& [angle, k] : angles) {
        ordered.push_back(k);
    }
    return ordered;
}

// The root within [0, 1] of c2 x^2 + c1 x + c0, if any (a hair outside counts, clamped).
std::optional<double> UnitRoot(double c2, double c1, double c0) {
    const double scale = std::max({std::abs(c2), std::abs(c1), std::abs(c0)});
    std::array<double, 2> roots{};
    size_t count = 0;
    if (std::abs(c2) <= 1e-12 * scale) {
        if (c1 != 0) {
            roots[count++] = -c0 / c1;
        }
    } else {
        double discriminant = c1 * c1 - 4 * c2 * c0;
        if (discriminant < 0 && discriminant > -1e-10 * scale * scale) {
            discriminant = 0;
        }
        if (discriminant >= 0) {
            const double q = -0.5 * (c1 + std::copysign(std::sqrt(discriminant), c1));
            roots[count++] = q / c2;
            if (q != 0) {
                roots[count++] = c0 / q;
            }
        }
    }
    for (size_t k = 0; k < count; ++k) {
        if (roots[k] > -1e-10 && roots[k] < 1 + 1e-10) {
            return std::clamp(roots[k], 0.0, 1.0);
        }
    }
    return std::nullopt;
}

// Four loudspeakers in a plane, a b c d around it. p is placed at x along a-b (and d-c) and y
// along a-d (and b-c): x is where the plane through the origin and the points at x on a-b and
// on d-c holds p, a quadratic in x; y likewise. The gains are the bilinear weights.
struct Quad {
    std::array<size_t, 4> speakers{};
    std::array<Vec3, 4> corners{};
    std::array<Vec3, 3> xTerms{};  // p . xTerms[k] is the coefficient of x^(2-k)
    std::array<Vec3, 3> yTerms{};

    static std::array<Vec3, 3> Terms(Vec3 a, Vec3 b, Vec3 c, Vec3 d) {
        return {Cross(b - a, c - d), Cross(a, c - d) + Cross(b - a, d), Cross(a, d)};
    }

    Quad(std::array<size_t, 4> which, const std::vector<Vec3>& positions) : speakers(which) {
        for (size_t k = 0; k < 4; ++k) {
            corners[k] = positions[which[k]];
        }
        const auto& [a, b, c, d] = corners;
        xTerms = Terms(a, b, c, d);
        yTerms = Terms(b, c, d, a);
    }

    bool Pan(Vec3 p, std::array<double, 4>& gains) const {
        const std::optional<double> x =
            UnitRoot(Dot(p, xTerms[0]), Dot(p, xTerms[1]), Dot(p, xTerms[2]));
        const std::optional<double> y =
            UnitRoot(Dot(p, yTerms[0]), Dot(p, yTerms[1]), Dot(p, yTerms[2]));
        if (!x || !y) {
            return false;
        }
        gains = {(1 - *x) * (1 - *y), *x * (1 - *y), *x * *y, (1 - *x) * *y};
        Vec3 towards;
        for (size_t k = 0; k < 4; ++k) {
            towards = towards + gains[k] * corners[k];
        }
        if (Dot(towards, p) <= 0) {
            return false;
        }
        const double norm = std::sqrt(gains[0] * gains[0] + gains[1] * gains[1] +
                                      gains[2] * gains[2] + gains[3] * gains[3]);
        for (double& gain : gains) {
            gain /= norm;
        }
        return true;
    }
};

// The loudspeakers around a virtual one at a pole, fanned into triangles with it; what the
// pole would get goes to each of them at 1/sqrt(n), so the fan's edge pans as a pair would.
struct PoleFan {
    std::vector<size_t> speakers;  // in order around the pole
    std::vector<Triplet> triangles;
    double share = 0;
};

// Points on the unit sphere whose hull facets are wanted: each facet as the set of its
// corners (sorted), coplanar triangles merged.
std::vector<std::vector<size_t>> HullFacets(const std::vector<Vec3>& points) {
    constexpr double kFlat = 1e-5;
    std::vector<std::vector<size_t>> facets;
    const size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = i + 1; j < n; ++j) {
            for (size_t k = j + 1; k < n; ++k) {
                Vec3 normal = Cross(points[j] - points[i], points[k] - points[i]);
                const double length = std::sqrt(Dot(normal, normal));
                if (length < 1e-9) {
                    continue;
                }
                normal = (1 / length) * normal;
                const double offset = Dot(normal, points[i]);
                bool bAbove = false;
                bool bBelow = false;
                std::vector<size_t> onPlane;
                for (size_t m = 0; m < n; ++m) {
                    const double height = Dot(normal, points[m]) - offset;
                    bAbove = bAbove || height > kFlat;
                    bBelow = bBelow || height < -kFlat;
                    if (std::abs(height) <= kFlat) {
                        onPlane.push_back(m);
                    }
                }
                if (!(bAbove && bBelow) &&
                    std::find(facets.begin(), facets.end(), onPlane) == facets.end()) {
                    facets.push_back(onPlane);
                }
            }
        }
    }
    return facets;
}

}  // namespace

// The panning loudspeakers are the layout's own (LFE aside, in layout order), then the virtual
// ones filling the layers, each folded into the middle loudspeaker below or above it, then the
// poles.
struct PointSourcePanner::Regions {
    std::vector<size_t> channels;  // layout channel of each real loudspeaker
    std::vector<size_t> foldInto;  // real loudspeaker of each virtual layer loudspeaker
    std::vector<PoleFan> fans;
    std::vector<Triplet> triplets;
    std::vector<Quad> quads;
    size_t speakerCount = 0;  // real, layer and poles together

    explicit Regions(const SpeakerLayout& layout);
    // Unnormalised gains of the panning loudspeakers for direction p; false when no region
    // holds it.
    bool Pan(Vec3 p, double* gains) const;
};

PointSourcePanner::Regions::Regions(const SpeakerLayout& layout) {
    std::vector<Vec3> positions;
    std::vector<const Loudspeaker*> real;
    bool bTopSpeaker = false;
    for (size_t c = 0; c < layout.ChannelCount(); ++c) {
        const Loudspeaker& speaker = layout.Speakers()[c];
        if (!speaker.bLfe) {
            channels.push_back(c);
            real.push_back(&speaker);
            positions.push_back(Direction(speaker.azimuth, speaker.elevation));
            bTopSpeaker = bTopSpeaker || speaker.label == "T+000" || speaker.label == "UH+180";
        }
    }
    // A layer (upper 10 ... 70 degrees, lower -70 ... -10) gets a virtual loudspeaker above or
    // below each middle one lying 40 degrees or more beyond the layer's widest azimuth, at the
    // layer's mean elevation; an empty layer gets one over every middle loudspeaker at +-30.
    for (const double sign : {-1.0, 1.0}) {
        double widest = -1;
        double elevationSum = 0;
        size_t count = 0;
        for (const Loudspeaker* speaker : real) {
            const double e = sign * speaker->elevation;
            if (e >= 10 && e <= 70) {
                widest = std::max(widest, std::abs(speaker->azimuth));
                elevationSum += speaker->elevation;
                ++count;
            }
        }
        const double limit = count == 0 ? 0.0 : widest + 40;
        const double elevation = count == 0 ? sign * 30 : elevationSum / static_cast<double>(count);
        for (size_t k = 0; k < real.size(); ++k) {
            if (std::abs(real[k]->elevation) <= 10 && std::abs(real[k]->azimuth) >= limit - 1e-5) {
                foldInto.push_back(k);
                positions.push_back(Direction(real[k]->azimuth, elevation));
            }
        }
    }
    // A virtual loudspeaker straight below, and straight above unless the layout has one
    // there or one high behind that may stand overhead.
    std::vector<size_t> poles{positions.size()};
    positions.push_back({0, 0, -1});
    if (!bTopSpeaker) {
        poles.push_back(positions.size());
        positions.push_back({0, 0, 1});
    }
    speakerCount = positions.size();
    if (speakerCount > kMaxSpeakers) {
        throw std::logic_error("layout has too many loudspeakers to pan over");
    }

    const std::vector<std::vector<size_t>> facets = HullFacets(positions);
    for (const size_t pole : poles) {
        std::vector<size_t> around;
        for (const std::vector<size_t>& facet : facets) {
            if (std::find(facet.begin(), facet.end(), pole) != facet.end()) {
                for (const size_t k : facet) {
                    if (k != pole && std::find(around.begin(), around.end(), k) == around.end()) {
                        around.push_back(k);
                    }
                }
            }
        }
        PoleFan fan;
        fan.speakers = AroundAxis(around, positions, positions[pole]);
        fan.share = 1 / std::sqrt(static_cast<double>(around.size()));
        for (size_t k = 0; k < fan.speakers.size(); ++k) {
            const size_t a = fan.speakers[k];
            const size_t b = fan.speakers[(k + 1) % fan.speakers.size()];
            fan.triangles.emplace_back(std::array{a, b, pole}, positions[a], positions[b],
                                       positions[pole]);
        }
        fans.push_back(std::move(fan));
    }
    for (const std::vector<size_t>& facet : facets) {
        if (std::any_of(facet.begin(), facet.end(), [&](size_t k) {
                return std::find(poles.begin(), poles.end(), k) != poles.end();
            })) {
            continue;
        }
        if (facet.size() == 3) {
            triplets.emplace_back(std::array{facet[0], facet[1], facet[2]}, positions[facet[0]],
                                  positions[facet[1]], positions[facet[2]]);
        } else if (facet.size() == 4) {
            // On the unit sphere, a facet's centre points through it.
            Vec3 centre;
            for (const size_t k : facet) {
                centre = centre + positions[k];
            }
            const std::vector<size_t> order = AroundAxis(facet, positions, centre);
            quads.emplace_back(std::array{order[0], order[1], order[2], order[3]}, positions);
        } else {
            throw std::logic_error("layout hull has a facet of more than four loudspeakers");
        }
    }
}

bool PointSourcePanner::Regions::Pan(Vec3 p, double* gains) const {
    std::fill(gains, gains + speakerCount, 0.0);
    for (const PoleFan& fan : fans) {
        for (const Triplet& triangle : fan.triangles) {
            std::array<double, 3> g;
            if (triangle.Pan(p, g)) {
                gains[triangle.speakers[0]] = g[0];
                gains[triangle.speakers[1]] = g[1];
                for (const size_t k : fan.speakers) {
                    gains[k] += g[2] * fan.share;
                }
                return true;
            }
        }
    }
    for (const Triplet& triplet : triplets) {
        std::array<double, 3> g;
        if (triplet.Pan(p, g)) {
            for (size_t k = 0; k < 3; ++k) {
                gains[triplet.speakers[k]] = g[k];
            }
            return true;
        }
    }
    for (const Quad& quad : quads) {
        std::array<double, 4> g;
        if (quad.Pan(p, g)) {
            for (size_t k = 0; k < 4; ++k) {
                gains[quad.speakers[k]] = g[k];
            }
            return true;
        }
    }
    return false;
}

PointSourcePanner::PointSourcePanner(const SpeakerLayout& layout)
    : m_channelCount(layout.ChannelCount()) {
    if (layout.Name() == "0+2+0") {
        m_pFiveZero = std::make_unique<PointSourcePanner>(*SpeakerLayout::Find("0+5+0"));
        for (size_t c = 0; c < layout.ChannelCount(); ++c) {
            (layout.Speakers()[c].label == "M+030" ? m_left : m_right) = c;
        }
    } else {
        m_pRegions = std::make_unique<const Regions>(layout);
    }
}

PointSourcePanner::~PointSourcePanner() = default;

void PointSourcePanner::CalculateGains(double azimuth, double elevation, double* gains) const {
    std::fill(gains, gains + m_channelCount, 0.0);
    if (m_pFiveZero) {
        // 0+5+0's gains folded down as ITU-R BS.775 does, but with the centre at 1/sqrt(3) to
        // keep its direction rather than its power; then from 0 dB ahead to -3 dB behind by
        // how far the source leans to the back.
        double five[6];
        m_pFiveZero->CalculateGains(azimuth, elevation, five);
        const double left = five[0] + five[2] / std::sqrt(3.0) + five[4] / std::sqrt(2.0);
        const double right = five[1] + five[2] / std::sqrt(3.0) + five[5] / std::sqrt(2.0);
        const double front = std::max({five[0], five[1], five[2]});
        const double back = std::max(five[4], five[5]);
        const double level = std::pow(0.5, 0.5 * back / (front + back)) / std::hypot(left, right);
        gains[m_left] = left * level;
        gains[m_right] = right * level;
        return;
    }
    const Regions& regions = *m_pRegions;
    double panned[kMaxSpeakers];
    if (!regions.Pan(Direction(azimuth, std::clamp(elevation, -90.0, 90.0)), panned)) {
        return;
    }
    const size_t realCount = regions.channels.size();
    for (size_t k = 0; k < regions.foldInto.size(); ++k) {
        panned[regions.foldInto[k]] += panned[realCount + k];
    }
    double energy = 0;
    for (size_t k = 0; k < realCount; ++k) {
        energy += panned[k] * panned[k];
    }
    const double scale = 1 / std::sqrt(energy);
    for (size_t k = 0; k < realCount; ++k) {
        gains[regions.channels[k]] = panned[k] * scale;
    }
}
