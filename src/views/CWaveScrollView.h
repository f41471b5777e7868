#pragma once

#include <QAbstractScrollArea>
#include <QEvent>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "document/DocumentListener.h"
#include "geometry/WaveViewGeometry.h"
#include "peaks/WaveImage.h"
#include "playback/CommandTarget.h"
#include "views/OverviewBarFeed.h"
#include "views/PanPointEditor.h"
#include "views/RecordFeed.h"
#include "views/WaveScrollBar.h"
#include "views/WaveSelection.h"
#include "views/WaveViewCommands.h"
#include "views/WaveViewNavigation.h"
#include "views/WaveViewPlayback.h"
#include "views/WaveViewReadouts.h"
#include "views/WaveViewSurface.h"

class CEditorApp;
class CPlaceLanes;
class CTesselDoc;
class QPainter;

// The scrolling view of one open sound: its wave image at a zoom, the selection (a caret or a
// range of frames) and the pan trajectory with its mouse editing. The
// widget does the Qt work: events turned into calls, the selection and the caret, painting
// through WaveViewPainter, command routing to WaveViewCommands. The rest are pieces of its
// own: the geometry and image, the scroll bar, the navigation (WaveViewNavigation), pan point
// editing (PanPointEditor), the overview bar (OverviewBarFeed), playing (WaveViewPlayback,
// which holds the playhead) and the readouts (WaveViewReadouts). The pieces that call back
// see the view only as their WaveViewSurface. The document and the application outlive the
// view.
//
// Units: frames from 0; columns and x, y as WaveViewGeometry has them. Transient graphics
// (caret, selection, drag preview) are state: a change repaints exactly the rectangles an
// inversion would touch, and the paint draws the state by inversion.
//
// Beside that it shows where things are: the blue playhead while its sound plays and the texts
// of the position panes. The time ruler above it is a widget of its own (CTimeRuler) that
// reads the same geometry.
//
// All around: for a 3-D trajectory, or when asked, the wave's height is azimuth over the whole
// circle and the lanes of elevation and distance (CPlaceLanes) sit under it, in a margin of
// the drawing area; a frontal document is drawn exactly as before until then.
//
// It listens to its document: a change made elsewhere (a dialog's preview, recovered points,
// an undo through the menu) is drawn at once, and a 3-D trajectory turns the view all around.
class CWaveScrollView : public QAbstractScrollArea,
                        public CommandTarget,
                        public WaveViewSurface,
                        public DocumentListener {
    Q_OBJECT

  public:
    static constexpr int kCaretTimerId = 1000;
    static constexpr int kCaretPeriodMs = 700;

    CWaveScrollView(CTesselDoc& document, CEditorApp& app, QWidget* parent = nullptr);
    ~CWaveScrollView() override;

    void OnTrajectoryChanged(CTesselDoc& document) override;

    CTesselDoc& GetDocument() const { return m_doc; }
    const WaveViewGeometry& Geometry() const { return m_geometry; }
    // The geometry as the next paint draws it: every paint fits the scale to the total width.
    WaveViewGeometry PaintedGeometry() const override;
    int SurfaceHeight() const override;
    int LaneStripHeight() const override;
    void RepaintRect(const QRect& rect) override;
    void RepaintWave() override;
    void ShowStatusTip(const std::string& text) override;

    // Centres frame in the window, as far as the waveform reaches.
    void ScrollToSample(uint32_t frame) override { m_navigation.ScrollToSample(frame); }
    bool SelectionInView() const;

    // Zoom and selection commands; their enabling is the geometry's.
    void ZoomIn() { m_navigation.ZoomIn(); }
    void ZoomOut() { m_navigation.ZoomOut(); }
    void ShowAll() { m_navigation.ShowAll(); }
    void ZoomToSelection() { m_navigation.ZoomToSelection(); }
    void SelectAll();

    // Selection: a caret when end == start + 1.
    void SetSelection(uint32_t start, uint32_t end) override;
    bool IsCaret() const override { return m_selection.IsCaret(); }
    uint32_t GetSelStart() const override { return m_selection.Start(); }
    uint32_t GetSelEnd() const override { return m_selection.End(); }
    bool IsCaretVisible() const { return m_selection.IsCaretVisible(); }
    void InvertCaret(bool toggle);
    // Erases the caret if it is drawn.
    void HideCaret() override;
    // The view became the active one, or stopped being it: the caret blinks only while active.
    void ActivateView(bool active);
    bool IsActiveView() const override { return m_active; }

    // Plays the selection, or from the caret to the end.
    void Play() { m_playback.Play(); }
    // Erases the caret if it is drawn and puts it at frame.
    void PlaceCaret(uint32_t frame) override;

    // The playhead: the frame being heard, drawn as a 1-pixel blue line over the window's
    // height; a step repaints only the old and the new column. With "Cursor Follows Playback"
    // the view pages ahead as the line reaches the right edge. The active view also shows it
    // on the overview bar.
    static constexpr QRgb kPlayheadColour = 0xFF0000FF;
    void ShowPlayPosition(std::optional<uint32_t> frame) { m_playback.ShowPlayPosition(frame); }
    std::optional<uint32_t> GetPlayPosition() const { return m_playback.Frame(); }
    // The line's window column, or none when silent or outside the window.
    std::optional<int> PlayheadX() const { return m_playback.PlayheadX(); }

    // The ruler's gestures: a click puts the caret at frame, a double-click plays from there
    // (stopping what plays first).
    void PlaceCaretFromRuler(uint32_t frame);
    void PlayFrom(uint32_t frame);
    // What the mouse points at: a frame and, over the wave, the direction its height stands
    // for; none once it has left. In the all-around view, with the lane value under the mouse.
    void SetHover(std::optional<uint32_t> frame, std::optional<int> pan,
                  std::optional<std::pair<PlaceValue, int32_t>> laneValue = std::nullopt) {
        m_readouts.SetHover(frame, pan, laneValue);
        m_bLaneHover = true;
    }
    // Where the mouse is, in pixels of the wave's drawing area, or of the time ruler above it
    // (bRuler: a frame only); none once it has left. The readout follows the frame under it
    // when the view moves beneath a still mouse.
    void SetPointer(std::optional<QPoint> at, bool bRuler = false);

    // The all-around view: on while asked or while the trajectory is 3-D (which also makes it
    // asked, so an undo back to the front keeps the view).
    bool IsAllAround() const { return m_geometry.IsAllAround(); }
    void SetAllAround(bool bAllAround);
    // Brings the view's mode and its lanes in line with the trajectory after an edit.
    void SyncAllAround() override;
    void RepaintAll() override;
    QWidget* Lanes() const;
    // The lanes' mouse: presses, moves and releases in rows of the lane strip.
    void LaneMouse(const QMouseEvent& event);
    // The left button on the pan display while this view is active: the direction under the
    // pointer, and its distance (cm) on the view from above. Only Record Trajectory takes it;
    // false when it did not.
    bool PanDisplayMouse(QEvent::Type type, double azimuth, std::optional<double> distanceCm);
    // The selected point the lanes frame, in pan edit mode when no drag is on.
    const PanPoint* LaneSelectedPoint();

    // The position panes' texts: the caret or the selection; the point being dragged, else the
    // mouse (empty when it is elsewhere); the play position (empty when silent).
    std::string SelectionReadout() const { return m_readouts.SelectionText(); }
    std::string MouseReadout();
    std::string PlayReadout() const { return m_playback.PlayReadout(); }

    // Moves the window's left edge by columns, within the waveform.
    void ScrollByColumns(int64_t columns) { m_navigation.ScrollByColumns(columns); }

    bool IsDragPreviewShown() const { return m_points.IsDragPreviewShown(); }
    const PanPoint* GetDragPoint() const { return m_points.Drag().Point(); }
    const PanPoint* GetDragPrev() const { return m_points.Drag().Prev(); }
    bool IsDragging() const override { return m_dragging; }
    // Ends a point drag in hand as its release would: a recording pass is about to rewrite the
    // points, the dragged one among them.
    void EndPointDrag() override;
    // A recording pass is writing this view's trajectory.
    bool IsRecording() const;
    // The pan point the keyboard edits (Tab, arrows, Delete) and Point Properties opens on.
    PanPointKeys& Keys() { return m_points.Keys(); }
    bool CanEditPointProperties() const { return m_points.CanEditPointProperties(); }
    // The Point Properties dialog on the selected point.
    void EditPointProperties() { m_points.EditPointProperties(); }
    QObject* GetOverviewBar() const { return m_overview.Bar(); }

    // Tells the overview bar what this view shows, and keeps the bar for the live pan.
    void FeedOverviewBar(QObject* bar);
    // The cursor of the edit mode over the drawing area: 134 or, with Ctrl, 141; or 135.
    void UpdateCursor(bool bCtrlHeld);

    // Routed to the view's commands.
    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

  signals:
    // The window's columns stand for other frames now: a scroll, a zoom or a resize. Sent by
    // the paint that shows it.
    void DisplayChanged();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    int ClientHeight() const;
    void FirstDisplay();
    void OnCaretTimer();
    void InvalidateAll();
    // The window rectangle of a band of window columns over the image height.
    QRect BandRect(const WaveViewGeometry::Band& band) const;
    void Repaint(const WaveSelection::Bands& bands);
    void PaintOverlays(QPainter& painter);
    void PositionLanes();

    bool IsMono() const;
    // Runs a command only while it is enabled, as the menus and keys do.
    bool RunIfEnabled(unsigned id);
    void ShowContextMenu(const QPoint& position);

    CTesselDoc& m_doc;
    CEditorApp& m_app;
    WaveViewGeometry m_geometry;
    WaveImage m_image;
    WaveViewCommands m_commands;
    WaveScrollBar m_scrollBar;

    WaveSelection m_selection;
    OverviewBarFeed m_overview;
    PanPointEditor m_points;
    WaveViewNavigation m_navigation;
    WaveViewReadouts m_readouts;
    std::optional<QPoint> m_pointer;
    bool m_bPointerOnRuler = false;
    bool m_bLaneHover = false;  // the lanes set the hover last
    bool m_dragging = false;
    bool m_displayed = false;
    bool m_active = false;
    bool m_bAllAroundAsked = false;
    CPlaceLanes* m_pLanes;  // a child widget, shown in the all-around view

    QTimer m_caretTimer;
    // What the last paint showed, to tell the ruler when the columns moved.
    struct Display {
        WaveViewGeometry::Column left = -1;
        uint32_t totalWidth = 0;
        int width = 0;
        bool operator==(const Display&) const = default;
    };
    Display m_lastDisplay;
    RecordFeed m_recording;
    // Last, so that its sound stops (and a recording pass ends) while every other part of the
    // view is still there.
    WaveViewPlayback m_playback;
};
