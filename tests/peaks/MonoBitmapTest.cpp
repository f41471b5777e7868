#include "platform/MonoBitmap.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "PeakReference.h"

namespace {

using Pixels = std::vector<std::pair<int, int>>;

Pixels BlackPixels(const MonoBitmap& image) {
    Pixels pixels;
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            if (image.IsBlack(x, y)) {
                pixels.emplace_back(x, y);
            }
        }
    }
    return pixels;
}

Pixels LinePixels(int x0, int y0, int x1, int y1) {
    MonoBitmap image(16, 16);
    image.DrawLine(x0, y0, x1, y1);
    return BlackPixels(image);
}

}  // namespace

TEST(MonoBitmap, StartsWhiteWithRowsPackedHighBitFirstAndPaddedTo32Bits) {
    MonoBitmap image(40, 3);
    EXPECT_EQ(image.BytesPerRow(), 8);
    for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < image.BytesPerRow(); ++i) {
            EXPECT_EQ(image.Row(y)[i], 0xFF);
        }
    }
    image.SetPixel(0, 0, true);
    image.SetPixel(9, 1, true);
    image.SetPixel(39, 2, true);
    EXPECT_EQ(image.Row(0)[0], 0x7F);
    EXPECT_EQ(image.Row(1)[1], 0xBF);
    EXPECT_EQ(image.Row(2)[4], 0xFE);
    EXPECT_TRUE(image.IsBlack(9, 1));
    EXPECT_FALSE(image.IsBlack(8, 1));
    EXPECT_FALSE(image.IsBlack(-1, 0));
    EXPECT_FALSE(image.IsBlack(40, 0));

    image.FillWhite();
    EXPECT_TRUE(BlackPixels(image).empty());
}

TEST(MonoBitmap, VerticalLinesDrawTheStartPixelButNotTheEnd) {
    EXPECT_EQ(LinePixels(3, 2, 3, 6), (Pixels{{3, 2}, {3, 3}, {3, 4}, {3, 5}}));
    EXPECT_EQ(LinePixels(3, 6, 3, 2), (Pixels{{3, 3}, {3, 4}, {3, 5}, {3, 6}}));
    // A flat column's stroke goes from top to top - 1: just the one pixel.
    EXPECT_EQ(LinePixels(5, 7, 5, 6), (Pixels{{5, 7}}));
    EXPECT_TRUE(LinePixels(4, 4, 4, 4).empty());
    EXPECT_EQ(LinePixels(1, 1, 4, 1), (Pixels{{1, 1}, {2, 1}, {3, 1}}));
}

TEST(MonoBitmap, ConnectorDiagonalsSplitTiesToTheLeftColumn) {
    // One column across, four rows down: the halfway row stays in the left column.
    EXPECT_EQ(LinePixels(0, 0, 1, 4), (Pixels{{0, 0}, {0, 1}, {0, 2}, {1, 3}}));
    // Upwards, three rows.
    EXPECT_EQ(LinePixels(0, 10, 1, 7), (Pixels{{1, 8}, {0, 9}, {0, 10}}));
    // Upwards, two rows: the halfway row is the second, and it stays left.
    EXPECT_EQ(LinePixels(2, 9, 3, 7), (Pixels{{2, 8}, {2, 9}}));
    EXPECT_EQ(LinePixels(0, 0, 1, 1), (Pixels{{0, 0}}));
    // Flat lines split ties to the upper row; 45 degrees has no ties.
    EXPECT_EQ(LinePixels(0, 0, 4, 1), (Pixels{{0, 0}, {1, 0}, {2, 0}, {3, 1}}));
    EXPECT_EQ(LinePixels(0, 0, 3, 3), (Pixels{{0, 0}, {1, 1}, {2, 2}}));
}

TEST(MonoBitmap, LinesAgreeWithThePlainRasterRuleInEveryDirection) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-4, 20);
    for (int i = 0; i < 3000; ++i) {
        const int x0 = coordinate(random), y0 = coordinate(random);
        const int x1 = coordinate(random), y1 = coordinate(random);
        MonoBitmap image(17, 17);
        image.DrawLine(x0, y0, x1, y1);
        RefImage expected(17, 17);
        RefLine(expected, x0, y0, x1, y1);
        ASSERT_EQ(CompareColumns(image, expected, 0, 16), "")
            << "line " << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
}

// Connectors of tall strokes: steep lines over one to a few columns, of any length, up and
// down, partly outside the image, drawn as vertical runs.
TEST(MonoBitmap, LongSteepLinesAgreeWithThePlainRasterRule) {
    std::mt19937 random(11);
    std::uniform_int_distribution<int> row(-50, 650);
    std::uniform_int_distribution<int> across(-6, 6);
    for (int i = 0; i < 2000; ++i) {
        const int x0 = static_cast<int>(random() % 12) - 2;
        const int y0 = row(random);
        const int x1 = x0 + across(random);
        const int y1 = row(random);
        MonoBitmap image(9, 600);
        image.DrawLine(x0, y0, x1, y1);
        RefImage expected(9, 600);
        RefLine(expected, x0, y0, x1, y1);
        ASSERT_EQ(CompareColumns(image, expected, 0, 8), "")
            << "line " << x0 << "," << y0 << " -> " << x1 << "," << y1;
    }
}

TEST(MonoBitmap, CopiesAndWhitensRectanglesClippedToTheImage) {
    MonoBitmap source(10, 4);
    for (int x = 0; x < 10; ++x) {
        source.SetPixel(x, x % 4, true);
    }
    MonoBitmap target(10, 4);
    target.SetPixel(9, 3, true);
    target.CopyRect(source, 2, 0, 5, 4, 0, 0);
    for (int x = 0; x < 5; ++x) {
        for (int y = 0; y < 4; ++y) {
            EXPECT_EQ(target.IsBlack(x, y), source.IsBlack(x + 2, y)) << x << "," << y;
        }
    }
    EXPECT_TRUE(target.IsBlack(9, 3));  // outside the copy: untouched
    EXPECT_FALSE(target.IsBlack(5, 1));

    // Partly outside on both sides: only the overlap moves, and nothing else is written.
    MonoBitmap clipped(10, 4);
    clipped.CopyRect(source, -3, 0, 20, 4, 6, 0);
    // Source columns -3 ... 0 land on 6 ... 9; only source (0, 0) is black among them.
    EXPECT_EQ(BlackPixels(clipped), (Pixels{{9, 0}}));

    target.FillWhite(-2, 1, 4, 10);
    EXPECT_FALSE(target.IsBlack(1, 1));
    EXPECT_EQ(target.IsBlack(0, 0), source.IsBlack(2, 0));
    EXPECT_EQ(target.IsBlack(2, 2), source.IsBlack(4, 2));

    // A copy within one image reads the pixels as they were before it.
    MonoBitmap self(10, 4);
    self.CopyRect(source, 0, 0, 10, 4, 0, 0);
    self.CopyRect(self, 0, 0, 8, 4, 2, 0);
    for (int x = 2; x < 10; ++x) {
        for (int y = 0; y < 4; ++y) {
            EXPECT_EQ(self.IsBlack(x, y), source.IsBlack(x - 2, y)) << x << "," << y;
        }
    }
}

TEST(MonoBitmap, RectangleOperationsMatchAPixelByPixelCopyAtAnyBitOffset) {
    std::mt19937 random(11);
    for (const int width : {5, 31, 32, 64, 70}) {
        MonoBitmap source(width, 6);
        std::bernoulli_distribution coin(0.5);
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < width; ++x) {
                source.SetPixel(x, y, coin(random));
            }
        }
        std::uniform_int_distribution<int> place(-10, width + 5);
        std::uniform_int_distribution<int> size(0, width + 10);
        for (int i = 0; i < 400; ++i) {
            const int srcX = place(random), x = place(random), w = size(random);
            const int srcY = place(random) % 4, y = place(random) % 4, h = size(random) % 7;
            MonoBitmap target(width, 6);
            for (int row = 0; row < 6; ++row) {
                target.SetPixel((row * 7 + i) % width, row, true);
            }
            RefImage expected(width, 6);
            for (int row = 0; row < 6; ++row) {
                for (int col = 0; col < width; ++col) {
                    const int fromX = col - x + srcX, fromY = row - y + srcY;
                    const bool inRect = col >= x && col < x + w && row >= y && row < y + h;
                    const bool inSource = fromX >= 0 && fromX < width && fromY >= 0 && fromY < 6;
                    if (inRect && inSource ? source.IsBlack(fromX, fromY)
                                           : target.IsBlack(col, row)) {
                        expected.Set(col, row);
                    }
                }
            }
            target.CopyRect(source, srcX, srcY, w, h, x, y);
            ASSERT_EQ(CompareColumns(target, expected, 0, width - 1), "")
                << "copy " << srcX << "," << srcY << " " << w << "x" << h << " to " << x << "," << y
                << " width " << width;

            RefImage whitened = expected;
            for (int row = std::max(y, 0); row < std::min(y + h, 6); ++row) {
                for (int col = std::max(x, 0); col < std::min(x + w, width); ++col) {
                    whitened.black[static_cast<size_t>(row) * width + col] = 0;
                }
            }
            target.FillWhite(x, y, w, h);
            ASSERT_EQ(CompareColumns(target, whitened, 0, width - 1), "");
        }
    }
}

// Many lines into one image, as the painter draws them and in other orders, with looks at the
// pixels and whitening in between: held runs must never show or hide a pixel.
TEST(MonoBitmap, HeldRunsGiveThePixelsOfLinesDrawnOneByOne) {
    enum class Order { Ascending, Descending, Scattered };
    struct Case {
        const char* name;
        int width;
        int height;
        Order order;
        int lookEvery;  // a look at the pixels or a whitening every so many lines; 0 for none
    };
    const Case cases[] = {
        {"painter, no looks", 77, 120, Order::Ascending, 0},
        {"painter, looks", 64, 90, Order::Ascending, 5},
        {"right to left", 45, 70, Order::Descending, 7},
        {"scattered, looks", 33, 50, Order::Scattered, 3},
        {"scattered, clipped", 20, 30, Order::Scattered, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(static_cast<uint32_t>(c.width * 131 + c.height));
        std::uniform_int_distribution<int> row(-10, c.height + 10);
        MonoBitmap image(c.width, c.height);
        RefImage expected(c.width, c.height);
        const int lines = 3 * c.width;
        for (int i = 0; i < lines; ++i) {
            int x = i / 3;
            if (c.order == Order::Descending) {
                x = c.width - 1 - x;
            } else if (c.order == Order::Scattered) {
                x = static_cast<int>(random() % static_cast<unsigned>(c.width + 8)) - 4;
            }
            // A stroke in its column, or a connector from the column before.
            const int x0 = i % 3 == 0 ? x : x - 1;
            const int y0 = row(random), y1 = row(random);
            image.DrawLine(x0, y0, x, y1);
            RefLine(expected, x0, y0, x, y1);
            if (c.lookEvery == 0 || i % c.lookEvery != 0) {
                continue;
            }
            const int px = static_cast<int>(random() % static_cast<unsigned>(c.width));
            const int py = static_cast<int>(random() % static_cast<unsigned>(c.height));
            switch (i / c.lookEvery % 4) {
                case 0:
                    ASSERT_EQ(image.IsBlack(px, py), expected.At(px, py)) << "line " << i;
                    break;
                case 1:
                    image.SetPixel(px, py, false);
                    expected.black[static_cast<size_t>(py) * c.width + px] = 0;
                    break;
                case 2:
                    image.FillWhite(px, 0, 3, py);
                    for (int y = 0; y < py; ++y) {
                        for (int xx = px; xx < std::min(px + 3, c.width); ++xx) {
                            expected.black[static_cast<size_t>(y) * c.width + xx] = 0;
                        }
                    }
                    break;
                default: {
                    MonoBitmap copy(c.width, c.height);
                    copy.CopyRect(image, 0, 0, c.width, c.height, 0, 0);
                    ASSERT_EQ(CompareColumns(copy, expected, 0, c.width - 1), "") << "line " << i;
                    break;
                }
            }
        }
        EXPECT_EQ(CompareColumns(image, expected, 0, c.width - 1), "");
    }
}
