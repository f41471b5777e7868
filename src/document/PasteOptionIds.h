#pragma once

// The button ids the two "Paste Options..." questions answer with. Each button of the
// dialogs ends it with its own id; Cancel (and Escape) gives kPasteCancel.
enum PasteOptionId : int {
    kPasteCancel = 2,
    kPasteScale = 1004,
    kPasteFromStart = 1005,  // in the caret variant the button reads "Paste"
    kPasteMerge = 1006,
    kPasteRemove = 1007,
};
