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
    // The whole place: azimuth -180 ... 180 (-180 read as 180), elevation -90 ... 90 and width
    // 0 ... 180 in whole degrees; distance in metres with decimals, 0.10 ... 100, given back in
    // centimetres.
    Checked<int> CheckAzimuth(const std::string& text) const;
    Checked<int> CheckElevation(const std::string& text) const;
    Checked<uint32_t> CheckDistance(const std::string& text) const;
    Checked<int> CheckWidth(const std::string& text) const;
    // The point's values as they stand.
    const PanPoint& Place() const { return m_point; }
    // Width spreads two channels: a mono sound has none to spread.
    bool IsStereo() const;
    // What the dialog offers: the whole place (azimuth, elevation, distance, width) for a 3-D
    // trajectory or from the all-around view, else the direction on the front half-circle.
    void SetAllAroundView(bool bAllAround) { m_bAllAroundView = bAllAround; }
    bool ShowsPlace() const;

    // Gives the point these values as one Modify step; the document counts as modified.
    // False (and no step) when they are the point's own, or out of bounds.
    bool Apply(uint32_t position, int pan);
    // The same with the whole place of place (its position is not read).
    bool Apply(uint32_t position, const PanPoint& place);

  private:
    Checked<uint32_t> CheckRange(uint64_t position) const;

    CTesselDoc& m_doc;
    PanPoint& m_point;
    uint32_t m_lowest = 0;
    uint32_t m_highest = 0;
    bool m_bAllAroundView = false;
};
