#pragma once

#include <memory>

#include "peaks/PeakImageFactory.h"

// A factory that counts its calls and fails the one it is told to (counted from 0).
class TestPeakFactory : public PeakImageFactory {
  public:
    int failImageCall = -1;
    int failSurfaceCall = -1;
    int imageCalls = 0;
    int surfaceCalls = 0;

    std::unique_ptr<MonoBitmap> CreateImage(int width, int height) override {
        if (imageCalls++ == failImageCall) {
            return nullptr;
        }
        return PeakImageFactory::CreateImage(width, height);
    }
    bool OpenDrawingSurface(MonoBitmap& image) override {
        if (surfaceCalls++ == failSurfaceCall) {
            return false;
        }
        return PeakImageFactory::OpenDrawingSurface(image);
    }
};
