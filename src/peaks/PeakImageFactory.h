#pragma once

#include <memory>

#include "platform/MonoBitmap.h"

// Makes the images peak pictures are drawn into, and stands in for the drawing surface each
// image is drawn through. Both can fail; tests derive from it to make them fail on purpose.
class PeakImageFactory {
  public:
    virtual ~PeakImageFactory() = default;

    // A white width x height image owned by the caller, or null when memory runs out.
    virtual std::unique_ptr<MonoBitmap> CreateImage(int width, int height);

    // Readies image for drawing; false when no drawing surface can be had for it.
    virtual bool OpenDrawingSurface(MonoBitmap& image);

    // The factory the program uses: plain allocation, a surface always at hand.
    static PeakImageFactory& Default();
};
