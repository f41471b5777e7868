#include "views/ViewCursors.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <string_view>

#include "playback/CEditorApp.h"

namespace {

constexpr int kSize = ViewCursors::kSize;

// One picture being drawn: a pixel is transparent, black, white or inverting.
enum class Ink { kClear, kBlack, kWhite, kInvert };

class CursorPicture {
  public:
    CursorPicture() {
        for (auto& row : m_pixels) {
            for (Ink& pixel : row) {
                pixel = Ink::kClear;
            }
        }
    }

    void Set(int x, int y, Ink ink) { m_pixels[y][x] = ink; }
    Ink At(int x, int y) const { return m_pixels[y][x]; }

    // Rows of art from the top left: '#' black, '.' white, 'x' inverting, anything else clear.
    void Draw(std::initializer_list<std::string_view> rows, int top) {
        int y = top;
        for (std::string_view row : rows) {
            for (int x = 0; x < static_cast<int>(row.size()); ++x) {
                switch (row[x]) {
                    case '#':
                        Set(x, y, Ink::kBlack);
                        break;
                    case '.':
                        Set(x, y, Ink::kWhite);
                        break;
                    case 'x':
                        Set(x, y, Ink::kInvert);
                        break;
                    default:
                        break;
                }
            }
            ++y;
        }
    }

    // A one-pixel white rim around the black pixels keeps a black shape visible on black.
    void AddWhiteRim() {
        CursorPicture before = *this;
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (before.At(x, y) == Ink::kClear && before.TouchesBlack(x, y)) {
                    Set(x, y, Ink::kWhite);
                }
            }
        }
    }

    QCursor ToCursor(int hotX, int hotY) const {
        QImage bitmap(kSize, kSize, QImage::Format_MonoLSB);
        QImage mask(kSize, kSize, QImage::Format_MonoLSB);
        // Index 0 is the bitmap's colour 0 (white), index 1 its colour 1 (black).
        for (QImage* image : {&bitmap, &mask}) {
            image->setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
            image->fill(0);
        }
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                const Ink ink = At(x, y);
                bitmap.setPixel(x, y, ink == Ink::kBlack || ink == Ink::kInvert ? 1 : 0);
                mask.setPixel(x, y, ink == Ink::kBlack || ink == Ink::kWhite ? 1 : 0);
            }
        }
        return QCursor(QBitmap::fromImage(bitmap), QBitmap::fromImage(mask), hotX, hotY);
    }

  private:
    bool TouchesBlack(int x, int y) const {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx;
                const int ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && At(nx, ny) == Ink::kBlack) {
                    return true;
                }
            }
        }
        return false;
    }

    Ink m_pixels[kSize][kSize];
};

// The fingertip of the raised index finger is the hot spot (4, 2).
QCursor MakePanEdit() {
    CursorPicture picture;
    // clang-format off
    picture.Draw({
        "    ##",
        "   #..#",
        "   #..#",
        "   #..#",
        "   #..#",
        "   #..###",
        "   #..#..###",
        "   #..#..#..###",
        " ###..#..#..#..#",
        "#..#..#..#..#..#",
        "#..#...........#",
        "#..............#",
        " #.............#",
        " #.............#",
        "  #............#",
        "  #...........#",
        "   #..........#",
        "   #.........#",
        "    #........#",
        "    #........#",
        "    ##########",
    }, 2);
    // clang-format on
    return picture.ToCursor(4, 2);
}

// A ring with a bar from top left to bottom right, centred on the hot spot (9, 9).
QCursor MakePanDelete() {
    constexpr int kCentre = 9;
    CursorPicture picture;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const int dx = x - kCentre;
            const int dy = y - kCentre;
            const double distance = std::hypot(dx, dy);
            const bool bRing = distance >= 5.6 && distance < 7.6;
            const bool bBar = std::abs(dx - dy) <= 1 && distance < 6.0;
            if (bRing || bBar) {
                picture.Set(x, y, Ink::kBlack);
            }
        }
    }
    picture.AddWhiteRim();
    return picture.ToCursor(kCentre, kCentre);
}

}  // namespace

QCursor ViewCursors::MakeSelect(bool bInverting) {
    CursorPicture picture;
    // Two serifs on each end of a stem in column 5; the hot spot (5, 9) is the stem's middle.
    picture.Draw(
        {
            "  xxx xxx",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "     x",
            "  xxx xxx",
        },
        1);
    if (!bInverting) {
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (picture.At(x, y) == Ink::kInvert) {
                    picture.Set(x, y, Ink::kBlack);
                }
            }
        }
        picture.AddWhiteRim();
    }
    return picture.ToCursor(5, 9);
}

bool ViewCursors::PlatformInvertsCursors() {
    // X11 and Wayland show a masked-out pixel as transparent whatever the bitmap holds.
    return QGuiApplication::platformName() == QLatin1String("windows");
}

const QCursor& ViewCursors::PanEdit() {
    static const QCursor cursor = MakePanEdit();
    return cursor;
}

const QCursor& ViewCursors::Select() {
    static const QCursor cursor = MakeSelect(PlatformInvertsCursors());
    return cursor;
}

const QCursor& ViewCursors::PanDelete() {
    static const QCursor cursor = MakePanDelete();
    return cursor;
}

const QCursor& ViewCursors::ForResource(int id) {
    static const QCursor arrow(Qt::ArrowCursor);
    switch (id) {
        case kPanEditId:
            return PanEdit();
        case kSelectId:
            return Select();
        case kPanDeleteId:
            return PanDelete();
        default:
            return arrow;
    }
}

const QCursor& ViewCursors::ForEditMode(int editMode, bool bCtrlHeld) {
    if (editMode == CEditorApp::kEditModePan) {
        return bCtrlHeld ? PanDelete() : PanEdit();
    }
    return Select();
}
