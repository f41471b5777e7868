#pragma once

#include <QEvent>
#include <cstdint>
#include <optional>

#include "playback/CommandTarget.h"

class QWidget;

// What a document window and the main frame ask of the view a document window shows, and no
// more: the widget to put in the window, its commands (first on the command route), being the
// active view, and what the main frame hands on to the active view. The window owns the view's
// widget; the main frame holds the view only while that widget lives. Frames.
class DocumentView : public CommandTarget {
  public:
    // The view's own widget.
    virtual QWidget& ViewWidget() = 0;
    // What the window shows: the view's widget, or a widget holding it with what goes around it
    // (a wave view's time ruler and direction scale). Made by this call, owned by the caller.
    virtual QWidget* MakeWindowContent() { return &ViewWidget(); }
    // The view became the active one, or stopped being it.
    virtual void ActivateView(bool active) { (void)active; }
    // Centres frame in the window, as far as the sound reaches (a click on the overview bar).
    virtual void ScrollToSample(uint32_t frame) { (void)frame; }
    // The left button on the pan display while this view is active: the direction under the
    // pointer in degrees, and its distance (cm) on the view from above. False when not taken.
    virtual bool PanDisplayMouse(QEvent::Type type, double azimuth,
                                 std::optional<double> distanceCm) {
        (void)type, (void)azimuth, (void)distanceCm;
        return false;
    }
};
