#include "shell/Frame.h"

#include "views/CWaveScrollView.h"
#include "views/WaveViewAside.h"

void Frame::Show(DocumentView* view) {
    if (auto* wave = dynamic_cast<CWaveScrollView*>(view)) {
        wave->show();
    }
}
