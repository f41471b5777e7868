#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// When the sound that leaves a source along one path is heard, and so, for each heard frame,
// which moment of the source it carries. The delay is the path's length over the speed of
// sound, taken on a grid of emission frames kEdgeFrames apart and straight between them, so a
// moving source's pitch follows from the delay alone. Where the path jumps (two trajectory
// points at one frame, or faster than half the speed of sound), the sound does not sweep to
// the new delay: from the moment the last sound of the old place arrives it fades over
// kFadeSeconds from the old delay, held, to the new. Each heard frame's answer depends on the
// grid alone, so any order and size of calls gives the same values. Frames are of the source's
// rate; positions may be negative or past the source (silence is read there).
class PathTiming {
  public:
    static constexpr int64_t kEdgeFrames = 32;
    static constexpr double kFadeSeconds = 0.01;

    // The path's delay in frames for the sound that leaves at a source frame.
    using Delay = std::function<double(int64_t frame)>;

    // rate: frames per second; longest: no delay of the path is longer (frames); edgeFrames:
    // the grid's spacing (a room's many reflections take a coarser one).
    PathTiming(uint32_t rate, double longest, Delay delay, int64_t edgeFrames = kEdgeFrames);

    // Where heard frame t's sound left: position (frames of the source) and, while a jump
    // fades, the position of the sound it fades from with the new sound's share (0 .. 1). Each
    // comes with the source frame whose place it is heard from: across a jump the sound on
    // either side is read on beyond it with its delay held, but stays at its own side's place.
    struct Emission {
        double position = 0.0;
        double place = 0.0;
        double fading = 0.0;
        double fadingPlace = 0.0;
        float share = 1.0f;  // 1: position alone
    };
    // count heard frames from first into out.
    void Emissions(int64_t first, uint32_t count, Emission* out);
    // A fading frame: its index among those asked, the new sound's share and the old sound's
    // position.
    struct Fade {
        uint32_t frame;
        float share;
        double fading;
    };
    // The positions alone, the same numbers as Emissions' (count doubles into positions), and
    // the frames where a jump fades, in order, into fades (replaced).
    void Positions(int64_t first, uint32_t count, double* positions, std::vector<Fade>& fades);
    // The delay of the sound that leaves at a source frame, in frames.
    double DelayAt(int64_t frame) const { return m_delay(frame); }

  private:
    // The walk both of those take, telling out each frame's answer; runs along one edge's slope
    // come as one call.
    template <typename Out>
    void Walk(int64_t first, uint32_t count, Out& out);
    // Edges lo .. hi exist (made when first asked; a seek back or far ahead starts afresh).
    void Ensure(int64_t lo, int64_t hi);
    double Leaves(int64_t j) const { return static_cast<double>(j * m_edge); }

    int64_t m_edge;
    double m_longest;
    double m_fade;  // frames
    Delay m_delay;
    // Edge k (the sound leaving at frame k * m_edge) is heard at m_heard[k - m_base]; it
    // jumps to the next where m_jump says so.
    std::vector<double> m_heard;
    std::vector<uint8_t> m_jump;
    std::vector<double> m_slope;  // source frames a heard frame, from each edge to the next
    int64_t m_base = 0;
    std::vector<int64_t> m_jumps;  // the edges the path jumps after, in order
    // A jump among the edges: the edge before it, and when its sound arrives.
    struct Found {
        int64_t edge;
        double at;
    };
    std::vector<Found> m_found;  // Emissions' jumps
};
