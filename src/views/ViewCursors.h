#pragma once

#include <QCursor>

// The wave view's three mouse cursors, drawn here as 32 x 32 one-bit pictures. Each accessor
// builds its cursor on first use and keeps it for the life of the program, so call them only
// once the QGuiApplication exists. Hot spots are in pixels from the top left.
//
// Bitmap and mask follow the platform's rule: mask 1 shows the bitmap's pixel (1 black,
// 0 white); mask 0 is transparent where the bitmap is 0 and inverts the screen where it is 1,
// on platforms that can.
class ViewCursors {
  public:
    // Cursor resource ids, as the view names them.
    static constexpr int kPanEditId = 134;    // pan edit: a pointing hand
    static constexpr int kSelectId = 135;     // selection: an I-beam
    static constexpr int kPanDeleteId = 141;  // pan edit with Ctrl: a circle with a bar
    static constexpr int kSize = 32;

    static const QCursor& PanEdit();
    static const QCursor& Select();
    static const QCursor& PanDelete();
    // The cursor of one of the ids above; any other id gives the platform's arrow.
    static const QCursor& ForResource(int id);
    // The cursor over a wave view: in pan edit mode (1) the hand, or the delete sign while
    // Ctrl is held; in selection mode (2) the I-beam.
    static const QCursor& ForEditMode(int editMode, bool bCtrlHeld);

    // The I-beam in either form: inverting the screen, or black with a white rim. Select()
    // takes the inverting form only where the platform can invert under a cursor; elsewhere
    // inverting pixels would not show at all.
    static QCursor MakeSelect(bool bInverting);
    static bool PlatformInvertsCursors();
};
