#include "shell/MenuKeyStyle.h"

#include <QKeySequence>
#include <QStyleOptionMenuItem>

MenuKeyStyle::MenuKeyStyle(QObject* parent) : QProxyStyle() {
    setParent(parent);
}

QString MenuKeyStyle::Shown(const QString& itemText) {
    const qsizetype tab = itemText.indexOf('\t');
    if (tab < 0) {
        return itemText;
    }
    QStringList parts = itemText.mid(tab + 1).split('+');
    for (QString& part : parts) {
        part = part.trimmed();
        if (part == "->") {
            part = "Right";
        } else if (part == "<-") {
            part = "Left";
        }
    }
    // What Qt reads as a key is written as Qt writes it; anything else as it was stored.
    const QString joined = parts.join('+');
    const QKeySequence key = QKeySequence::fromString(joined, QKeySequence::PortableText);
    const QString written = key.count() == 1 ? key.toString(QKeySequence::NativeText) : QString();
    return itemText.left(tab + 1) + (written.isEmpty() ? itemText.mid(tab + 1) : written);
}

void MenuKeyStyle::drawControl(ControlElement element, const QStyleOption* option,
                               QPainter* painter, const QWidget* widget) const {
    if (element == CE_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            QStyleOptionMenuItem shown(*item);
            shown.text = Shown(item->text);
            QProxyStyle::drawControl(element, &shown, painter, widget);
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QSize MenuKeyStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                     const QSize& size, const QWidget* widget) const {
    if (type == CT_MenuItem) {
        if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            QStyleOptionMenuItem shown(*item);
            shown.text = Shown(item->text);
            return QProxyStyle::sizeFromContents(type, &shown, size, widget);
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}
