#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One loudspeaker of a layout. label is BS.2051's ("M+030", "LFE1", ...), whose sign follows
// BS.2051's azimuth, positive to the left; azimuth here is Sonomap's, in degrees positive to
// the right (so M+030 sits at -30), elevation in degrees positive up. An LFE's position is
// nominal only: nothing is panned to it.
struct Loudspeaker {
    std::string_view label;
    double azimuth = 0;
    double elevation = 0;
    bool bLfe = false;
};

// The ITU-R BS.2051 layouts Sonomap renders to, each with its loudspeakers at their nominal
// positions in BS.2051's channel order (the order of the channels in a file). The layouts are
// static tables: pointers to them stay valid for the program's life.
class SpeakerLayout {
  public:
    constexpr SpeakerLayout(std::string_view name, std::span<const Loudspeaker> speakers)
        : m_name(name), m_speakers(speakers) {}

    // Every layout, in BS.2051's order of its sound systems A to J.
    static std::span<const SpeakerLayout> All();
    // The layout named as BS.2051 names it ("4+5+0") or as people name it ("5.1.4"), or
    // nullptr for any other name.
    static const SpeakerLayout* Find(std::string_view name);
    // For a name people use that no BS.2051 layout stands for ("7.1.2"), a sentence saying so
    // and naming the nearest layouts; "" for any other name.
    static std::string NearestTo(std::string_view name);

    std::string_view Name() const { return m_name; }
    // The name people use beside BS.2051's ("5.1" for 0+5+0), or "" for a layout without one.
    std::string_view CommonName() const;
    // "0+5+0 (5.1)", or the name alone for a layout without a common one.
    std::string NameWithCommon() const;
    std::span<const Loudspeaker> Speakers() const { return m_speakers; }
    size_t ChannelCount() const { return m_speakers.size(); }

    // WAVE_FORMAT_EXTENSIBLE's dwChannelMask: the speaker bits of the channels, when each
    // channel has a speaker of its own there; 0 when the layout does not map onto those
    // speakers, and a reader must not assume any.
    uint32_t ChannelMask() const;
    // The layout's channel (an index into Speakers()) that each channel of a WAV file holds. A
    // reader assigns a file's channels to the mask's bits in rising order, so with a mask the
    // channels go in that order (7.1's M+135 pair before its M+090 pair); without one, in
    // BS.2051's.
    std::vector<uint16_t> WaveChannelOrder() const;

  private:
    std::string_view m_name;
    std::span<const Loudspeaker> m_speakers;
};
