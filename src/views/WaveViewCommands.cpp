#include "views/WaveViewCommands.h"

#include "document/CTesselDoc.h"
#include "document/PanEditCommands.h"
#include "playback/CEditorApp.h"
#include "playback/CommandIds.h"
#include "playback/UndoMenuText.h"
#include "trajectory/SoundPlace.h"
#include "views/PanPointEditor.h"
#include "views/StatusTexts.h"
#include "views/WaveViewActions.h"
#include "views/WaveViewNavigation.h"
#include "views/WaveViewPlayback.h"
#include "views/WaveViewSurface.h"

int WaveViewCommands::EditMode() const {
    return m_app.GetEditMode();
}

bool WaveViewCommands::UpdateCommand(unsigned id, CommandState& state) {
    // A point being dragged must stay in the list until the release: the commands that remove
    // points wait for it.
    const bool bDragging = m_view.Points().Drag().Point() != nullptr;
    const WaveViewGeometry& g = m_view.Geometry();
    const uint32_t start = m_surface.GetSelStart();
    const uint32_t end = m_surface.GetSelEnd();
    switch (id) {
        case CommandId::kZoomIn:
            state.enabled = g.CanZoomIn();
            return true;
        case CommandId::kZoomOut:
        case CommandId::kShowAll:
            state.enabled = g.CanZoomOut();
            return true;
        case CommandId::kZoomSelection:
            state.enabled = g.CanZoomToSelection(start, end);
            return true;
        case CommandId::kSelectAll:
            state.enabled = !(start == 0 && end == m_doc.GetFrameCount());
            return true;
        case CommandId::kEditPan:
            state.enabled = EditMode() != CEditorApp::kEditModePan;
            state.checked = EditMode() == CEditorApp::kEditModePan;
            return true;
        case CommandId::kAllAround:
            // A 3-D trajectory has nothing to show in the frontal view.
            state.enabled = !m_view.IsAllAround() || IsFrontal(m_doc.GetPanPoints());
            state.checked = m_view.IsAllAround();
            if (!state.enabled) {
                state.whyDisabled =
                    "The trajectory goes behind, above, below or away from 1 m: only the "
                    "all-around view shows it.";
            }
            return true;
        case CommandId::kEditSelect:
            state.enabled = EditMode() != CEditorApp::kEditModeSelect;
            state.checked = EditMode() == CEditorApp::kEditModeSelect;
            return true;
        case CommandId::kPlay:
            state.enabled = !m_app.IsPlaying();
            return true;
        case CommandId::kPlayStop:
            state.enabled = true;
            return true;
        case CommandId::kDeleteInRange:
        case CommandId::kEditCut:
            state.enabled = !bDragging && PanEditCommands::CanDeleteInRange(m_doc, start, end);
            return true;
        case CommandId::kEditCopy:
            state.enabled = PanEditCommands::CanCopy(m_doc, start, end);
            return true;
        case CommandId::kPaste:
            state.enabled = !bDragging && PanEditCommands::CanPaste(m_doc);
            return true;
        case CommandId::kPointProperties:
            state.enabled = m_view.Points().CanEditPointProperties();
            return true;
        case CommandId::kGenerateTrajectory:
            state.enabled = !bDragging;
            return true;
        case CommandId::kStretchPoints:
            state.enabled =
                !bDragging && end > start && PanEditCommands::CanDeleteInRange(m_doc, start, end);
            return true;
        case CommandId::kEditUndo:
            // A recording pass holds its step open until it ends.
            state.enabled = !bDragging && !m_doc.IsInGroup() && PanEditCommands::CanUndo(m_doc);
            state.text = UndoMenuText::Undo(m_doc.GetUndoHistory());
            return true;
        case CommandId::kEditRedo:
            state.enabled = !bDragging && !m_doc.IsInGroup() && PanEditCommands::CanRedo(m_doc);
            state.text = UndoMenuText::Redo(m_doc.GetUndoHistory());
            return true;
        case CommandId::kIndicatorFormat:
            state.enabled = true;
            state.text = StatusTexts::FormatText(m_doc);
            return true;
        case CommandId::kIndicatorSize:
            state.enabled = true;
            state.text = StatusTexts::SizeText(m_doc.GetDataBytes());
            return true;
        case CommandId::kIndicatorDuration:
            state.enabled = true;
            state.text =
                StatusTexts::DurationText(m_doc.GetFrameCount(), m_doc.GetFormat().sampleRate);
            return true;
        case CommandId::kIndicatorSelection:
            state.enabled = true;
            state.text = m_view.SelectionReadout();
            return true;
        case CommandId::kIndicatorMouse:
            state.enabled = true;
            state.text = m_view.MouseReadout();
            return true;
        case CommandId::kOverviewUpdate:
            state.enabled = true;
            if (!m_surface.IsDragging() && state.requester != nullptr && g.ImageWidth() != 0) {
                m_view.FeedOverviewBar(state.requester);
            }
            return true;
        default:
            return false;
    }
}

bool WaveViewCommands::RunCommand(unsigned id) {
    const uint32_t start = m_surface.GetSelStart();
    const uint32_t end = m_surface.GetSelEnd();
    switch (id) {
        case CommandId::kZoomIn:
            m_view.Navigation().ZoomIn();
            return true;
        case CommandId::kZoomOut:
            m_view.Navigation().ZoomOut();
            return true;
        case CommandId::kShowAll:
            m_view.Navigation().ShowAll();
            return true;
        case CommandId::kZoomSelection:
            m_view.Navigation().ZoomToSelection();
            return true;
        case CommandId::kSelectAll:
            m_view.SelectAll();
            return true;
        case CommandId::kEditPan:
            m_app.EnterPanEditMode();
            m_view.UpdateCursor(false);
            return true;
        case CommandId::kAllAround:
            m_view.SetAllAround(!m_view.IsAllAround());
            return true;
        case CommandId::kEditSelect:
            m_app.EnterSelectionMode();
            m_view.UpdateCursor(false);
            return true;
        case CommandId::kPlay:
            m_view.Playback().Play();
            return true;
        case CommandId::kPlayStop:
            // Whichever sound plays stops, and nothing starts: as Space in the view.
            if (m_app.IsPlaying()) {
                m_app.GetPlayback().Stop();
            } else {
                m_view.Playback().Play();
            }
            return true;
        case CommandId::kDeleteInRange:
            if (PanEditCommands::DeleteInRange(m_doc, start, end)) {
                m_surface.RepaintWave();
            }
            return true;
        case CommandId::kEditCut:
            if (PanEditCommands::Cut(m_doc, start, end)) {
                m_surface.RepaintWave();
            }
            return true;
        case CommandId::kEditCopy:
            PanEditCommands::Copy(m_doc, start, end);
            return true;
        case CommandId::kPaste:
            if (PanEditCommands::Paste(m_doc, start, end)) {
                m_surface.RepaintWave();
            }
            return true;
        case CommandId::kEditUndo:
            if (PanEditCommands::Undo(m_doc)) {
                m_surface.RepaintWave();
            }
            return true;
        case CommandId::kPointProperties:
            m_view.Points().EditPointProperties();
            return true;
        case CommandId::kGenerateTrajectory:
            // The selection, or with a caret (a selection of one frame) the whole sound.
            if (!m_surface.IsCaret()
                    ? m_app.Dialogs().GenerateTrajectory(m_doc, start, end)
                    : m_app.Dialogs().GenerateTrajectory(m_doc, 0, m_doc.GetFrameCount())) {
                m_surface.RepaintWave();
            }
            return true;
        case CommandId::kStretchPoints:
            if (m_app.Dialogs().StretchPoints(m_doc, start, end)) {
                m_surface.RepaintWave();
            }
            return true;
        case CommandId::kEditRedo:
            if (PanEditCommands::Redo(m_doc)) {
                m_surface.RepaintWave();
            }
            return true;
        default:
            return false;
    }
}
