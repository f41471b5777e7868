#pragma once

#include <QProxyStyle>
#include <QString>

// The menus' style: the application's own, but each item's key text, the part after "\t",
// drawn in the one form the accelerators are written in ("Ctrl+Right" for the stored
// "Ctrl + ->"), so a menu never shows two spellings. The items' texts stay as stored.
class MenuKeyStyle : public QProxyStyle {
  public:
    explicit MenuKeyStyle(QObject* parent);

    // An item's text as this style draws it: "Zoom &In\tCtrl + ->" as "Zoom &In\tCtrl+Right".
    static QString Shown(const QString& itemText);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
};
