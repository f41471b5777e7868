#include "shell/StatusPanes.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTime>
#include <QVBoxLayout>
#include <algorithm>

#include "playback/CommandIds.h"

using namespace CommandId;

namespace {

const char* const kIdleMessage = "Ready";

// The classic width, or what shows the pane's text whole in its current font: the text after
// QLabel's indent (half an "x" in a framed label when none is set), inside the frame.
int PaneWidth(const QLabel& pane, int classicWidth) {
    const QFontMetrics metrics = pane.fontMetrics();
    int indent = pane.indent();
    if (indent < 0) {
        indent = pane.frameWidth() > 0 ? metrics.horizontalAdvance('x') / 2 : 0;
    }
    const int needed = metrics.horizontalAdvance(pane.text()) + indent + 2 * pane.frameWidth();
    return std::max(classicWidth, needed);
}

}  // namespace

StatusPanes::StatusPanes(QStatusBar& bar) : m_bar(bar) {
    m_panes[0] = new QLabel(kIdleMessage, &bar);
    bar.addWidget(m_panes[0], 1);
    const int widths[] = {kFormatPaneWidth, kDurationPaneWidth, kSizePaneWidth};
    const unsigned ids[] = {kIndicatorFormat, kIndicatorDuration, kIndicatorSize};
    for (int i = 0; i < 3; ++i) {
        auto* pane = new QLabel(kBlankPane, &bar);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setFixedWidth(widths[i]);
        pane->setProperty("commandId", ids[i]);
        pane->setProperty("classicWidth", widths[i]);
        bar.addPermanentWidget(pane);
        m_panes[i + 1] = pane;
    }
    // Each is at least as wide as a typical text of its kind, so the digits can change
    // without the bar moving.
    const unsigned readoutIds[] = {kIndicatorSelection, kIndicatorMouse, kIndicatorPlay,
                                   kIndicatorRecord};
    const char* const typical[] = {"Caret 00:00.000 (0000000)",
                                   "Mouse 00:00.000 (0000000) +00\u00B0",
                                   "Play 00:00.000 (0000000)", "Record: Latch"};
    for (int i = 0; i < 4; ++i) {
        auto* pane = new QLabel(&bar);
        pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pane->setProperty("commandId", readoutIds[i]);
        pane->setText(QString::fromUtf8(typical[i]));
        pane->setProperty("classicWidth", PaneWidth(*pane, 0));
        // A pane of fixed size takes a new text without laying out the bar again: the play
        // position changes 30 times a second.
        pane->setFixedHeight(pane->sizeHint().height());
        pane->setText(QString());
        pane->hide();
        bar.addPermanentWidget(pane);
        m_readoutPanes[i] = pane;
    }
    m_pWholeLine = new QLabel(bar.window());
    m_pWholeLine->setObjectName("statusLineWhole");
    m_pWholeLine->setWordWrap(true);
    m_pWholeLine->setFrameStyle(QFrame::Panel | QFrame::Raised);
    m_pWholeLine->setAutoFillBackground(true);
    m_pWholeLine->setBackgroundRole(QPalette::ToolTipBase);
    m_pWholeLine->setForegroundRole(QPalette::ToolTipText);
    m_pWholeLine->setMargin(3);
    m_pWholeLine->setCursor(Qt::PointingHandCursor);
    m_pWholeLine->setToolTip("Click: all the lines reported, in Messages");
    m_pWholeLine->installEventFilter(this);
    m_pWholeLine->hide();
    bar.window()->installEventFilter(this);
    m_messageWatch = QObject::connect(&bar, &QStatusBar::messageChanged, &bar,
                                      [this](const QString& shown) { OnMessageChanged(shown); });
    // The message area is the bar's own while a line shows, else the idle pane's.
    for (QWidget* area : {static_cast<QWidget*>(&bar), static_cast<QWidget*>(m_panes[0])}) {
        area->setMouseTracking(true);
        area->installEventFilter(this);
    }
}

StatusPanes::~StatusPanes() {
    QObject::disconnect(m_messageWatch);
    m_bar.removeEventFilter(this);
    m_bar.window()->removeEventFilter(this);
}

void StatusPanes::ShowStatusLine(const QString& text, int ms) {
    m_keptLines.push_back(QTime::currentTime().toString("HH:mm:ss") + "  " + text);
    while (m_keptLines.size() > static_cast<size_t>(kKeptLines)) {
        m_keptLines.pop_front();
    }
    if (m_pMessages) {
        m_pMessageText->setPlainText(
            QStringList(m_keptLines.rbegin(), m_keptLines.rend()).join('\n'));
    }
    ShowMessage(text, ms);
    ShowWhole(m_ownLine == text ? QString() : text);
}

void StatusPanes::SetPlaying(bool bPlaying) {
    m_bPlaying = bPlaying;
    if (bPlaying) {
        m_pWholeLine->hide();
    }
}

void StatusPanes::ShowWhole(const QString& text) {
    if (text.isEmpty() || m_bPlaying) {
        m_pWholeLine->hide();
        return;
    }
    m_pWholeLine->setText(text);
    PlaceWholeLine();
    m_pWholeLine->show();
    m_pWholeLine->raise();
}

void StatusPanes::PlaceWholeLine() {
    // Across the window's width, its bottom on the bar's top, as tall as the text needs.
    QWidget* window = m_bar.window();
    const int width = window->width();
    const int height = m_pWholeLine->heightForWidth(width);
    const int bottom = m_bar.mapTo(window, QPoint(0, 0)).y();
    m_pWholeLine->setGeometry(0, bottom - height, width, height);
}

QWidget* StatusPanes::OpenMessages() {
    if (m_keptLines.empty()) {
        return nullptr;
    }
    if (!m_pMessages) {
        m_pMessages = new QDialog(m_bar.window());
        m_pMessages->setObjectName("messagesWindow");
        m_pMessages->setWindowTitle("Messages");
        m_pMessages->setAttribute(Qt::WA_DeleteOnClose);
        m_pMessageText = new QPlainTextEdit(m_pMessages);
        m_pMessageText->setReadOnly(true);
        m_pMessageText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, m_pMessages);
        QObject::connect(buttons, &QDialogButtonBox::rejected, m_pMessages, &QDialog::close);
        auto* layout = new QVBoxLayout(m_pMessages);
        layout->addWidget(new QLabel("What Sonomap reported, newest first:", m_pMessages));
        layout->addWidget(m_pMessageText);
        layout->addWidget(buttons);
        m_pMessages->resize(640, 320);
    }
    m_pMessageText->setPlainText(QStringList(m_keptLines.rbegin(), m_keptLines.rend()).join('\n'));
    m_pMessages->show();
    m_pMessages->raise();
    m_pMessages->activateWindow();
    return m_pMessages;
}

bool StatusPanes::InMessageArea(const QPoint& at) const {
    return at.x() < MessageWidth() + 6;
}

bool StatusPanes::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == m_pWholeLine && event->type() == QEvent::MouseButtonPress) {
        OpenMessages();
        return true;
    }
    if (widget == m_bar.window() && event->type() == QEvent::Resize && m_pWholeLine->isVisible()) {
        PlaceWholeLine();
    }
    if (widget == &m_bar || widget == m_panes[0]) {
        const auto inArea = [&](const QMouseEvent* mouse) {
            return widget == m_panes[0] || InMessageArea(mouse->position().toPoint());
        };
        if (event->type() == QEvent::MouseButtonPress) {
            const auto* press = static_cast<QMouseEvent*>(event);
            if (press->button() == Qt::LeftButton && inArea(press) && OpenMessages() != nullptr) {
                return true;
            }
        } else if (event->type() == QEvent::MouseMove) {
            // The message area reads as a link once there is something to open.
            const bool bLink = !m_keptLines.empty() && inArea(static_cast<QMouseEvent*>(event));
            if (bLink != (widget->cursor().shape() == Qt::PointingHandCursor)) {
                bLink ? widget->setCursor(Qt::PointingHandCursor) : widget->unsetCursor();
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void StatusPanes::ShowMessage(const QString& text, int ms) {
    const QString shown = Elided(text);
    m_ownLine = shown;
    m_bar.setToolTip(shown == text ? QString() : text);
    m_bar.showMessage(shown, ms);
}

void StatusPanes::OnMessageChanged(const QString& shown) {
    // The strip goes with the line it shows whole.
    if (shown != m_ownLine) {
        m_pWholeLine->hide();
    }
    if (shown.isEmpty()) {
        m_bar.setToolTip(QString());
        m_ownLine.clear();
        return;
    }
    if (shown == m_ownLine) {
        return;
    }
    // A fly-by text of a menu item or a tool button, shown by Qt until the next.
    ShowMessage(shown, 0);
}

int StatusPanes::MessageWidth() const {
    // As QStatusBar lays out its message: from 6 pixels in to 2 before the first shown pane.
    int right = m_bar.width() - 12;
    for (QLabel* pane : {m_panes[1], m_panes[2], m_panes[3]}) {
        if (pane->isVisible()) {
            right = std::min(right, pane->x() - 2);
            break;
        }
    }
    return right - 6;
}

QString StatusPanes::Elided(const QString& text) const {
    if (!m_bar.isVisible()) {
        return text;  // not laid out: no width to fit
    }
    return m_bar.fontMetrics().elidedText(text, Qt::ElideRight, std::max(0, MessageWidth()));
}

void StatusPanes::Update(const AskState& ask) {
    for (int i = 1; i < 4; ++i) {
        CommandState state;
        ask(m_panes[i]->property("commandId").toUInt(), state);
        const QString text = QString::fromStdString(state.text.value_or(""));
        if (m_panes[i]->text() != text) {
            m_panes[i]->setText(text);
        }
        FitWidth(*m_panes[i]);
    }
    UpdateReadouts(ask);
}

void StatusPanes::UpdateReadouts(const AskState& ask) {
    for (QLabel* pane : m_readoutPanes) {
        CommandState state;
        ask(pane->property("commandId").toUInt(), state);
        const QString text = QString::fromStdString(state.text.value_or(""));
        // A running play position is shown ten times a second, more than anyone reads; its
        // start and its end at once.
        const bool bRunning = pane == m_readoutPanes[2] && !text.isEmpty() &&
                              !pane->text().isEmpty() && m_playPaneClock.isValid() &&
                              m_playPaneClock.elapsed() < kPlayPaneIntervalMs;
        if (pane->text() != text && !bRunning) {
            pane->setText(text);
            if (pane == m_readoutPanes[2]) {
                m_playPaneClock.start();
            }
        }
        FitWidth(*pane);
        // Shown while a document is open, blank or not, so the bar does not jump.
        if (pane->isHidden() == state.enabled) {
            pane->setVisible(state.enabled);
        }
    }
}

void StatusPanes::FitWidth(QLabel& pane) {
    // Wider only while the text would be cut off. Measured again only when the text or the
    // font has changed: measuring shapes the text, and the panes are refreshed after every
    // tick of a playback.
    PaneFit& fit = m_paneFits[&pane];
    if (fit.bValid && fit.text == pane.text() && fit.font == pane.font()) {
        return;
    }
    fit = PaneFit{true, pane.text(), pane.font()};
    const int width = PaneWidth(pane, pane.property("classicWidth").toInt());
    if (pane.minimumWidth() != width || pane.maximumWidth() != width) {
        pane.setFixedWidth(width);
    }
}
