#pragma once

#include <cstdint>
#include <optional>

// The "no direction" value of a live pan.
inline constexpr int kNoLivePan = 0xFFFF;

// What the application needs of the view that plays, to stop it: the view's own timer, the
// live direction it shows and its caret. The wave view implements it; positions are frames.
class PlayingView {
  public:
    virtual ~PlayingView() = default;

    virtual void StopPlaybackTimer() = 0;
    // Sends the overview bar, when the view knows one, the live direction (or none).
    virtual void SendLivePan(int pan) = 0;
    virtual bool ShowsCaret() const = 0;
    // Erases the caret if it is drawn and puts it at frame.
    virtual void PlaceCaret(uint32_t frame) = 0;
    // The frame being heard, about 30 times a second while the view's sound plays; none once
    // it has stopped or played out.
    virtual void ShowPlayPosition(std::optional<uint32_t> /*frame*/) {}
};
