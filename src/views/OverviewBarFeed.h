#pragma once

#include <QPointer>
#include <cstdint>
#include <optional>

#include "trajectory/SoundPlace.h"

class CTesselDoc;
class QObject;
class WaveSelection;
class WaveViewGeometry;

// A wave view's side of the overview bar: what the view shows, the live direction and the play
// position, each sent to the bar as its event. The bar is kept from the last feed, and may go
// at any time; with none known nothing is sent. The view owns this; the document, the
// geometry and the selection outlive it.
class OverviewBarFeed {
  public:
    OverviewBarFeed(const CTesselDoc& document, const WaveViewGeometry& geometry,
                    const WaveSelection& selection)
        : m_doc(document), m_geometry(geometry), m_selection(selection) {}

    // Tells bar the sound, the selection, the frames in the window and the place at the
    // caret, and keeps the bar. While the sound is not playing (bPlaying false) the bar shows
    // no live direction.
    void Feed(QObject* bar, bool bPlaying);
    // Degrees, or kNoLivePan.
    void SendLivePan(int pan);
    // In the all-around view: the place heard (a drag, playback), or none.
    void SendLivePlace(std::optional<SoundPlace> place);
    // The frame being heard, or none while this sound is silent.
    void SendPlayPosition(std::optional<uint32_t> frame);
    QObject* Bar() const { return m_bar; }

  private:
    const CTesselDoc& m_doc;
    const WaveViewGeometry& m_geometry;
    const WaveSelection& m_selection;
    QPointer<QObject> m_bar;
};
