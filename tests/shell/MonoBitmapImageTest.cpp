#include <gtest/gtest.h>

#include <QImage>

#include "platform/MonoBitmap.h"

// The rows of a one-bit image are handed to Qt as they are, as a two-colour mono image.
TEST(MonoBitmapImage, RowsReadAsAMonoQImageWithBitOneWhite) {
    MonoBitmap bitmap(70, 3);
    bitmap.DrawLine(0, 0, 0, 3);
    bitmap.DrawLine(1, 1, 70, 1);
    bitmap.SetPixel(69, 2, true);
    QImage image(bitmap.Row(0), bitmap.Width(), bitmap.Height(), bitmap.BytesPerRow(),
                 QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 70; ++x) {
            const QRgb expected = bitmap.IsBlack(x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
            ASSERT_EQ(image.pixel(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(image.pixel(69, 2), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(68, 2), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(0, 2), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(69, 1), qRgb(0, 0, 0));
}
