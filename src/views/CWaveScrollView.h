#pragma once

#include <QAbstractScrollArea>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "document/PanPoint.h"
#include "playback/CommandTarget.h"
#include "playback/PlayingView.h"
#include "views/peaks/WaveImage.h"

class CEditorApp;
class CTesselDoc;
class QPainter;

// The scrolling view of one open sound: its wave image at a zoom, the selection (a caret or a
// range of frames) and, for a mono sound, the pan trajectory with its mouse editing. It plays
// its document through the application's mixer session with the direction following the
// trajectory. The document and the application outlive the view; the view owns its image.
//
// Units: samples are frames from 0; columns are pixels of the whole waveform laid out at the
// current zoom (L is the left column shown, W the image width); x and y are viewport pixels.
// Transient graphics (caret, selection, drag preview) are state: a change repaints exactly the
// rectangles an inversion would touch, and the paint draws the state by inversion.
class CWaveScrollView : public QAbstractScrollArea, public CommandTarget, public PlayingView {
    Q_OBJECT

  public:
    static constexpr int kCaretTimerId = 1000;
    static constexpr int kCaretPeriodMs = 700;
    static constexpr int kPlaybackTimerId = 1001;
    static constexpr int kPlaybackPeriodMs = 33;
    // Scroll bars hold positions up to this; wider waveforms scroll in scaled units.
    static constexpr uint32_t kMaxScrollPosition = 32767;

    CWaveScrollView(CTesselDoc& document, CEditorApp& app, QWidget* parent = nullptr);
    ~CWaveScrollView() override;

    CTesselDoc& GetDocument() const { return m_doc; }

    // Geometry; every result is truncated toward zero.
    uint32_t ColumnOfSample(uint32_t sample) const;
    uint32_t SampleOfColumn(uint32_t column) const;
    uint32_t GetLeftColumn() const;
    uint32_t SampleAtX(int x) const;
    bool IsSampleVisible(uint32_t sample) const;
    bool SelectionInView() const;
    void ScrollToSample(uint32_t sample);
    uint32_t ZoomAnchorSample() const;
    void UpdateScrollSizes();

    // Zoom and selection commands with their enabling rules.
    void ZoomIn();
    void ZoomOut();
    void ShowAll();
    void ZoomToSelection();
    void SelectAll();
    bool CanZoomIn() const;
    bool CanZoomOut() const;
    bool CanZoomToSelection() const;
    bool CanSelectAll() const;

    // Selection: a caret when end == start + 1.
    void SetSelection(uint32_t start, uint32_t end);
    bool IsCaret() const { return m_selEnd == m_selStart + 1; }
    uint32_t GetSelStart() const { return m_selStart; }
    uint32_t GetSelEnd() const { return m_selEnd; }
    bool IsCaretVisible() const { return m_caretVisible; }
    void InvertSelectionRegion();
    void InvertCaret(bool toggle);
    // The view became the active one, or stopped being it: the caret blinks only while active.
    void ActivateView(bool active);
    bool IsActiveView() const { return m_active; }

    // Playback.
    void Play();
    bool IsPlaybackTimerRunning() const { return m_playbackTimer.isActive(); }
    // The direction a tick sends for the mixer's play position (frames from the start of the
    // played range); none when the trajectory has gone, and the sound keeps its direction.
    std::optional<int32_t> StepDirection(uint32_t position);
    void StopPlaybackTimer() override;
    void SendLivePan(int pan) override;
    bool ShowsCaret() const override { return IsCaret(); }
    void PlaceCaret(uint32_t frame) override;

    // The pan axis: whole degrees against image rows.
    int YOfPan(int pan) const;
    int PanFromY(int y) const;

    // Pan point editing with the left button in pan edit mode. A press with Ctrl deletes the
    // point under the mouse; otherwise it grabs that point or adds one, and the drag moves it
    // between its neighbours. flags are Qt keyboard modifiers.
    void BeginPanEdit(Qt::KeyboardModifiers flags, int x, int y);
    // Shows or hides the drag preview: the two segments through the point being dragged.
    void DrawDragPoint();
    bool IsDragPreviewShown() const { return m_dragPreviewShown; }
    const PanPoint* GetDragPoint() const { return m_dragPoint; }
    const PanPoint* GetDragPrev() const { return m_dragPrev; }

    // Read-only state for the bars and the tests.
    double GetSamplesPerPixel() const { return m_wave.m_samplesPerPixel; }
    uint32_t GetTotalWidth() const { return m_wave.m_totalWidth; }
    uint32_t GetZoomFactor() const { return m_zoomFactor; }
    bool IsZoomedToSelection() const { return m_zoomedToSelection; }
    int GetImageWidth() const { return m_wave.m_imageWidth; }
    int GetImageHeight() const { return m_wave.m_imageHeight; }
    bool IsDirectScroll() const { return m_directScroll; }
    double GetScrollScale() const { return m_scrollScale; }
    int GetScrollRemainder() const { return m_scrollRemainder; }
    int GetScrollRange() const { return m_scrollRange; }
    bool IsDragging() const { return m_dragging; }
    QObject* GetOverviewBar() const { return m_overviewBar; }

    // The status texts of the open sound.
    static std::string FormatText(const CTesselDoc& document);
    static std::string SizeText(uint32_t dataBytes);
    static std::string DurationText(uint32_t frames, uint32_t sampleRate);

    bool UpdateCommand(unsigned id, CommandState& state) override;
    bool RunCommand(unsigned id) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void customEvent(QEvent* event) override;

  private:
    int ClientWidth() const;
    int ClientHeight() const;
    void FirstDisplay();
    void OnScrollAction(int action);
    void FinishZoom();
    void HideCaret();
    void OnCaretTimer();
    void OnPlaybackTick();
    void OnWaveDone();
    void InvalidateAll();
    // The window rectangle of the columns [a, b) over the image height, clipped to the window;
    // empty when nothing of it shows.
    QRect BandRect(uint32_t a, uint32_t b) const;
    std::optional<QRect> SelectionRect() const;
    std::optional<QRect> CaretRect() const;
    void InvertRect(QPainter& painter, const QRect& rect) const;

    std::vector<PanPoint> CopyPanPoints() const;
    // The trajectory from a sorted run of points: the document's own, or the press's copy.
    using PointAtOrBeforeFn = std::function<const PanPoint*(uint32_t frame)>;
    using NextPointFn = std::function<const PanPoint*(const PanPoint* point)>;
    void DrawPanTrajectory(QPainter& painter, const PointAtOrBeforeFn& atOrBefore,
                           const NextPointFn& nextOf) const;
    void DrawPanMarker(QPainter& painter, int x, int y) const;
    bool IsMono() const;
    bool InPanEditMode() const;
    // The edit mode as this view obeys it.
    int EditMode() const;
    // The hit window around a press: the first point in it, or none.
    PanPoint* HitPoint(int x, int y) const;
    void DragPanPoint(int x, int y);
    void EndPanEdit();
    // The drag preview's vertices in window pixels, clipped to the window.
    QPolygon DragPreviewPath() const;
    // Runs a command only while it is enabled, as the menus and keys do.
    bool RunIfEnabled(unsigned id);
    void ShowContextMenu(const QPoint& position);
    // The cursor of the edit mode over the drawing area: 134 or, with Ctrl, 141; or 135.
    void UpdateCursor(bool bCtrlHeld);

    CTesselDoc& m_doc;
    CEditorApp& m_app;

    uint32_t m_selStart = 0;
    uint32_t m_selEnd = 1;
    uint32_t m_anchor = 0;
    WaveImage m_wave;
    uint32_t m_zoomFactor = 1;
    bool m_zoomedToSelection = false;
    bool m_caretVisible = false;
    bool m_dragging = false;
    bool m_directScroll = true;
    double m_scrollScale = 1.0;
    int m_scrollRemainder = 0;
    int m_scrollRange = 0;
    int m_scrollBarHeight = 0;
    bool m_displayed = false;
    bool m_active = false;
    // Set while the scroll bar is moved by the view itself, so no request is seen.
    bool m_settingScroll = false;
    // Set while UpdateScrollSizes shows or hides the scroll bar.
    bool m_inScrollSizes = false;

    QTimer m_caretTimer;
    QTimer m_playbackTimer;
    // Counts starts of playback; a wave-done notice names the start it belongs to.
    uint32_t m_playNumber = 0;
    QPointer<QObject> m_overviewBar;

    // The point being added or moved, and its neighbours when the drag began; owned by the
    // document's list.
    PanPoint* m_dragPoint = nullptr;
    PanPoint* m_dragPrev = nullptr;
    PanPoint* m_dragNext = nullptr;
    bool m_dragPreviewShown = false;
    // The trajectory as it was at the press, drawn until the release.
    std::vector<PanPoint> m_dragSnapshot;
};
