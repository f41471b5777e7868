#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The values of a place the all-around view draws, each on a scale of its own.
enum class PlaceValue { Azimuth, Elevation, Distance };

// One vertical scale of the all-around view: the rows of a lane against a value, kept clear of
// the lane's top and bottom 4 rows as the pan axis is. Azimuth runs from -180 at the top
// through 0 (ahead) to 180 (behind) at the bottom, so the front half is the middle half;
// elevation from +90 (up) at the top to -90; distance from 100 m at the top to 0.10 m on a
// log scale, so near and far read alike. Values are whole degrees or centimetres; y counts
// rows of the widget the lane is in. Plain arithmetic, shared by every view that places points.
class PlaceAxis {
  public:
    PlaceAxis(PlaceValue value, int top, int height);

    PlaceValue Value() const { return m_value; }
    int Top() const { return m_top; }
    int Height() const { return m_height; }
    bool Contains(int y) const { return y >= m_top && y < m_top + m_height; }

    // The row of a value (degrees or centimetres), clamped to the scale.
    int YOf(double value) const;
    // The whole value row y stands for, clamped to the scale: azimuth -179 .. 180, elevation
    // -90 .. 90, distance 10 .. 10000 cm.
    int32_t ValueAt(int y) const;
    // The values a press at row y reaches: 4 rows either way and one unit more for the
    // truncations, as the pan axis reaches.
    struct Reach {
        int32_t lowest = 0;
        int32_t highest = 0;
        bool Holds(int32_t value) const { return value >= lowest && value <= highest; }
    };
    Reach ReachAt(int y) const;

    // The scale's marks: a value and its label ("ahead", "+45°", "10 m").
    struct Tick {
        double value = 0.0;
        std::string label;
    };
    std::vector<Tick> Ticks() const;
    // The lane's name as its label shows it.
    std::string Name() const;

    // Two azimuths more than half a circle apart: the trajectory between them passes the
    // back, so a line joining them would cross the whole scale; it breaks at the edge instead.
    static bool CrossesBehind(double azimuthA, double azimuthB);

  private:
    double Fraction(double value) const;  // 0 at the top of the scale, 1 at the bottom

    PlaceValue m_value;
    int m_top;
    int m_height;
};

// Where the all-around view puts its lanes: under the wave, elevation then distance, each
// half of a strip whose rows are counted from its top. The strip grows with the view, a third
// of it, so a tall window gives the lanes rows enough to set values by hand; each lane keeps
// kLaneHeight rows at least.
namespace PlaceLanes {

inline constexpr int kLaneHeight = 56;
inline constexpr int kStripHeight = 2 * kLaneHeight;  // the least

// The strip's rows in a view viewHeight rows tall (the wave's and the lanes' together).
int StripHeight(int viewHeight);
PlaceAxis Lane(PlaceValue value, int stripHeight);
// The lane row y of the strip falls in: Elevation or Distance.
PlaceValue LaneAt(int y, int stripHeight);

}  // namespace PlaceLanes
