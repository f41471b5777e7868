#include "render/SampleFormat.h"

namespace {

constexpr const char* kNames[] = {"s16", "s24", "f32"};

}  // namespace

std::optional<SampleFormat> ParseSampleFormat(const std::string& text) {
    for (int i = 0; i < 3; ++i) {
        if (text == kNames[i]) {
            return SampleFormatFromIndex(i);
        }
    }
    return std::nullopt;
}

const char* SampleFormatName(SampleFormat format) {
    return kNames[SampleFormatIndex(format)];
}

std::optional<SampleFormat> SampleFormatFromIndex(int index) {
    switch (index) {
        case 0:
            return SampleFormat::S16;
        case 1:
            return SampleFormat::S24;
        case 2:
            return SampleFormat::F32;
        default:
            return std::nullopt;
    }
}

int SampleFormatIndex(SampleFormat format) {
    return format == SampleFormat::S16 ? 0 : format == SampleFormat::S24 ? 1 : 2;
}

int SampleFormatBits(SampleFormat format) {
    return format == SampleFormat::S16 ? 16 : format == SampleFormat::S24 ? 24 : 32;
}
