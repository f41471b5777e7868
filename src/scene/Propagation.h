#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "scene/AirAbsorption.h"
#include "scene/Arrival.h"
#include "scene/PathTiming.h"
#include "scene/RoomPaths.h"
#include "scene/Scene.h"
#include "trajectory/TrajectoryCursor.h"

class PanPointList;

// The one stage between a source and every renderer: it turns the source, block by block, into
// what reaches the listener (arrivals: a direction as the head hears it, a gain, and the
// signal as it arrives, delayed and filtered by the path). A renderer asks it for the arrival at
// its own edges and for the signal of the frames it renders, and places that; none works out a
// distance, a delay or a direction of its own.
//
// Dry (no Doppler, no air) the listener hears each frame as it leaves: the arrival is the
// trajectory's place with the distance law as the gain, walked by the cursor in the mode asked
// (the frontal mode's stepped pan included), and the signal is the source's own frames. Wet,
// the places are walked all around; with Doppler each frame is heard its path's length over the
// speed of sound after it leaves (read between samples, so the pitch follows), the render grows
// by what is still on its way at the end, and the arrival is the place the heard sound left
// from; with air the signal goes through the air's absorption for the path's length, taken per
// kAirBlockFrames heard frames.
//
// Frames are of the source's rate: source frames where the sound leaves, heard frames where it
// arrives (the same numbers when dry). The points are borrowed and outlive the stage; one
// thread at a time.
class Propagation {
  public:
    static constexpr double kSpeedOfSound = 343.0;  // metres per second
    static constexpr uint32_t kAirBlockFrames = 256;

    struct Setup {
        uint32_t rate = 0;  // the source's frames per second
        TrajectoryCursor::Mode mode = TrajectoryCursor::Mode::AllAround;  // when dry
        SceneSpace space;
    };

    // The source's frames: count frames from first (channels floats a frame, of the renderer's
    // own scale and form), silence for frames the source does not have.
    using Reader = std::function<void(uint32_t first, uint32_t count, float* out)>;

    Propagation(const PanPointList& points, uint32_t sourceFrames, const Setup& setup);
    ~Propagation();
    Propagation(const Propagation&) = delete;
    Propagation& operator=(const Propagation&) = delete;

    bool IsDry() const { return m_acoustics.IsDry(); }
    // The direct sound's signal is the source's own frames (no delay, Doppler or air on it).
    bool HearsSourceAsIs() const { return !m_acoustics.bDoppler && !m_acoustics.bAir; }
    const Acoustics& GetAcoustics() const { return m_acoustics; }
    bool HasPoints() const;
    bool IsFrontal() const { return m_cursor.IsFrontal(); }
    // The dry cursor's mode (a wet stage, or one heard by a turned head, walks all around
    // whatever is asked).
    void SetMode(TrajectoryCursor::Mode mode);
    uint32_t SourceFrames() const { return m_sourceFrames; }
    // The frames a render of the whole source lasts: the source's, and with Doppler what is
    // still on its way when the source ends.
    uint64_t HeardFrames() const { return m_heardFrames; }

    // The largest gain any arrival can give the source's samples: the distance law at its
    // nearest point (or the 1 m the walk starts from), and where the signal is read between
    // samples or filtered, the most that can add.
    double LargestGain() const;

    // The arrival heard at a frame; none when the trajectory has no point.
    std::optional<Arrival> At(uint64_t heard);
    // The run of heard frames from heard, at most maxFrames (at least 1) long, as the cursor
    // gives runs: in the frontal mode each holds one stepped direction; all around it is as
    // long as asked. None without points.
    std::optional<ArrivalRun> Run(uint64_t heard, uint32_t maxFrames);

    // count heard frames from first of the signal (channels floats a frame, as read gives
    // them) into out. Dry it is read's frames themselves.
    void Hear(const Reader& read, int channels, uint64_t first, uint32_t count, float* out);

    // ---- In a room ----
    // Beside the direct sound, a room's reflections: each an arrival of its own, with its own
    // signal (the sound's channels mixed to one); none without a room.
    size_t Reflections() const;
    // lane: as for HearReflection.
    Arrival ReflectionAt(uint64_t heard, size_t k, int lane = 0);
    // The same as a unit vector of the head's axes (x ahead, y left, z up) into unit, its gain
    // returned.
    double ReflectionToward(uint64_t heard, size_t k, int lane, double* unit);
    // A room's reflections heard in parts: PrepareReflections reads the source for heard frames
    // [first, first + count); then HearReflection hears reflection k's signal (the sound's
    // channels mixed to one), count frames from among them, into out. Two threads may hear
    // disjoint reflections at once (lanes 0 and 1): nothing else may be asked of the stage
    // meanwhile but the tail, and ReflectionAt for up to beyond frames past the block.
    // parts: as RoomPaths::Prepare takes it, to share its work.
    void PrepareReflections(const Reader& read, int channels, uint64_t first, uint32_t count,
                            uint32_t beyond, const RoomPaths::Parts& parts = {});
    void HearReflection(size_t k, uint64_t from, uint32_t count, int lane, float* out);
    // Whether every reflection is silent from heard frame first on: the sound ended longer ago
    // than any path is long (the tail goes on).
    bool ReflectionsEnded(uint64_t first) const;
    // The room's late tail: outputs decorrelated signals at the diffuse field's level, outputs
    // floats a frame, into out.
    bool HasTail() const;
    void HearTail(const Reader& read, int channels, uint64_t first, uint32_t count, int outputs,
                  float* out);
    // Whether the stage adds a room's reflections or tail.
    bool HasRoom() const { return m_pRoom != nullptr; }

    // The trajectory changed: nothing walked so far is trusted.
    void Invalidate();

  private:
    // The arrival of a place on the direct path.
    Arrival ArrivalOf(const SoundPlace& place) const;
    // The direct path's length in cm at a source frame (between frames, straight between
    // theirs), read by cursor.
    static double PathCm(double frame, PlaceCursor& cursor);
    // The gain of the sound that left at a source frame.
    double GainAt(double frame);

    const PanPointList& m_points;
    uint32_t m_sourceFrames;
    uint32_t m_rate;
    Listener m_listener;
    Acoustics m_acoustics;
    TrajectoryCursor m_cursor;
    PlaceCursor m_emitted;                  // the places the heard sound left from
    PlaceCursor m_timed;                    // the places the grid of delays is taken at
    std::unique_ptr<PathTiming> m_pTiming;  // with Doppler
    std::unique_ptr<AirAbsorption> m_pAir;  // with air
    std::unique_ptr<RoomPaths> m_pRoom;     // in a room
    // The source mixed to one channel for the room, from read: frames may lie before or past it.
    void ReadMono(const Reader& read, int channels, int64_t first, uint32_t count, float* out);
    std::vector<float> m_monoScratch;
    uint64_t m_heardFrames;
    double m_longestCm = kDefaultDistanceCm;  // the longest path any point puts the source on
    // Scratch of Hear.
    std::vector<float> m_source;
    std::vector<float> m_planar;   // the window, a channel after another
    std::vector<float> m_delayed;  // the heard frames, a channel after another
    std::vector<PathTiming::Emission> m_emissions;
    std::vector<float> m_filtered;  // a block through the air
};
