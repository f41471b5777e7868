#pragma once

#include <QImage>
#include <QRect>
#include <QRgb>

#include "views/ViewEvents.h"

class MonoBitmap;

// The three system colours the overview's bands are drawn in.
struct OverviewColours {
    QRgb face = 0;    // button face
    QRgb shadow = 0;  // button shadow
    QRgb text = 0;    // button text
};

// The overview's pixels: face (client coordinates) filled with the face colour; one pixel in,
// the image stretched in three bands around the visible range, the selection inverted, and the
// visible-range bracket. pixels gets face's size and shows what lies at face.topLeft().
// image (not kept) may be null, and so may the info's length: the face colour alone then.
// Returns false, pixels untouched, when there is no memory for them.
bool ComposeOverview(const QRect& face, const MonoBitmap* image, const OverviewViewInfo& info,
                     const OverviewColours& colours, QImage& pixels);

// The bracket's pens, and the dash of the two dashed ones (pixels on, then off).
inline constexpr QRgb kBracketCyan = qRgb(0, 220, 240);
inline constexpr QRgb kBracketBlue = qRgb(0, 130, 210);
inline constexpr int kBracketDashOn = 18;
inline constexpr int kBracketDashOff = 6;
