#pragma once

#include <QRgb>
#include <cstdint>
#include <optional>
#include <string>

#include "geometry/Playhead.h"
#include "playback/PlaybackListener.h"

class CTesselDoc;
class OverviewBarFeed;
class PlaybackHost;
class PlaybackSession;
class WaveViewGeometry;
class WaveViewNavigation;
class WaveViewSurface;

// A wave view's part in playing its sound: starting it from the selection, and hearing the
// application's playback to move the playhead, send the live direction and the play position
// to the overview bar, and leave the caret where playing stopped. Listens from construction;
// on destruction its sound stops and it hears nothing more. The view owns it and the view,
// the document, the playback and its host, the navigation and the feed outlive it. Frames.
class WaveViewPlayback : public PlaybackListener {
  public:
    // The playhead: the frame being heard, drawn as a 1-pixel line of this colour over the
    // view's height (and its lanes').
    static constexpr QRgb kPlayheadColour = 0xFF0000FF;

    WaveViewPlayback(WaveViewSurface& view, CTesselDoc& document, PlaybackSession& playback,
                     const PlaybackHost& host, WaveViewNavigation& navigation,
                     OverviewBarFeed& overview);
    ~WaveViewPlayback() override;
    WaveViewPlayback(const WaveViewPlayback&) = delete;
    WaveViewPlayback& operator=(const WaveViewPlayback&) = delete;

    // Plays the selection, or from the caret to the end.
    void Play();

    // Moves the playhead to frame (none: silent), repainting its old and new column or,
    // following playback, paging ahead; the active view also tells the overview bar.
    void ShowPlayPosition(std::optional<uint32_t> frame);
    std::optional<uint32_t> Frame() const { return m_playhead.Frame(); }
    // The playhead's frame while this sound plays, else none.
    std::optional<uint32_t> HeardFrame() const;
    // The line's window column, or none when silent or outside the window.
    std::optional<int> PlayheadX() const;
    // The column the paint draws the line at in geometry, or none; remembered as drawn.
    std::optional<int> PaintColumn(const WaveViewGeometry& geometry);
    void SendPlayPosition();
    // The play position pane's text: empty while this sound is silent.
    std::string PlayReadout() const;

    void OnPlaybackStarted(CTesselDoc& document, uint32_t startFrame) override;
    void OnPlaybackTick(CTesselDoc& document, const PlaybackTick& tick) override;
    void OnPlaybackStopped(CTesselDoc& document, const PlaybackStop& stop) override;

  private:
    void RepaintColumn(std::optional<int> x);

    WaveViewSurface& m_view;
    CTesselDoc& m_doc;
    PlaybackSession& m_playback;
    const PlaybackHost& m_host;
    WaveViewNavigation& m_navigation;
    OverviewBarFeed& m_overview;
    Playhead m_playhead;
    bool m_bRecorded = false;  // a recording pass has written since the last full repaint
    uint32_t m_tickFrame = 0;  // heard at the last tick
};
