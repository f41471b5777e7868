#include "support/FilterReference.h"

#include <cstddef>

#include "render/SpatialFilter.h"

std::vector<ReferencePair> FilterReference(int band, const std::vector<float>& in,
                                           const std::vector<int>& dir) {
    const SpatialFilter::BandInfo& info = SpatialFilter::Band(band);
    const size_t n = in.size();
    std::vector<double> dL(n), dR(n), fL(n), fR(n);
    double sL[4][2] = {}, sR[4][2] = {};
    for (size_t t = 0; t < n; ++t) {
        const int i = dir[t];
        dL[t] = in[t] * static_cast<double>(SpatialFilter::DirectGainLeft(i));
        dR[t] = in[t] * static_cast<double>(SpatialFilter::DirectGainRight(i));
        double accL = in[t] * static_cast<double>(SpatialFilter::FilteredGainLeft(i)) * info.kLeft;
        double accR =
            in[t] * static_cast<double>(SpatialFilter::FilteredGainRight(i)) * info.kRight;
        for (int s = 0; s < info.sections; ++s) {
            accL = accL - info.left[s][0] * sL[s][0] - info.left[s][1] * sL[s][1];
            sL[s][1] = sL[s][0];
            sL[s][0] = accL;
            accR = accR - info.right[s][0] * sR[s][0] - info.right[s][1] * sR[s][1];
            sR[s][1] = sR[s][0];
            sR[s][0] = accR;
        }
        fL[t] = accL;
        fR[t] = accR;
    }
    auto at = [](const std::vector<double>& v, long t) { return t < 0 ? 0.0 : v[size_t(t)]; };
    std::vector<ReferencePair> out(n);
    for (long t = 0; t < long(n); ++t) {
        const long dd = t - (info.directDelay > 0 ? info.directDelay : 0);
        const long fd = t - (info.directDelay < 0 ? -info.directDelay : 0);
        out[size_t(t)] = {at(dL, dd) + at(fL, fd), at(dR, dd) + at(fR, fd)};
    }
    return out;
}
