#pragma once

#include <QIcon>
#include <QImage>
#include <array>

// The program icon: a sound wave under an arc that sweeps from left to right, drawn here at
// any size. Used by the About box, the window icon and, as PNG files made at build time, by
// the desktop entry.
class CAppIcon {
  public:
    // The sizes, in pixels, that the icon set and the installed files come in.
    static constexpr std::array<int, 7> kSizes = {16, 22, 32, 48, 64, 128, 256};

    // A square ARGB image, transparent outside the rounded tile. Needs no application object,
    // so the build-time tool can call it.
    static QImage Render(int size);
    // Every size of kSizes; needs the QGuiApplication.
    static QIcon Icon();
};
