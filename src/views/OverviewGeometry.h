#pragma once

#include <cstdint>

// Where the overview bar puts things, as plain arithmetic so that it can be checked without a
// widget. Columns and points are pixels; positions are sample frames; directions are degrees.
namespace OverviewGeometry {

// The pan picture, 141 x 100 pixels; the bar is its height plus 5.
inline constexpr int kPanPictureWidth = 141;
inline constexpr int kPanPictureHeight = 100;
inline constexpr int kBarHeight = kPanPictureHeight + 5;
// The overview area stops this far short of the client's right edge.
inline constexpr int kPanPictureGap = kPanPictureWidth + 2;
// The marker around a direction's centre: (x - 5, y - 5) up to, not including, (x + 5, y + 5).
inline constexpr int kMarkerSize = 10;
inline constexpr int kMarkerHalf = kMarkerSize / 2;
inline constexpr int kPanLimit = 90;

struct Point {
    int x = 0;
    int y = 0;
};

// The visible range on an area of width pixels from column left: x1 and x2 are area columns,
// s1 and s2 columns of an overview image imageWidth wide. first and last are frames of a sound
// length frames long; a frame past the length counts as the length, and a length of 0 puts
// everything at the start.
struct VisibleColumns {
    int x1 = 0;
    int x2 = 0;
    int s1 = 0;
    int s2 = 0;
};
VisibleColumns ComputeVisibleColumns(int left, int width, int imageWidth, uint32_t first,
                                     uint32_t last, uint32_t length);

// The columns [begin, end) that a selection of frames [selStart, selEnd) covers.
struct ColumnSpan {
    int begin = 0;
    int end = 0;
};
ColumnSpan ComputeSelectionColumns(int left, int width, uint32_t selStart, uint32_t selEnd,
                                   uint32_t length);

// The column of frame on the same area, as a selection edge there (the playhead's line).
int ColumnOfFrame(int left, int width, uint32_t frame, uint32_t length);
// The frame that area column x stands for, limited to 0 ... length: what a click there points
// at.
uint32_t FrameAtColumn(int x, int left, int width, uint32_t length);
// Where the view's centre goes as the mouse drags over the area: the frame under the mouse
// plus grabOffset, limited to 0 ... length. A press inside the visible range keeps the offset
// from the mouse to the range's centre, one outside it centres the view under the mouse.
int64_t GrabOffset(int x, int left, int width, uint32_t first, uint32_t last, uint32_t length);
uint32_t DragCentre(int x, int left, int width, uint32_t length, int64_t grabOffset);

// A live pan value as the display keeps it: -90 ... +90, or noPan left as it is.
int ClampLivePan(int pan, int noPan);
// The marker's centre in pan-picture coordinates; pan is clamped to -90 ... +90 first.
Point PanMarkerCentre(int pan);
// The direction a point (x, y) of the pan picture stands for, -90 ... +90 degrees: its angle
// around the listener, mapped back along the marker's arc (the inverse of PanMarkerCentre), so
// a drag puts the marker under the pointer. Points behind the listener take the side's end.
double PanAtPoint(double x, double y);

}  // namespace OverviewGeometry
