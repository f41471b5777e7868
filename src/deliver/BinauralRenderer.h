#pragma once

#include <cstdint>
#include <functional>
#include <string>

class PanPointList;
class RenderInput;

// The 3-D mixer as the binaural export drives it: one wave mixed with HRTF into float
// stereo (full scale +-1.0, left first) at a rate the mixer picks. The core knows the mixer
// only through this; the editor and the command-line tool hand in one over the mixer library.
// Wave positions are sample frames of the wave; output frames are at OutputRate().
class BinauralRenderer {
  public:
    struct Wave {
        // Frames [first, first + count) as floats of full scale 1.0, channels interleaved
        // (left first), asked for on the thread that renders, in order as the mix goes on.
        using Reader = std::function<void(uint32_t first, uint32_t count, float* out)>;
        Reader read;
        uint16_t channels = 1;    // 1 or 2
        uint32_t sampleRate = 0;  // Hz
        uint32_t frameCount = 0;
        // The sound and its trajectory themselves, borrowed for the export, for a renderer
        // that reads them on its own grid; such a renderer lets directions and places be.
        RenderInput* input = nullptr;
        const PanPointList* points = nullptr;
    };

    virtual ~BinauralRenderer() = default;

    // Starts a fresh mix of wave from its first frame, straight ahead; each call starts over
    // and mixes the same samples again. Empty, or the message to show.
    virtual std::string Open(const Wave& wave) = 0;
    // After a successful Open: the output rate (Hz) and the HRTF that mixes.
    virtual uint32_t OutputRate() const = 0;
    virtual std::string HrtfName() const = 0;
    // Before any Open: the set as it was chosen (a SOFA file's path, a set of the mixer's by
    // name); "" when the renderer takes whichever fits the sound.
    virtual std::string ChosenSet() const { return {}; }
    // The direction in whole degrees (-90 left ... +90 right) from the next frame on.
    virtual bool SetDirection(int32_t degrees) = 0;
    // The place from the next frame on: azimuth -179..180 (180 behind), elevation -90..+90,
    // distance 10..10000 cm with the distance law as the gain, and for a stereo wave the width
    // (0..180) its two channels spread around the azimuth. A stereo wave plays as it is
    // until the first place. SetDirection ends a place.
    virtual bool SetPlace(int32_t azimuth, int32_t elevation, uint32_t distanceCm,
                          int32_t width) = 0;
    // Mixes up to maxFrames frames into out and stops sooner once the wave has been read up
    // to untilFrame (past its end: no early stop). rendered: frames written, 0 only when the
    // wave was read that far already; position: wave frames read so far.
    virtual bool Render(float* out, uint32_t maxFrames, uint32_t untilFrame, uint32_t& rendered,
                        uint32_t& position) = 0;
    // The message for the last failed SetDirection, SetPlace or Render.
    virtual std::string LastError() const = 0;
};
