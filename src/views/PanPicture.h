#pragma once

#include <QImage>

// The pan display's two images, drawn by our own code. The picture (141 x 100 pixels) shows a
// listener from above, facing up, at (71, 70), with the front arc of radius 60 on which the
// marker centres lie. The marker (10 x 10 pixels) is an olive-edged yellow disc; its corners
// are transparent. The caller owns both.
QImage DrawPanPicture();
QImage DrawPanMarker();
