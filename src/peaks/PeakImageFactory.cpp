#include "peaks/PeakImageFactory.h"

#include <new>

std::unique_ptr<MonoBitmap> PeakImageFactory::CreateImage(int width, int height) {
    try {
        return std::make_unique<MonoBitmap>(width, height);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool PeakImageFactory::OpenDrawingSurface(MonoBitmap&) {
    return true;
}

PeakImageFactory& PeakImageFactory::Default() {
    static PeakImageFactory factory;
    return factory;
}
