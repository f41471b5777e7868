#pragma once

#include <cstdint>
#include <string>

#include "scene/Scene.h"

class PanPointList;
class RenderInput;

// A binaural renderer as the binaural export drives it: a sound as it reaches the listener,
// mixed into float stereo (full scale +-1.0, left first) at a rate the renderer picks. The
// renderer walks the sound's arrivals itself (Propagation), on its own grid; the export only
// asks for frames. The core knows the mixer only through this: the editor and the command-line
// tool hand in one over the mixer library, or Sonomap's own SOFA renderer. Output frames are at
// OutputRate().
class BinauralRenderer {
  public:
    // The sound, its trajectory and the space it is heard in, borrowed for the render.
    struct Wave {
        RenderInput* input = nullptr;
        const PanPointList* points = nullptr;
        SceneSpace space;
    };

    virtual ~BinauralRenderer() = default;

    // Starts a fresh render of wave from its first frame; each call starts over and renders
    // the same samples again. Empty, or the message to show.
    virtual std::string Open(const Wave& wave) = 0;
    // After a successful Open: the output rate (Hz), the frames the render lasts at that rate,
    // and the HRTF that mixes.
    virtual uint32_t OutputRate() const = 0;
    virtual uint32_t OutputFrames() const = 0;
    virtual std::string HrtfName() const = 0;
    // Before any Open: the set as it was chosen (a SOFA file's path, a set of the mixer's by
    // name); "" when the renderer takes whichever fits the sound.
    virtual std::string ChosenSet() const { return {}; }
    // Renders up to maxFrames output frames into out. rendered: frames written, 0 only past the
    // render's end. False on a failure, which LastError names.
    virtual bool Render(float* out, uint32_t maxFrames, uint32_t& rendered) = 0;
    virtual std::string LastError() const = 0;
};
