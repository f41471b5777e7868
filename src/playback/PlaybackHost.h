#pragma once

#include <cstdint>
#include <memory>

#include "trevant/trevant.h"

class Mixer;
class SofaSetChoice;
class SpeakerLayout;
class TrackedHead;
class UserPrompts;

// What the one playback needs of the application: the mixer and its session, the user, and
// the choices that shape a play. CEditorApp is the host; the host outlives the playback.
class PlaybackHost {
  public:
    virtual ~PlaybackHost() = default;

    // Makes sure a session for the rate's class is open; every failure is shown to the user
    // and leaves none (GetMixerSession() is then 0). Rates in Hz.
    virtual void OpenMixerSession(uint32_t rate) = 0;
    virtual AmbrelWaveMixSession GetMixerSession() const = 0;
    virtual Mixer& GetMixer() const = 0;
    // Shows one OK box for a non-zero mixer code.
    virtual void ReportMixerError(int code) = 0;
    virtual UserPrompts& Prompts() = 0;
    // A playback has started: the host tells the user how it sounds.
    virtual void AnnouncePlayback() = 0;
    // Cursor Follows Playback: a stop reports where it stopped.
    virtual bool IsCursorFollow() const = 0;
    // Play Through Stereo Export Filter: plays what Export Stereo File writes.
    virtual bool IsPlayThroughFilter() const = 0;
    // Play Through Binaural Renderer: plays what Export Binaural File writes.
    virtual bool IsPlayThroughBinaural() const = 0;
    // The SOFA set the binaural renderer is to use now (it may refuse); none when the chosen
    // set is one of the mixer's, which plays in the mixer's own preview.
    virtual std::shared_ptr<SofaSetChoice> GetBinauralSet() = 0;
    // The Loudspeakers preference: the layout playback goes to when the output plays its
    // channels and neither export is auditioned; nullptr for none.
    virtual const SpeakerLayout* GetPlaybackLayout() const { return nullptr; }
    // The head the binaural renderer follows while a head tracker is on; none when off.
    virtual std::shared_ptr<const TrackedHead> GetTrackedHead() const { return nullptr; }
};
