#include "views/ViewCursors.h"

#include <gtest/gtest.h>

#include <QBitmap>
#include <QImage>

namespace {

enum class Shown { kClear, kBlack, kWhite, kInvert };

// What the platform shows for one pixel of a cursor, from its bitmap and mask.
Shown PixelOf(const QCursor& cursor, int x, int y) {
    const bool bBit = cursor.bitmap().toImage().pixel(x, y) == qRgb(0, 0, 0);
    const bool bMask = cursor.mask().toImage().pixel(x, y) == qRgb(0, 0, 0);
    if (bMask) {
        return bBit ? Shown::kBlack : Shown::kWhite;
    }
    return bBit ? Shown::kInvert : Shown::kClear;
}

void ExpectShape(const QCursor& cursor, QPoint hotSpot) {
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.bitmap().size(), QSize(32, 32));
    EXPECT_EQ(cursor.mask().size(), QSize(32, 32));
    EXPECT_EQ(cursor.hotSpot(), hotSpot);
}

}  // namespace

TEST(ViewCursors, PointingHandHasItsHotSpotOnTheFingertip) {
    const QCursor& hand = ViewCursors::PanEdit();
    ExpectShape(hand, QPoint(4, 2));
    EXPECT_EQ(PixelOf(hand, 4, 2), Shown::kBlack);   // the tip itself
    EXPECT_EQ(PixelOf(hand, 4, 1), Shown::kClear);   // nothing above it
    EXPECT_EQ(PixelOf(hand, 3, 4), Shown::kBlack);   // the finger's outline
    EXPECT_EQ(PixelOf(hand, 4, 4), Shown::kWhite);   // and its inside
    EXPECT_EQ(PixelOf(hand, 8, 15), Shown::kWhite);  // the palm
    EXPECT_EQ(PixelOf(hand, 31, 31), Shown::kClear);
    EXPECT_EQ(&ViewCursors::ForResource(134), &hand);
}

TEST(ViewCursors, DeleteSignIsARingWithABarThroughTheHotSpot) {
    const QCursor& sign = ViewCursors::PanDelete();
    ExpectShape(sign, QPoint(9, 9));
    EXPECT_EQ(PixelOf(sign, 9, 9), Shown::kBlack);    // the bar crosses the centre
    EXPECT_EQ(PixelOf(sign, 6, 6), Shown::kBlack);    // from top left
    EXPECT_EQ(PixelOf(sign, 12, 12), Shown::kBlack);  // to bottom right
    EXPECT_EQ(PixelOf(sign, 11, 7), Shown::kClear);   // the other diagonal is open
    EXPECT_EQ(PixelOf(sign, 7, 11), Shown::kClear);
    EXPECT_EQ(PixelOf(sign, 9, 3), Shown::kBlack);   // the ring: top
    EXPECT_EQ(PixelOf(sign, 15, 9), Shown::kBlack);  // right
    EXPECT_EQ(PixelOf(sign, 9, 1), Shown::kWhite);   // its white rim
    EXPECT_EQ(PixelOf(sign, 9, 0), Shown::kClear);
    EXPECT_EQ(&ViewCursors::ForResource(141), &sign);
}

TEST(ViewCursors, IBeamInvertsOnlyWhereThePlatformCan) {
    const QCursor inverting = ViewCursors::MakeSelect(true);
    ExpectShape(inverting, QPoint(5, 9));
    EXPECT_EQ(PixelOf(inverting, 5, 9), Shown::kInvert);
    EXPECT_EQ(PixelOf(inverting, 5, 2), Shown::kInvert);
    EXPECT_EQ(PixelOf(inverting, 2, 1), Shown::kInvert);  // a serif
    EXPECT_EQ(PixelOf(inverting, 4, 9), Shown::kClear);   // no rim: it inverts whatever is there

    const QCursor rimmed = ViewCursors::MakeSelect(false);
    ExpectShape(rimmed, QPoint(5, 9));
    EXPECT_EQ(PixelOf(rimmed, 5, 9), Shown::kBlack);
    EXPECT_EQ(PixelOf(rimmed, 4, 9), Shown::kWhite);
    EXPECT_EQ(PixelOf(rimmed, 6, 9), Shown::kWhite);
    EXPECT_EQ(PixelOf(rimmed, 5, 0), Shown::kWhite);  // above the serif gap
    EXPECT_EQ(PixelOf(rimmed, 8, 9), Shown::kClear);

    // The offscreen platform of the tests cannot invert.
    EXPECT_FALSE(ViewCursors::PlatformInvertsCursors());
    EXPECT_EQ(PixelOf(ViewCursors::Select(), 5, 9), Shown::kBlack);
    EXPECT_EQ(PixelOf(ViewCursors::Select(), 4, 9), Shown::kWhite);
    EXPECT_EQ(&ViewCursors::ForResource(135), &ViewCursors::Select());
    EXPECT_EQ(ViewCursors::ForResource(999).shape(), Qt::ArrowCursor);
}

TEST(ViewCursors, EditModeAndCtrlPickTheCursor) {
    EXPECT_EQ(&ViewCursors::ForEditMode(1, false), &ViewCursors::PanEdit());
    EXPECT_EQ(&ViewCursors::ForEditMode(1, true), &ViewCursors::PanDelete());
    EXPECT_EQ(&ViewCursors::ForEditMode(2, false), &ViewCursors::Select());
    EXPECT_EQ(&ViewCursors::ForEditMode(2, true), &ViewCursors::Select());
}
