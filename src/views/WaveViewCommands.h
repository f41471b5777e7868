#pragma once

#include "playback/CommandTarget.h"

class CEditorApp;
class CTesselDoc;
class WaveViewActions;
class WaveViewSurface;

// The commands of a wave view: when each is enabled and what it does, on the view's document,
// selection and zoom. The view routes its commands here; the view, its document and the
// application outlive this.
class WaveViewCommands : public CommandTarget {
  public:
    WaveViewCommands(WaveViewSurface& surface, WaveViewActions& view, CTesselDoc& document,
                     CEditorApp& app)
        : m_surface(surface), m_view(view), m_doc(document), m_app(app) {}

    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

  private:
    // The edit mode as this view obeys it.
    int EditMode() const;

    WaveViewSurface& m_surface;
    WaveViewActions& m_view;
    CTesselDoc& m_doc;
    CEditorApp& m_app;
};
