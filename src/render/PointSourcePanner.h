#pragma once

#include <cstddef>
#include <memory>
#include <vector>

class SpeakerLayout;

// Loudspeaker gains for a point source, as ITU-R BS.2127's point-source panner gives them for
// a BS.2051 layout. The layout's loudspeakers (the LFE aside), with virtual ones filling the
// gaps in the upper and lower layers and at the poles, are spanned by the facets of their
// convex hull: triangles pan by VBAP, quadrilaterals bilinearly, and the fans around a
// virtual pole share the pole's gain equally among their loudspeakers. 0+2+0 pans over 0+5+0
// and folds it down to two channels. Built once per layout; CalculateGains is const, does not
// allocate, and may be called from any number of threads at once.
class PointSourcePanner {
  public:
    // Throws std::logic_error when the layout's hull has a facet of more than four corners
    // away from a pole, or more than 64 loudspeakers with the virtual ones (no BS.2051 layout
    // has either).
    explicit PointSourcePanner(const SpeakerLayout& layout);
    ~PointSourcePanner();
    PointSourcePanner(const PointSourcePanner&) = delete;
    PointSourcePanner& operator=(const PointSourcePanner&) = delete;

    size_t ChannelCount() const { return m_channelCount; }

    // One gain per channel of the layout, in its order, into gains (ChannelCount() values),
    // for a direction in Sonomap's degrees (azimuth positive to the right, 0 ahead, 180
    // behind; elevation positive up, within -90 ... 90). The LFE gets 0; the other gains are
    // amplitudes whose squares sum to 1, except for 0+2+0, whose sum falls from 1 ahead to 1/2
    // straight behind.
    void CalculateGains(double azimuth, double elevation, double* gains) const;

  private:
    struct Regions;

    size_t m_channelCount = 0;
    std::unique_ptr<const Regions> m_pRegions;
    // 0+2+0 only: the 0+5+0 panner it folds down, and its left and right channels.
    std::unique_ptr<const PointSourcePanner> m_pFiveZero;
    size_t m_left = 0;
    size_t m_right = 0;
};
