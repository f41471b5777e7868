#include "shell/CRoomDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "document/AcousticsChunk.h"
#include "document/CTesselDoc.h"
#include "scene/Scene.h"
#include "trajectory/SoundPlace.h"

namespace {

constexpr double kRadians = std::numbers::pi / 180.0;
constexpr int kMargin = 12;

QDoubleSpinBox* Metres(double value, double low, double high) {
    auto* box = new QDoubleSpinBox;
    box->setRange(low, high);
    box->setDecimals(3);
    box->setSingleStep(0.1);
    box->setSuffix(" m");
    box->setValue(value);
    return box;
}

QDoubleSpinBox* Coefficient(double value) {
    auto* box = new QDoubleSpinBox;
    box->setRange(0.01, 1.0);
    box->setDecimals(4);
    box->setSingleStep(0.05);
    box->setValue(value);
    return box;
}

}  // namespace

CRoomTopView::CRoomTopView(const CTesselDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setMinimumSize(220, 180);
}

void CRoomTopView::SetRoom(const Room& room) {
    m_room = room;
    update();
}

QPointF CRoomTopView::PixelOf(double x, double y) const {
    const double w = std::max(m_room.width, 0.01), d = std::max(m_room.depth, 0.01);
    const double scale = std::min((width() - 2.0 * kMargin) / w, (height() - 2.0 * kMargin) / d);
    const double left = (width() - w * scale) / 2.0, top = (height() - d * scale) / 2.0;
    return {left + x * scale, top + (d - y) * scale};
}

void CRoomTopView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    painter.fillRect(rect(), colours.base());
    painter.setPen(QPen(colours.text().color(), 2));
    painter.drawRect(QRectF(PixelOf(0.0, m_room.depth), PixelOf(m_room.width, 0.0)));
    // The path, every 1/200 of the sound, from its first place.
    const PanPointList& points = m_doc.GetPanPoints();
    if (!points.IsEmpty()) {
        PlaceCursor cursor(points);
        QPainterPath path;
        const uint32_t frames = std::max<uint32_t>(m_doc.GetFrameCount(), 1);
        for (int k = 0; k <= 200; ++k) {
            const SoundPlace place =
                cursor.At(static_cast<uint32_t>(uint64_t{frames} * static_cast<uint64_t>(k) / 200));
            const double az = place.azimuth * kRadians, el = place.elevation * kRadians;
            const double d = place.distanceCm / 100.0;
            const QPointF at = PixelOf(m_room.listenerX + d * std::sin(az) * std::cos(el),
                                       m_room.listenerY + d * std::cos(az) * std::cos(el));
            if (k == 0) {
                path.moveTo(at);
                painter.setBrush(colours.highlight());
                painter.setPen(Qt::NoPen);
                painter.drawEllipse(at, 4.0, 4.0);
            } else {
                path.lineTo(at);
            }
        }
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(colours.highlight().color(), 1.5));
        painter.drawPath(path);
    }
    // The listener, facing the front wall.
    const QPointF head = PixelOf(m_room.listenerX, m_room.listenerY);
    painter.setPen(QPen(colours.text().color(), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(head, 6.0, 6.0);
    painter.drawLine(head, head + QPointF(0.0, -12.0));
}

CRoomDialog::CRoomDialog(CTesselDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle("Room");
    const Room room = doc.GetAcoustics().room.value_or(Room{});
    m_pInRoom = new QCheckBox("Hear the sound in this room");
    m_pInRoom->setChecked(doc.GetAcoustics().room.has_value());
    auto* form = new QFormLayout;
    auto* sizes = new QHBoxLayout;
    m_size = {Metres(room.width, 0.1, 1000.0), Metres(room.depth, 0.1, 1000.0),
              Metres(room.height, 0.1, 1000.0)};
    for (QDoubleSpinBox* box : m_size) {
        sizes->addWidget(box);
    }
    form->addRow("Size (width, depth, height):", sizes);
    auto* at = new QHBoxLayout;
    m_listener = {Metres(room.listenerX, 0.0, 1000.0), Metres(room.listenerY, 0.0, 1000.0),
                  Metres(room.listenerZ, 0.0, 1000.0)};
    for (QDoubleSpinBox* box : m_listener) {
        at->addWidget(box);
    }
    form->addRow("Listener (x, y, z):", at);
    m_pAbsorption = Coefficient(room.absorption[0]);
    form->addRow("Absorption:", m_pAbsorption);
    m_pEachWall = new QCheckBox("Each wall its own");
    const bool bEach = std::any_of(room.absorption.begin(), room.absorption.end(),
                                   [&](double a) { return a != room.absorption[0]; });
    m_pEachWall->setChecked(bEach);
    form->addRow("", m_pEachWall);
    auto* walls = new QGridLayout;
    const char* names[] = {"Left (x = 0)",  "Right (x = W)", "Back (y = 0)",
                           "Front (y = D)", "Floor",         "Ceiling"};
    for (int k = 0; k < 6; ++k) {
        m_walls[static_cast<size_t>(k)] = Coefficient(room.absorption[static_cast<size_t>(k)]);
        walls->addWidget(new QLabel(names[k]), k / 2, (k % 2) * 2);
        walls->addWidget(m_walls[static_cast<size_t>(k)], k / 2, (k % 2) * 2 + 1);
    }
    form->addRow(walls);
    m_pOrder = new QSpinBox;
    m_pOrder->setRange(0, 12);
    m_pOrder->setValue(room.reflections);
    form->addRow("Reflections (order):", m_pOrder);
    m_pTail = new QCheckBox("Late tail");
    m_pTail->setChecked(room.bTail);
    form->addRow("", m_pTail);
    m_pTop = new CRoomTopView(doc);
    m_pMessage = new QLabel;
    m_pMessage->setWordWrap(true);
    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CRoomDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CRoomDialog::reject);

    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(m_pInRoom);
    left->addLayout(form);
    columns->addLayout(left);
    columns->addWidget(m_pTop, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(m_pMessage);
    layout->addWidget(m_pButtons);

    for (QDoubleSpinBox* box :
         {m_size[0], m_size[1], m_size[2], m_listener[0], m_listener[1], m_listener[2],
          m_pAbsorption, m_walls[0], m_walls[1], m_walls[2], m_walls[3], m_walls[4], m_walls[5]}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, &CRoomDialog::Check);
    }
    connect(m_pOrder, &QSpinBox::valueChanged, this, &CRoomDialog::Check);
    for (QCheckBox* box : {m_pInRoom, m_pEachWall, m_pTail}) {
        connect(box, &QCheckBox::toggled, this, &CRoomDialog::Check);
    }
    Check();
}

QDoubleSpinBox* CRoomDialog::Field(const std::string& name) const {
    const char* sizes[] = {"width", "depth", "height"};
    const char* axes[] = {"x", "y", "z"};
    for (size_t k = 0; k < 3; ++k) {
        if (name == sizes[k]) {
            return m_size[k];
        }
        if (name == axes[k]) {
            return m_listener[k];
        }
    }
    if (name == "absorption") {
        return m_pAbsorption;
    }
    for (size_t k = 0; k < 6; ++k) {
        if (name == "absorption" + std::to_string(k)) {
            return m_walls[k];
        }
    }
    return nullptr;
}

Room CRoomDialog::RoomOfFields() const {
    Room room;
    room.width = m_size[0]->value();
    room.depth = m_size[1]->value();
    room.height = m_size[2]->value();
    room.listenerX = m_listener[0]->value();
    room.listenerY = m_listener[1]->value();
    room.listenerZ = m_listener[2]->value();
    for (size_t k = 0; k < 6; ++k) {
        room.absorption[k] =
            m_pEachWall->isChecked() ? m_walls[k]->value() : m_pAbsorption->value();
    }
    room.reflections = m_pOrder->value();
    room.bTail = m_pTail->isChecked();
    return room;
}

void CRoomDialog::Check() {
    const bool bRoom = m_pInRoom->isChecked();
    for (QDoubleSpinBox* box : m_walls) {
        box->setEnabled(bRoom && m_pEachWall->isChecked());
    }
    m_pAbsorption->setEnabled(bRoom && !m_pEachWall->isChecked());
    const Room room = RoomOfFields();
    m_pTop->SetRoom(room);
    std::string why;
    if (bRoom) {
        SceneSpace space;
        space.acoustics.room = room;
        why = space.Refusal(m_doc.GetPanPoints(), m_doc.GetFrameCount(),
                            m_doc.GetFormat().sampleRate);
    }
    m_bValid = why.empty();
    m_pMessage->setText(QString::fromStdString(why));
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(m_bValid);
}

void CRoomDialog::accept() {
    if (!m_bValid) {
        return;
    }
    Acoustics acoustics = m_doc.GetAcoustics();
    acoustics.room = m_pInRoom->isChecked() ? std::optional<Room>(RoomOfFields()) : std::nullopt;
    m_doc.SetAcoustics(acoustics);
    QDialog::accept();
}
