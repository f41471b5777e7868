#pragma once

#include <QDialog>
#include <QWidget>
#include <array>
#include <optional>

#include "document/Acoustics.h"

class CTesselDoc;
class QCheckBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QSpinBox;

// The room seen from above, as the Room dialog draws it: the walls, the listener (a ring with a
// tick toward +y, the way the head faces) and the path the trajectory takes, projected on the
// floor, from its first place (a dot) on. y grows upward on screen, so the front wall is at the
// top.
class CRoomTopView : public QWidget {
  public:
    explicit CRoomTopView(const CTesselDoc& doc, QWidget* parent = nullptr);
    void SetRoom(const Room& room);
    // Where a point of the room (metres) is drawn, in widget pixels.
    QPointF PixelOf(double x, double y) const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const CTesselDoc& m_doc;
    Room m_room;
};

// "Room...": the room a document's sound is heard in. Its size, the listener's place, the walls'
// absorption (one for all, or each its own), the order of the reflections and the late tail,
// with the room seen from above. OK keeps the room with the document (Doppler and air as they
// were), so every preview and export hears it from the next tick on; "No room" takes it away.
// A room that cannot be, or a path that leaves it, says why under the fields and OK waits. The
// document outlives the dialog.
class CRoomDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CRoomDialog(CTesselDoc& doc, QWidget* parent = nullptr);

    QCheckBox* InRoomBox() const { return m_pInRoom; }
    // "width", "depth", "height", "x", "y", "z", "absorption", "absorption0" .. "absorption5".
    QDoubleSpinBox* Field(const std::string& name) const;
    QCheckBox* EachWallBox() const { return m_pEachWall; }
    QSpinBox* OrderBox() const { return m_pOrder; }
    QCheckBox* TailBox() const { return m_pTail; }
    QLabel* Message() const { return m_pMessage; }
    CRoomTopView* TopView() const { return m_pTop; }
    bool CanAccept() const { return m_bValid; }
    // The room the fields hold.
    Room RoomOfFields() const;

    void accept() override;

  private:
    void Check();

    CTesselDoc& m_doc;
    QCheckBox* m_pInRoom;
    std::array<QDoubleSpinBox*, 3> m_size{};
    std::array<QDoubleSpinBox*, 3> m_listener{};
    QDoubleSpinBox* m_pAbsorption;
    QCheckBox* m_pEachWall;
    std::array<QDoubleSpinBox*, 6> m_walls{};
    QSpinBox* m_pOrder;
    QCheckBox* m_pTail;
    QLabel* m_pMessage;
    CRoomTopView* m_pTop;
    QDialogButtonBox* m_pButtons;
    bool m_bValid = true;
};
