#include "sofa/SphereTriangulation.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace {

using Vector = SphereTriangulation::Vector;

constexpr double kDegrees = 180.0 / std::numbers::pi;
constexpr double kCellDeg = 5.0;
constexpr int kAzimuthCells = 72;
constexpr int kElevationCells = 36;
// A point nearer a face's plane than this is on it, not in front of it: points of a regular
// grid are often exactly coplanar, and rounding must not make one of them see a face.
constexpr double kPlaneTolerance = 1e-10;
// Weights this close to 0 or 1 are rounding of an edge or a corner.
constexpr double kWeightTolerance = 1e-9;

Vector Minus(const Vector& a, const Vector& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vector Cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double Dot(const Vector& a, const Vector& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

double Length(const Vector& a) {
    return std::sqrt(Dot(a, a));
}

Vector Unit(const Vector& a) {
    const double length = Length(a);
    return {a[0] / length, a[1] / length, a[2] / length};
}

double Angle(const Vector& a, const Vector& b) {
    return std::acos(std::clamp(Dot(a, b), -1.0, 1.0));
}

struct Face {
    std::array<uint32_t, 3> corners;
    Vector normal;  // outward, unit
    double offset;  // normal . corner
    bool bAlive;
};

Face MakeFace(const std::vector<Vector>& points, uint32_t a, uint32_t b, uint32_t c) {
    const Vector normal = Unit(Cross(Minus(points[b], points[a]), Minus(points[c], points[a])));
    return {{a, b, c}, normal, Dot(normal, points[a]), true};
}

uint64_t EdgeKey(uint32_t from, uint32_t to) {
    return (static_cast<uint64_t>(from) << 32) | to;
}

}  // namespace

SphereTriangulation::SphereTriangulation(const std::vector<Vector>& points) {
    if (points.size() < 4) {
        return;
    }
    BuildHull(points);
    if (m_bValid) {
        BuildBins(points);
    }
}

// Incremental hull: each point in turn removes the faces it sees and joins the edge of that
// region. A few thousand points take well under a second.
void SphereTriangulation::BuildHull(const std::vector<Vector>& points) {
    const auto count = static_cast<uint32_t>(points.size());
    // A first tetrahedron as large as the points allow.
    uint32_t i1 = 0;
    for (uint32_t i = 1; i < count; ++i) {
        if (Length(Minus(points[i], points[0])) > Length(Minus(points[i1], points[0]))) {
            i1 = i;
        }
    }
    const Vector axis = Minus(points[i1], points[0]);
    uint32_t i2 = 0;
    double best = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const double away = Length(Cross(axis, Minus(points[i], points[0])));
        if (away > best) {
            best = away;
            i2 = i;
        }
    }
    const Vector across = Cross(axis, Minus(points[i2], points[0]));
    uint32_t i3 = 0;
    best = 0.0;
    for (uint32_t i = 0; i < count; ++i) {
        const double away = std::abs(Dot(across, Minus(points[i], points[0])));
        if (away > best) {
            best = away;
            i3 = i;
        }
    }
    if (i1 == 0 || best < 1e-9) {
        return;
    }
    const std::array<uint32_t, 4> start{0, i1, i2, i3};
    Vector inside{};
    for (uint32_t i : start) {
        for (int k = 0; k < 3; ++k) {
            inside[k] += points[i][k] / 4.0;
        }
    }
    std::vector<Face> faces;
    std::unordered_map<uint64_t, uint32_t> edges;  // directed edge -> the face it bounds
    auto addFace = [&](uint32_t a, uint32_t b, uint32_t c) {
        Face face = MakeFace(points, a, b, c);
        if (Dot(face.normal, inside) > face.offset) {
            face = MakeFace(points, a, c, b);
        }
        const auto index = static_cast<uint32_t>(faces.size());
        for (int k = 0; k < 3; ++k) {
            edges[EdgeKey(face.corners[k], face.corners[(k + 1) % 3])] = index;
        }
        faces.push_back(face);
    };
    addFace(start[0], start[1], start[2]);
    addFace(start[0], start[1], start[3]);
    addFace(start[0], start[2], start[3]);
    addFace(start[1], start[2], start[3]);

    std::vector<char> seen;
    std::vector<uint32_t> visible;
    std::vector<std::array<uint32_t, 2>> horizon;
    for (uint32_t p = 0; p < count; ++p) {
        if (std::find(start.begin(), start.end(), p) != start.end()) {
            continue;
        }
        visible.clear();
        seen.assign(faces.size(), 0);
        for (uint32_t f = 0; f < faces.size(); ++f) {
            if (faces[f].bAlive &&
                Dot(faces[f].normal, points[p]) - faces[f].offset > kPlaneTolerance) {
                visible.push_back(f);
                seen[f] = 1;
            }
        }
        horizon.clear();
        for (uint32_t f : visible) {
            const auto& c = faces[f].corners;
            for (int k = 0; k < 3; ++k) {
                const uint32_t a = c[k];
                const uint32_t b = c[(k + 1) % 3];
                const auto twin = edges.find(EdgeKey(b, a));
                if (twin == edges.end()) {
                    return;  // rounding broke the surface; the set stays invalid
                }
                if (seen[twin->second] == 0) {
                    horizon.push_back({a, b});
                }
            }
        }
        for (uint32_t f : visible) {
            faces[f].bAlive = false;
            const auto& c = faces[f].corners;
            for (int k = 0; k < 3; ++k) {
                edges.erase(EdgeKey(c[k], c[(k + 1) % 3]));
            }
        }
        for (const auto& [a, b] : horizon) {
            const auto index = static_cast<uint32_t>(faces.size());
            faces.push_back(MakeFace(points, a, b, p));
            edges[EdgeKey(a, b)] = index;
            edges[EdgeKey(b, p)] = index;
            edges[EdgeKey(p, a)] = index;
        }
    }

    for (const Face& face : faces) {
        if (!face.bAlive) {
            continue;
        }
        // The centre must be well inside every face, or a direction could miss the hull.
        if (face.offset < 1e-6) {
            m_triangles.clear();
            return;
        }
        const Vector& a = points[face.corners[0]];
        const Vector& b = points[face.corners[1]];
        const Vector& c = points[face.corners[2]];
        const double det = Dot(a, Cross(b, c));
        Triangle triangle{face.corners, {}};
        const std::array<Vector, 3> rows{Cross(b, c), Cross(c, a), Cross(a, b)};
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 3; ++j) {
                triangle.inverse[k][j] = rows[k][j] / det;
            }
        }
        m_triangles.push_back(triangle);
    }
    m_bValid = true;
}

size_t SphereTriangulation::BinOf(double azimuthDeg, double elevationDeg) {
    const int row = std::clamp(static_cast<int>(std::floor((elevationDeg + 90.0) / kCellDeg)), 0,
                               kElevationCells - 1);
    int column = static_cast<int>(std::floor((azimuthDeg + 180.0) / kCellDeg)) % kAzimuthCells;
    if (column < 0) {
        column += kAzimuthCells;
    }
    return static_cast<size_t>(row) * kAzimuthCells + static_cast<size_t>(column);
}

// Each triangle goes into every cell its bounding cap may reach, one cell wider all round.
void SphereTriangulation::BuildBins(const std::vector<Vector>& points) {
    m_bins.assign(static_cast<size_t>(kAzimuthCells) * kElevationCells, {});
    for (uint32_t t = 0; t < m_triangles.size(); ++t) {
        const auto& c = m_triangles[t].corners;
        const Vector centre = Unit({points[c[0]][0] + points[c[1]][0] + points[c[2]][0],
                                    points[c[0]][1] + points[c[1]][1] + points[c[2]][1],
                                    points[c[0]][2] + points[c[1]][2] + points[c[2]][2]});
        double radius = 0.0;
        for (uint32_t corner : c) {
            radius = std::max(radius, Angle(centre, points[corner]) * kDegrees);
        }
        const double elevation = std::asin(std::clamp(centre[2], -1.0, 1.0)) * kDegrees;
        const double azimuth = std::atan2(centre[1], centre[0]) * kDegrees;
        const double low = elevation - radius - kCellDeg;
        const double high = elevation + radius + kCellDeg;
        double halfWidth = 180.0;
        const double widest = std::max(std::abs(low), std::abs(high));
        if (widest < 89.0 && radius < 89.0) {
            const double ratio = std::sin(radius / kDegrees) / std::cos(widest / kDegrees);
            if (ratio < 1.0) {
                halfWidth = std::asin(ratio) * kDegrees + kCellDeg;
            }
        }
        const int firstRow = std::max(0, static_cast<int>(std::floor((low + 90.0) / kCellDeg)));
        const int lastRow =
            std::min(kElevationCells - 1, static_cast<int>(std::floor((high + 90.0) / kCellDeg)));
        const int columns = halfWidth >= 180.0
                                ? kAzimuthCells
                                : static_cast<int>(std::ceil(2.0 * halfWidth / kCellDeg)) + 2;
        for (int row = firstRow; row <= lastRow; ++row) {
            const double rowElevation = -90.0 + (row + 0.5) * kCellDeg;
            for (int k = 0; k < std::min(columns, kAzimuthCells); ++k) {
                const double at = halfWidth >= 180.0 ? -180.0 + (k + 0.5) * kCellDeg
                                                     : azimuth - halfWidth + k * kCellDeg;
                auto& bin = m_bins[BinOf(at, rowElevation)];
                if (bin.empty() || bin.back() != t) {
                    bin.push_back(t);
                }
            }
        }
    }
}

SphereTriangulation::Blend SphereTriangulation::Locate(const Vector& direction) const {
    const double elevation = std::asin(std::clamp(direction[2], -1.0, 1.0)) * kDegrees;
    const double azimuth = std::atan2(direction[1], direction[0]) * kDegrees;
    const std::vector<uint32_t>& bin = m_bins[BinOf(azimuth, elevation)];
    // The first triangle that holds the direction; on an edge both hold it with the same
    // weights, so the order of the cell decides only between equals.
    const Triangle* pBest = nullptr;
    std::array<double, 3> bestWeights{};
    double bestLeast = -1e300;
    auto consider = [&](const Triangle& triangle) {
        std::array<double, 3> w{};
        for (int k = 0; k < 3; ++k) {
            w[k] = Dot(triangle.inverse[k], direction);
        }
        const double least = std::min({w[0], w[1], w[2]});
        if (w[0] + w[1] + w[2] > 0.0 && least > bestLeast) {
            bestLeast = least;
            bestWeights = w;
            pBest = &triangle;
        }
        return least >= -kWeightTolerance;
    };
    bool bFound = false;
    for (uint32_t t : bin) {
        if (consider(m_triangles[t])) {
            bFound = true;
            break;
        }
    }
    if (!bFound) {
        for (const Triangle& triangle : m_triangles) {
            if (consider(triangle)) {
                break;
            }
        }
    }
    Blend blend;
    if (pBest == nullptr) {
        return blend;
    }
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
        bestWeights[k] = std::max(bestWeights[k], 0.0);
        sum += bestWeights[k];
    }
    for (int k = 0; k < 3; ++k) {
        blend.points[k] = pBest->corners[k];
        const double w = bestWeights[k] / sum;
        blend.weights[k] = w < kWeightTolerance ? 0.0 : (w > 1.0 - kWeightTolerance ? 1.0 : w);
    }
    sum = blend.weights[0] + blend.weights[1] + blend.weights[2];
    for (double& w : blend.weights) {
        w /= sum;
    }
    return blend;
}
