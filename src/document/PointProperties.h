#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CTesselDoc;
struct PanPoint;

// One pan point's exact values as the Point Properties dialog and the keyboard edit them:
// where it may go (between its neighbours, within the sound), the checks of what the user
// typed with the message for each refusal, and the change as one undo step. The point must
// be in the document's list, and both outlive this object. Positions are frames, pans whole
// degrees.
class PointProperties {
  public:
    // A typed value, checked: the value, or the message that says what is wrong.
    template <typename T>
    struct Checked {
        std::optional<T> value;
        std::string error;
    };

    PointProperties(CTesselDoc& document, PanPoint& point);

    uint32_t Position() const;
    int Pan() const;
    uint32_t SampleRate() const;
    // The positions the point may take; its own always among them. Its neighbours bound it
    // one frame short of their own positions (a neighbour at the same frame, at that frame),
    // and the sound's end bounds it.
    uint32_t Lowest() const { return m_lowest; }
    uint32_t Highest() const { return m_highest; }
    // position, kept within Lowest() ... Highest().
    uint32_t Clamp(int64_t position) const;

    // "m:ss.mmm" of a position.
    std::string TimeOf(uint32_t position) const;
    Checked<uint32_t> CheckFrames(const std::string& text) const;
    Checked<uint32_t> CheckTime(const std::string& text) const;
    Checked<int> CheckPan(const std::string& text) const;

    // Gives the point these values as one Modify step; the document counts as modified.
    // False (and no step) when they are the point's own, or out of bounds.
    bool Apply(uint32_t position, int pan);

  private:
    Checked<uint32_t> CheckRange(uint64_t position) const;

    CTesselDoc& m_doc;
    PanPoint& m_point;
    uint32_t m_lowest = 0;
    uint32_t m_highest = 0;
};
