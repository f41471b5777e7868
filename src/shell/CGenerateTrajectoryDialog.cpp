#include "shell/CGenerateTrajectoryDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cmath>

#include "document/CTesselDoc.h"
#include "document/TrajectorySpan.h"
#include "playback/CEditorApp.h"
#include "trajectory/TrajectoryGenerator.h"

namespace {

// How a key reads in the dialog: its label, unit and decimals.
struct KeyLook {
    const char* label;
    const char* unit;
    int decimals;
};

KeyLook LookOf(const std::string& key) {
    static const std::map<std::string, KeyLook> looks = {
        {"from", {"&From", " frames", 0}},
        {"to", {"&To", " frames", 0}},
        {"start", {"&Start azimuth", "\u00B0", 1}},
        {"end", {"&End azimuth", "\u00B0", 1}},
        {"period", {"&Period", " s", 3}},
        {"direction", {"&Direction", "", 0}},
        {"elevation", {"E&levation", "\u00B0", 1}},
        {"distance", {"Dist&ance", " m", 2}},
        {"el-start", {"Start e&levation", "\u00B0", 1}},
        {"el-end", {"End elevati&on", "\u00B0", 1}},
        {"seed", {"S&eed", "", 0}},
        {"min", {"Lo&west azimuth", "\u00B0", 1}},
        {"max", {"Hi&ghest azimuth", "\u00B0", 1}},
        {"speed", {"S&peed", "\u00B0/s", 1}},
    };
    const auto it = looks.find(key);
    return it != looks.end() ? it->second : KeyLook{"", "", 3};
}

QDoubleSpinBox* NumberBox(QWidget* parent, const std::string& key, double min, double max,
                          double value) {
    const KeyLook look = LookOf(key);
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromStdString(key) + "Box");
    box->setDecimals(look.decimals);
    box->setRange(min, max);
    box->setValue(value);
    box->setSuffix(look.unit);
    box->setAccelerated(true);
    return box;
}

// The generator's words for a key ("key 'from' must lie before 'to'") in the dialog's.
QString InDialogWords(std::string error, const std::vector<std::string>& keys) {
    for (const std::string& key : keys) {
        QString label = LookOf(key).label;
        label.remove('&');
        for (const std::string& quoted : {"key '" + key + "'", "'" + key + "'"}) {
            for (size_t at = error.find(quoted); at != std::string::npos;
                 at = error.find(quoted, at)) {
                error.replace(at, quoted.size(), label.toStdString());
            }
        }
    }
    return QString::fromStdString(error);
}

QString NumberText(double value) {
    return QString::number(value, 'g', 12);
}

}  // namespace

CGenerateTrajectoryDialog::CGenerateTrajectoryDialog(CTesselDoc& doc, uint32_t from, uint32_t to,
                                                     QWidget* parent)
    : QDialog(parent),
      m_doc(doc),
      m_pShape(new QComboBox(this)),
      m_pFrom(NumberBox(this, "from", 0, doc.GetFrameCount(), from)),
      m_pTo(NumberBox(this, "to", 0, doc.GetFrameCount(), to)),
      m_pPages(new QStackedWidget(this)),
      m_pMessage(new QLabel(this)),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle("Generate Trajectory");
    m_pShape->setObjectName("shapeBox");
    m_pMessage->setObjectName("message");
    m_pMessage->setWordWrap(true);
    auto* form = new QFormLayout;
    auto* shapeLabel = new QLabel("S&hape:", this);
    shapeLabel->setBuddy(m_pShape);
    form->addRow(shapeLabel, m_pShape);
    for (QDoubleSpinBox* box : {m_pFrom, m_pTo}) {
        auto* label = new QLabel(LookOf(box == m_pFrom ? "from" : "to").label + QString(":"), this);
        label->setBuddy(box);
        form->addRow(label, box);
        connect(box, &QDoubleSpinBox::valueChanged, this, &CGenerateTrajectoryDialog::Preview);
    }
    for (const std::string& name : TrajectoryGenerator::ShapeNames()) {
        m_pShape->addItem(QString::fromStdString(name));
        AddPage(name);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_pPages);
    layout->addWidget(m_pMessage);
    layout->addWidget(m_pButtons);
    setMinimumWidth(420);

    connect(m_pShape, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_pPages->setCurrentIndex(index);
        Preview();
    });
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &CGenerateTrajectoryDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &CGenerateTrajectoryDialog::reject);
    Preview();
}

CGenerateTrajectoryDialog::~CGenerateTrajectoryDialog() {
    if (m_bOpen) {
        m_doc.DiscardGroup();
    }
}

void CGenerateTrajectoryDialog::AddPage(const std::string& shape) {
    std::string error;
    const auto generator = TrajectoryGenerator::Parse(shape, 1, 1, error);
    auto* widget = new QWidget(m_pPages);
    auto* form = new QFormLayout(widget);
    form->setContentsMargins(0, 0, 0, 0);
    Page page;
    for (const TrajectoryGenerator::Key& key : TrajectoryGenerator::KeysOf(generator->GetShape())) {
        page.keys.push_back(key.name);
        QWidget* field = nullptr;
        if (key.name == "direction") {
            page.direction = new QComboBox(widget);
            page.direction->setObjectName("directionBox");
            page.direction->addItem("Right (clockwise seen from above)", 1);
            page.direction->addItem("Left (anticlockwise)", -1);
            page.direction->setCurrentIndex(key.value > 0 ? 0 : 1);
            connect(page.direction, &QComboBox::currentIndexChanged, this,
                    &CGenerateTrajectoryDialog::Preview);
            field = page.direction;
        } else {
            QDoubleSpinBox* box = NumberBox(widget, key.name, key.min, key.max, key.value);
            connect(box, &QDoubleSpinBox::valueChanged, this, &CGenerateTrajectoryDialog::Preview);
            page.numbers[key.name] = box;
            field = box;
        }
        auto* label = new QLabel(QString(LookOf(key.name).label) + ":", widget);
        label->setBuddy(field);
        form->addRow(label, field);
    }
    m_pPages->addWidget(widget);
    m_pages.push_back(std::move(page));
}

QDoubleSpinBox* CGenerateTrajectoryDialog::Field(const std::string& key) const {
    if (key == "from" || key == "to") {
        return key == "from" ? m_pFrom : m_pTo;
    }
    const Page& page = m_pages[static_cast<size_t>(m_pShape->currentIndex())];
    const auto it = page.numbers.find(key);
    return it != page.numbers.end() ? it->second : nullptr;
}

QComboBox* CGenerateTrajectoryDialog::DirectionBox() const {
    return m_pages[static_cast<size_t>(m_pShape->currentIndex())].direction;
}

std::string CGenerateTrajectoryDialog::KeysText() const {
    QStringList items;
    items << "from=" + NumberText(m_pFrom->value()) << "to=" + NumberText(m_pTo->value());
    const Page& page = m_pages[static_cast<size_t>(m_pShape->currentIndex())];
    for (const std::string& key : page.keys) {
        const QString name = QString::fromStdString(key);
        if (key == "direction") {
            items << name + "=" + (page.direction->currentData().toInt() > 0 ? "right" : "left");
        } else {
            items << name + "=" + NumberText(page.numbers.at(key)->value());
        }
    }
    return m_pShape->currentText().toStdString() + ":" + items.join(",").toStdString();
}

void CGenerateTrajectoryDialog::Preview() {
    if (m_pages.size() != static_cast<size_t>(m_pShape->count())) {
        return;  // still being built
    }
    // Each preview starts again from the points as they were, so a span that moved leaves
    // nothing behind.
    if (m_bOpen) {
        m_doc.DiscardGroup();
    }
    m_doc.BeginGroup(UndoKind::Replace);
    m_bOpen = true;
    std::string error;
    const auto generator = TrajectoryGenerator::Parse(KeysText(), m_doc.GetFrameCount(),
                                                      m_doc.GetFormat().sampleRate, error);
    std::vector<PanPoint> points;
    m_bValid = generator && generator->Generate(points, error) &&
               TrajectorySpan::Replace(m_doc, generator->From(), generator->To(), points);
    std::vector<std::string> keys = m_pages[static_cast<size_t>(m_pShape->currentIndex())].keys;
    keys.insert(keys.end(), {"from", "to"});
    m_pMessage->setText(m_bValid ? QString("%1 points").arg(points.size())
                                 : InDialogWords(error, keys));
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(m_bValid);
}

void CGenerateTrajectoryDialog::accept() {
    if (!m_bValid) {
        return;
    }
    m_doc.EndGroup();
    m_bOpen = false;
    QDialog::accept();
}

void CGenerateTrajectoryDialog::reject() {
    if (m_bOpen) {
        m_doc.DiscardGroup();
        m_bOpen = false;
    }
    QDialog::reject();
}

void CGenerateTrajectoryDialog::Install(CEditorApp& app, QWidget* parent) {
    app.Dialogs().SetGenerate([parent](CTesselDoc& doc, uint32_t from, uint32_t to) {
        CGenerateTrajectoryDialog dialog(doc, from, to, parent);
        return dialog.exec() == QDialog::Accepted;
    });
}
