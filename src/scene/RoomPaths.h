#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "document/Acoustics.h"
#include "scene/Arrival.h"
#include "scene/ImageSources.h"
#include "scene/LateTail.h"
#include "scene/Listener.h"
#include "scene/PathTiming.h"
#include "trajectory/SoundPlace.h"

class PanPointList;

// What a shoebox room adds to a source's direct sound: its reflections, one arrival per image
// source up to the room's order, each with its own delay, gain, direction and walls, moving
// with the source; and the late tail that takes over where the images end. The reflections'
// delays are their paths' lengths over the speed of sound (less the direct path's when the
// direct sound is heard undelayed, so they keep their distance behind it), read between
// samples in a straight line between eighths of a frame made once for all of them by the
// 16-tap interpolator, which keeps a click's energy within 1 dB; a moving source's
// reflections shift in pitch as their paths change. They carry the sound's channels mixed to
// one. Frames are of the source's rate; the points are borrowed and outlive this. One thread.
class RoomPaths {
  public:
    // The reflections' delays are taken this many frames apart, four times the direct sound's
    // spacing: a quarter of the timing work for every path, and a delay's bend between two of
    // them stays far below a frame on any path a source can take in a room (a source circling
    // at 1 m at 20 m/s bends its delay by a twentieth of a frame at 48 kHz).
    static constexpr int64_t kGridFrames = 128;

    // The source's frames mixed to one channel: count frames from first, silence outside the
    // sound (first may be negative).
    using MonoReader = std::function<void(int64_t first, uint32_t count, float* out)>;
    // Runs work(0) and work(1), on two threads where it may: parts of Prepare's work that
    // touch nothing in common.
    using Parts = std::function<void(const std::function<void(int part)>& work)>;

    // bDelayed: the direct sound is heard its path's length late (Doppler).
    RoomPaths(const Room& room, const PanPointList& points, uint32_t rate, const Listener& listener,
              bool bDelayed);
    ~RoomPaths();

    size_t Count() const { return m_paths.size(); }
    // Where a place of the trajectory stands in the room (metres).
    std::array<double, 3> PositionOf(const SoundPlace& place) const;
    // The longest delay any reflection can have, in frames.
    double LongestDelay() const { return m_longest; }
    // The largest gain any reflection gives.
    double LargestGain() const;

    // Reflection k heard at a frame. Two threads may ask at once, of disjoint paths, with lanes
    // 0 and 1, as for HearPath.
    Arrival At(uint64_t heard, size_t k, int lane = 0);
    // The same arrival as a unit vector of the head's axes (x ahead, y left, z up) into unit,
    // its gain returned: without angles, so without their trigonometry.
    double DirectionAt(uint64_t heard, size_t k, int lane, double* unit);
    // Prepare reads the source for heard frames [first, first + count), once for every path;
    // then HearPath hears path k's signal for frames [from, from + n) among them into out. Two
    // threads may hear disjoint paths at once, one with lane 0 and one with lane 1, and ask At of
    // them for frames up to beyond past the block, while nothing else is asked of this.
    void Prepare(const MonoReader& read, uint64_t first, uint32_t count, uint32_t beyond = 0,
                 const Parts& parts = {});
    void HearPath(size_t k, uint64_t from, uint32_t n, int lane, float* out);
    // The late tail (none when the room has none): outputs decorrelated signals, outputs floats
    // a frame.
    bool HasTail() const { return m_pTail != nullptr; }
    void HearTail(const MonoReader& read, uint64_t first, uint32_t count, int outputs, float* out);

    void Invalidate();

  private:
    struct Path {
        ImageSources::Image image;
        std::unique_ptr<PathTiming> timing;
    };
    // The source's place at a whole source frame, held at either end.
    std::array<double, 3> SourceAt(int64_t frame);
    // Where the source stood at a source frame (a fraction of one too) for the sound heard
    // now: between the emission grid's frames where Prepare made them, else the lane's cursor.
    std::array<double, 3> SourceNear(double place, int lane);
    // The emission grid holds its frames j0 .. j1 (frames j * kGridFrames), the
    // new ones made in two parts.
    void FillGrid(int64_t j0, int64_t j1, const Parts& parts = {});
    // Where grid frame j, held, is kept.
    size_t GridAt(int64_t j) const { return m_gridFirst + static_cast<size_t>(j - m_gridBase); }
    bool GridHolds(int64_t j) const {
        return j >= m_gridBase && j < m_gridBase + static_cast<int64_t>(m_gridCount);
    }
    // The length of image's path for the sound leaving at a source frame (metres).
    double PathMetres(size_t k, int64_t frame);
    // Path k's length for a source at a position (metres), less the direct sound's (shorter,
    // when not every path is delayed by its own length).
    double MetresFrom(size_t k, const std::array<double, 3>& source, double shorter) const;
    double ShorterBy(const std::array<double, 3>& source) const;
    Arrival ArrivalOf(const ImageSources::Image& image, const std::array<double, 3>& source) const;

    Room m_room;
    uint32_t m_rate;
    Listener m_listener;
    bool m_bDelayed;
    ImageSources m_images;
    std::vector<Path> m_paths;
    double m_longest = 0.0;
    std::unique_ptr<LateTail> m_pTail;
    std::array<PlaceCursor, 2> m_places;   // for the grid of delays, a part's each
    std::array<PlaceCursor, 2> m_arrived;  // for the arrivals asked, a lane's each
    // Source positions on the emission grid, kept for the frames every path asks for.
    // Grid frame m_gridBase is kept at m_gridFirst, then m_gridCount frames in order.
    std::vector<std::array<double, 3>> m_grid;
    std::vector<double> m_gridMetres;  // each grid frame's every path's length, in path order
    size_t m_gridFirst = 0;
    size_t m_gridCount = 0;
    // Each path's image along x, then y, then z: its shift and whether it is mirrored (< 0).
    std::vector<double> m_shift, m_mirrored;
    int64_t m_gridBase = 0;
    // The source at eighths of a frame, from source frame m_upFirst on (m_upFrames frames):
    // every path reads it in a straight line between eighths. Kept from block to block.
    std::vector<float> m_up;
    size_t m_upStart = 0;  // where in m_up frame m_upFirst's eighths begin
    int64_t m_upFirst = 0;
    int64_t m_upFrames = 0;
    std::vector<float> m_source;
    struct Lane {
        std::vector<double> positions;
        std::vector<PathTiming::Fade> fades;
    };
    std::array<Lane, 2> m_lanes;
};
