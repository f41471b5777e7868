#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// Directions on the unit sphere cut into triangles: the convex hull of the points, which is
// their spherical Delaunay triangulation. Any direction then lies in one triangle and is
// blended from its three corners with barycentric weights, so a blend moves continuously as
// the direction does and is exactly one point at that point. Directions are unit vectors in
// whatever frame the caller keeps; the points must surround the centre (no half of the sphere
// holds them all), which the caller ensures with points of its own where a set has a gap.
// Immutable after construction; Locate may be called from any thread.
class SphereTriangulation {
  public:
    using Vector = std::array<double, 3>;

    // Up to three points of the list and their weights (summing to 1, none negative); a weight
    // of 0 leaves its point out.
    struct Blend {
        std::array<uint32_t, 3> points{};
        std::array<double, 3> weights{};
        bool operator==(const Blend&) const = default;
    };

    // points: unit vectors, no two the same.
    explicit SphereTriangulation(const std::vector<Vector>& points);

    // False when the points lie in one plane or do not surround the centre; Locate must not
    // be called then.
    bool IsValid() const { return m_bValid; }
    size_t TriangleCount() const { return m_triangles.size(); }

    // The blend of a unit vector: a pure function of it, whatever was asked before.
    Blend Locate(const Vector& direction) const;

  private:
    struct Triangle {
        std::array<uint32_t, 3> corners;
        // Rows of the inverse of the corner matrix: weight i is the dot product with row i.
        std::array<Vector, 3> inverse;
    };

    void BuildHull(const std::vector<Vector>& points);
    void BuildBins(const std::vector<Vector>& points);
    static size_t BinOf(double azimuthDeg, double elevationDeg);

    bool m_bValid = false;
    std::vector<Triangle> m_triangles;
    // Triangles that may hold a direction of each 5-degree cell of azimuth and elevation.
    std::vector<std::vector<uint32_t>> m_bins;
};
