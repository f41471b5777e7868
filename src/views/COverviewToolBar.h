#pragma once

#include <QImage>
#include <QToolBar>
#include <optional>

#include "geometry/TopView.h"
#include "platform/MonoBitmap.h"
#include "views/OverviewComposer.h"
#include "views/ViewEvents.h"

class UserPrompts;

// The bar along the bottom of the main frame: the active view's whole sound with the visible
// range and the selection marked, and at its right end the pan display with the direction the
// sound comes from. The view pushes its state (OverviewUpdateEvent), playback and pan dragging
// push the direction (SetLivePanEvent); the bar never asks the document. It paints only in its
// paint event, from the state below. Coordinates are the bar's pixels; directions degrees.
//
// The bar keeps its own copy of the last overview image: the view's pointer is compared with
// the next one, never followed after ViewUpdate returns.
//
// Beside that, a thin inverted line shows the play position (SetPlayPositionEvent), and the left
// button navigates: a click over the overview centres the view there, a drag drags the
// visible range. The bar only asks for it (CentreRequested); the frame moves the view.
class COverviewToolBar : public QToolBar {
    Q_OBJECT
  public:
    // prompts shows the one failure the bar can meet; it must outlive the bar.
    explicit COverviewToolBar(UserPrompts& prompts, QWidget* parent = nullptr);

    // Redraws the overview for info unless nothing changed since the last update (and neither
    // info.force nor a resize asks for it). When there is no memory for the overview's pixels
    // it shows "Couldn't create DC!" and keeps the last info.
    void ViewUpdate(const OverviewViewInfo& info);
    // Shows direction pan (clamped to -90 ... +90), or no marker for kNoLivePan. A repeated
    // value repaints nothing; a change repaints only the old and the new marker squares.
    void SetLivePan(int pan);
    int GetLivePan() const { return m_livePan; }
    // The all-around view's display: the listener from above, the source at its azimuth and
    // distance with its elevation beside it, in place of the frontal picture.
    void SetTopView(bool bTopView);
    void SetLivePlace(const std::optional<SoundPlace>& place);
    bool IsTopView() const { return m_bTopView; }
    // The place at the view's caret, shown as a ring where the marker would be while no
    // direction is live (playing or dragging), so the display says where the sound is at the
    // caret too. None with no sound. The view from above shows it the same way, with a view
    // from the side for its elevation.
    void SetCaretPlace(const std::optional<SoundPlace>& place);
    const std::optional<SoundPlace>& GetCaretPlace() const { return m_caretPlace; }
    // Beside the view from above, left of it: the listener from the side, facing right.
    QRect SideViewRect() const;
    static constexpr int kSideViewWidth = 100;
    // The play position's line at frame of the last info's sound, or none (kNoPlayPosition).
    // A change repaints only the old and the new line.
    void SetPlayPosition(uint32_t frame);
    uint32_t GetPlayPosition() const { return m_playFrame; }
    // The line's rectangle for frame; empty when there is no sound or no position.
    QRect PlayLineRect(uint32_t frame) const;

    // Below the top border line.
    QRect ClientRect() const;
    // The client less the pan picture and its 2-pixel gap (and the side view with its gap
    // while the view from above shows); its outer ring is the sunken frame.
    QRect OverviewAreaRect() const;
    QPoint PanPictureOrigin() const;
    // The 10 x 10 square a direction's marker covers.
    QRect MarkerRect(int pan) const;
    const QImage& PanPicture() const { return m_panPicture; }
    OverviewColours Colours() const;

    // In its frame's bottom area with no other bar, shown or hidden, on its row.
    bool HasRowOfItsOwn() const;

    // The full frame width (32767) at the bar's height.
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // The view should centre frame of its sound.
    void CentreRequested(uint32_t frame);
    // The left button pressed (then moved, released) on the pan display: the direction under
    // the pointer in degrees and, on the view from above, its distance in cm. The frame hands
    // it to the active view, which records it when armed and playing.
    void PanDisplayMouse(QEvent::Type type, double azimuth, std::optional<double> distanceCm);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // Inside the sunken frame: what ViewUpdate draws.
    QRect OverviewFaceRect() const;
    void DrawPanDisplay(QPainter& painter) const;
    void DrawTopView(QPainter& painter) const;
    void DrawSideView(QPainter& painter) const;
    // The caret's direction on the frontal picture; kNoLivePan without a caret place.
    int CaretPan() const;
    void DrawMinPanDisplay(int pan);
    void DrawSunkenFrame(QPainter& painter) const;
    // Inside the face: where the waveform bands, the selection and the play line go.
    QRect OverviewImageRect() const;
    // Starts or continues the navigation for the mouse at x.
    void Navigate(int x, bool bPress);
    // The view from above's middle and the radius of its 100 m ring.
    TopView::Spot TopViewCentre() const;
    double TopViewRim() const;
    void SendPanDisplayMouse(QEvent::Type type, QPoint at);
    // Rebuilds the overview's pixels from the kept info and image at the current size.
    bool RecomposeOverview();

    UserPrompts& m_prompts;
    const QImage m_panPicture;
    const QImage m_panMarker;
    OverviewViewInfo m_lastInfo;
    std::optional<MonoBitmap> m_overviewImage;  // copy of m_lastInfo.overviewImage
    QImage m_overviewPixels;                    // at OverviewFaceRect(); null shows the face
    bool m_bForceRedraw = false;
    int m_livePan = kNoLivePan;
    bool m_bTopView = false;
    std::optional<SoundPlace> m_livePlace;
    std::optional<SoundPlace> m_caretPlace;
    uint32_t m_playFrame = kNoPlayPosition;
    bool m_bNavigating = false;
    bool m_bOnPanDisplay = false;  // the left button went down on the pan display
    int64_t m_grabOffset = 0;      // frames from the mouse to the view's centre
};
