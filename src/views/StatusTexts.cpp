#include "views/StatusTexts.h"

#include <cstdio>

#include "document/CTesselDoc.h"

namespace {

std::string Printf(const char* format, int a, int b) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::string StatusTexts::FormatText(const CTesselDoc& document) {
    const PcmFormat& format = document.GetFormat();
    char text[128];
    std::snprintf(text, sizeof text, "%d,%.3d / %d bit / %s / %s",
                  static_cast<int>(format.sampleRate / 1000),
                  static_cast<int>(format.sampleRate % 1000), format.bitsPerSample,
                  format.channels == 1 ? "mono" : "stereo", document.GetFileType().c_str());
    return text;
}

std::string StatusTexts::SizeText(uint32_t dataBytes) {
    if (dataBytes >= 1000000) {
        return Printf("%d,%.3dk bytes", static_cast<int>(dataBytes / 1000000),
                      static_cast<int>((dataBytes / 1000) % 1000));
    }
    if (dataBytes >= 1000) {
        return Printf("%d,%.3d bytes", static_cast<int>(dataBytes / 1000),
                      static_cast<int>(dataBytes % 1000));
    }
    return std::to_string(dataBytes) + " bytes";
}

std::string StatusTexts::DurationText(uint32_t frames, uint32_t sampleRate) {
    const double seconds = sampleRate == 0 ? 0.0 : static_cast<double>(frames) / sampleRate;
    char text[64];
    if (seconds >= 60.0) {
        // 1/60 in single precision, as the pane always had it.
        std::snprintf(text, sizeof text, "%.2f min.", seconds * static_cast<double>(0.016666668f));
    } else {
        std::snprintf(text, sizeof text, "%.2f sec.", seconds);
    }
    return text;
}
