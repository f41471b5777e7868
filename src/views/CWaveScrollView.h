#pragma once

#include <QAbstractScrollArea>
#include <QEvent>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "document/DocumentListener.h"
#include "geometry/WaveViewGeometry.h"
#include "peaks/WaveImage.h"
#include "views/DocumentView.h"
#include "views/OverviewBarFeed.h"
#include "views/PanPointEditor.h"
#include "views/RecordFeed.h"
#include "views/WaveScrollBar.h"
#include "views/WaveSelection.h"
#include "views/WaveViewActions.h"
#include "views/WaveViewAside.h"
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
// which holds the playhead) and the readouts (WaveViewReadouts). Each kind of neighbour sees
// the view only through the interface it needs, which the view implements privately: the
// pieces that call back as their WaveViewSurface, the ruler, the scale, the lanes and the pane
// as their WaveViewAside, the commands as their WaveViewActions, the document window and the
// main frame as their DocumentView. The document and the application outlive the view.
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
                        public DocumentView,
                        public WaveViewSurface,
                        public WaveViewAside,
                        public WaveViewActions,
                        public DocumentListener {
    Q_OBJECT

  public:
    static constexpr int kCaretTimerId = 1000;
    static constexpr int kCaretPeriodMs = 700;

    CWaveScrollView(CTesselDoc& document, CEditorApp& app, QWidget* parent = nullptr);
    ~CWaveScrollView() override;

    CTesselDoc& GetDocument() const { return m_doc; }
    const WaveViewGeometry& Geometry() const override { return m_geometry; }
    // The geometry as the next paint draws it: every paint fits the scale to the total width.
    WaveViewGeometry PaintedGeometry() const override;
    bool SelectionInView() const;

    // Its pieces: zoom and scrolling, playing (the playhead: the frame being heard, drawn as a
    // line over the window's height; with "Cursor Follows Playback" the view pages ahead as it
    // reaches the right edge), and pan point editing (the keys, Point Properties, the drag).
    WaveViewNavigation& Navigation() override { return m_navigation; }
    WaveViewPlayback& Playback() override { return m_playback; }
    const WaveViewPlayback& Playback() const { return m_playback; }
    PanPointEditor& Points() override { return m_points; }

    // Selection: a caret when end == start + 1.
    void SetSelection(uint32_t start, uint32_t end) override;
    bool IsCaret() const override { return m_selection.IsCaret(); }
    uint32_t GetSelStart() const override { return m_selection.Start(); }
    uint32_t GetSelEnd() const override { return m_selection.End(); }
    bool IsCaretVisible() const { return m_selection.IsCaretVisible(); }
    void InvertCaret(bool toggle);
    // Centres frame in the window, as far as the waveform reaches.
    void ScrollToSample(uint32_t frame) override { m_navigation.ScrollToSample(frame); }

    // The view became the active one, or stopped being it: the caret blinks only while active.
    void ActivateView(bool active) override;
    bool IsActiveView() const override { return m_active; }
    // A gesture holds the mouse (a selection or a point being dragged).
    bool IsDragging() const override { return m_dragging; }

    // The all-around view: on while asked or while the trajectory is 3-D (which also makes it
    // asked, so an undo back to the front keeps the view).
    bool IsAllAround() const override { return m_geometry.IsAllAround(); }
    void SetAllAround(bool bAllAround) override;
    // The lanes of elevation and distance under the wave, shown in the all-around view.
    QWidget* Lanes() const;
    // The left button on the pan display while this view is active: only Record Trajectory
    // takes it; false when it did not.
    bool PanDisplayMouse(QEvent::Type type, double azimuth,
                         std::optional<double> distanceCm) override;
    QObject* GetOverviewBar() const { return m_overview.Bar(); }

    // The document window: this view under its time ruler, its direction scale beside it.
    QWidget& ViewWidget() override { return *this; }
    QWidget* MakeWindowContent() override;
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
    // ---- What the pieces see (WaveViewSurface) ----
    int SurfaceHeight() const override;
    int LaneStripHeight() const override;
    void RepaintRect(const QRect& rect) override;
    void RepaintWave() override;
    void RepaintAll() override;
    void PlaceCaret(uint32_t frame) override;
    void HideCaret() override;
    // Ends a point drag in hand as its release would: a recording pass is about to rewrite the
    // points, the dragged one among them.
    void EndPointDrag() override;
    // Brings the view's mode and its lanes in line with the trajectory after an edit.
    void SyncAllAround() override;
    void ShowStatusTip(const std::string& text) override;

    // ---- What the ruler, the scale, the lanes and the pane see (WaveViewAside) ----
    QAbstractScrollArea& ScrollArea() override { return *this; }
    const CTesselDoc& Document() const override { return m_doc; }
    QMetaObject::Connection OnDisplayChanged(QObject* receiver,
                                             std::function<void()> changed) override;
    void PlaceCaretFromRuler(uint32_t frame) override;
    // Stops what plays first.
    void PlayFrom(uint32_t frame) override;
    void SetPointer(std::optional<QPoint> at, bool bRuler) override;
    std::optional<int> PlayheadX() const override { return m_playback.PlayheadX(); }
    const PanPoint* LaneSelectedPoint() override;
    void LaneMouse(const QMouseEvent& event) override;
    void LaneLeft() override;

    // ---- What the commands see (WaveViewActions) ----
    void SelectAll() override;
    void UpdateCursor(bool bCtrlHeld) override;
    std::string SelectionReadout() const override { return m_readouts.SelectionText(); }
    std::string MouseReadout() override;
    void FeedOverviewBar(QObject* bar) override;

    // ---- Its document (DocumentListener) ----
    void OnTrajectoryChanged(CTesselDoc& document) override;

    int ClientHeight() const;
    // What the mouse points at in a lane: its frame and the lane's value.
    void SetLaneHover(uint32_t frame, std::pair<PlaceValue, int32_t> laneValue);
    // A recording pass is writing this view's trajectory.
    bool IsRecording() const;
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
