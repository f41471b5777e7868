#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Record Trajectory as a control: the value being performed while a sound plays, with the
// touch, latch and write states of a pass. Feeders (the pointer on the wave, a lane or the pan
// display; an OSC, MIDI or head-tracker input) touch it, move it and let it go; the transport
// starts and stops it and ticks it with the frame being heard. A pass captures the values at
// the frames heard, hands its sink the latest at each tick, so the edit is heard at once, and
// at its end the fewest samples that keep within kTolerance of what was captured. The control
// knows no document: its sink writes the values somewhere. The sink outlives the control.
//
// Thread rule: the control belongs to the thread that first calls it, the interface thread,
// and every call is made there; a call from another thread stops the program with a message.
// A feeder that runs on another thread never calls it: it pushes its touches, moves and
// releases into the Inbox, a lock-free queue for one feeding thread, which the control drains
// at each tick and stamps with that tick's frame.
//
// Frames; angles in degrees, distance in centimetres.
class TrajectoryControl {
  public:
    // Touch: writes while touched. Latch: after the release holds the last value until
    // playback stops. Write: from where playback started (or the first touch) to the stop.
    enum class Mode { Touch = 0, Latch = 1, Write = 2 };
    // What a pass writes: the pan display's view from above moves azimuth and distance at
    // once (value and second); a whole place (an OSC controller's) moves azimuth, distance and
    // elevation (value, second and third).
    enum class Value { Azimuth, Elevation, Distance, AzimuthAndDistance, Place };
    struct Sample {
        uint32_t frame = 0;
        double value = 0.0;
        double second = 0.0;  // the distance of an AzimuthAndDistance or a Place pass
        double third = 0.0;   // the elevation of a Place pass
    };
    static constexpr double kTolerance = 0.5;

    // The frame being heard now, on the interface thread; none when it cannot be read.
    class Clock {
      public:
        virtual ~Clock() = default;
        virtual std::optional<uint32_t> HeardFrameNow() = 0;
    };

    // Where a pass goes. Calls come in order: begun, captures, ended.
    class Sink {
      public:
        virtual ~Sink() = default;
        // The value the trajectory holds at frame now (a Write pass starts from it).
        virtual Sample ValueAt(Value value, uint32_t frame) const = 0;
        virtual void OnPassBegun(Value value, uint32_t frame) = 0;
        // The latest capture, to be heard at once; frames never go back within a pass.
        virtual void OnCapture(const Sample& latest) = 0;
        // The pass's thinned samples, first and last frame kept: the span it replaces.
        virtual void OnPassEnded(const std::vector<Sample>& kept) = 0;
        // Around passes that make one edit together: a Write take whose value changes (a
        // place performed after playback began a pass of the azimuth) ends one pass and begins
        // the next between the two.
        virtual void OnJoinBegun() {}
        virtual void OnJoinEnded() {}
    };

    // What a feeder on another thread hands over.
    struct Feed {
        enum class Kind : uint8_t { Touch, Move, Release };
        Kind kind = Kind::Move;
        Value value = Value::Azimuth;  // of a touch
        double amount = 0.0;
        double second = 0.0;
        double third = 0.0;
    };
    // A single-producer, single-consumer ring: one feeding thread pushes, the control drains
    // at its ticks. A second feeding thread stops the program, as a call off the interface
    // thread does.
    class Inbox {
      public:
        static constexpr size_t kCapacity = 256;
        // False when full: the feed is dropped, and a touch or a release must be pushed again.
        bool Push(const Feed& feed);

      private:
        friend class TrajectoryControl;
        std::array<Feed, kCapacity> m_feeds{};
        std::atomic<size_t> m_written{0};  // counts, the slot is the count modulo kCapacity
        std::atomic<size_t> m_read{0};
        std::atomic<std::thread::id> m_producer{};
    };

    // What a touch came to: taken (recording is armed and the sound plays), and when taken
    // but not recorded, why not, in words.
    struct Touched {
        bool bTaken = false;
        std::string why;
    };

    explicit TrajectoryControl(Sink& sink) : m_sink(sink) {}
    TrajectoryControl(const TrajectoryControl&) = delete;
    TrajectoryControl& operator=(const TrajectoryControl&) = delete;

    // ---- The transport ----
    // The sound started playing at frame; armed: the mode passes record in, none while
    // recording is off. A Write pass begins here, and a touch still held from a loop's round
    // before goes on. clock must serve until Stopped.
    void Started(uint32_t frame, std::optional<Mode> armed, Clock& clock);
    // Armed (a mode) or disarmed (none) while playing: the next touch records in that mode; a
    // pass in progress ends when disarmed.
    void Arm(std::optional<Mode> armed);
    // A playback tick at the frame heard: the feeds waiting in the inbox, then the latest
    // capture goes to the sink; Latch and Write hold the last value up to frame.
    void Tick(uint32_t frame);
    // The sound stopped at frame (the last heard): the pass ends there.
    void Stopped(uint32_t frame);

    // ---- Feeders, on the interface thread ----
    // Whether a touch now would be taken.
    bool TakesTouch() const { return m_bPlaying && m_armed.has_value(); }
    // value: what the feeder moves; amount (and second) its value now. Azimuths may wrap (179
    // then -179): a pass follows the shorter way round.
    Touched Touch(Value value, double amount, double second = 0.0, double third = 0.0);
    void Move(double amount, double second = 0.0, double third = 0.0);
    // True when a touch of this control ends.
    bool Release();
    Inbox& FeedInbox() { return m_inbox; }
    // A touch, move or release of a feeder on the interface thread that timed it itself (a
    // message stamped as it came), at frame rather than at the frame heard now. Frames never
    // go back within a pass: an earlier one counts as the last.
    void FeedAt(const Feed& feed, uint32_t frame);

    // Whether the place shown lets feeders set elevation and distance (the all-around view).
    void SetAllAround(bool bAllAround) { m_bAllAround = bAllAround; }
    // Why value cannot be recorded as the place is shown, in words; "" when it can.
    std::string WhyNot(Value value) const;

    bool IsTouched() const { return m_bTouched; }
    bool IsInPass() const { return m_bInPass; }

    // The indices of the fewest samples whose straight lines stay within tolerance of every
    // sample, in value and in second alike (first and last always kept), in order.
    static std::vector<size_t> Thin(const std::vector<Sample>& samples, double tolerance);

  private:
    void CheckThread();
    uint32_t FrameNow();
    void Begin(uint32_t frame, Value value, double amount, double second, double third);
    void Capture(uint32_t frame, double amount, double second, double third);
    void Flush();
    void End();
    void Drain();
    // A touch, move or release from the inbox, at the tick's frame.
    void Apply(const Feed& feed);

    Sink& m_sink;
    Inbox m_inbox;
    std::thread::id m_owner{};
    Clock* m_pClock = nullptr;
    std::optional<uint32_t> m_stamp;  // the frame of the tick draining the inbox
    uint32_t m_lastFrame = 0;
    bool m_bPlaying = false;
    std::optional<Mode> m_armed;
    bool m_bAllAround = false;
    // The feeder's hold: what it moves and its latest value, kept across a loop's rounds.
    bool m_bTouched = false;
    Value m_touchValue = Value::Azimuth;
    Sample m_latest;
    // The value performed last: a Write pass goes on with it while it can be shown.
    Value m_lastValue = Value::Azimuth;
    bool m_bInPass = false;
    Mode m_passMode = Mode::Touch;
    Value m_passValue = Value::Azimuth;
    bool m_bPending = false;  // a capture the sink has not had
    bool m_bJoined = false;   // the pass's end ends a join
    std::vector<Sample> m_samples;
};
