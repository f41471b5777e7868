#pragma once

#include <QImage>
#include <QMdiArea>

// The document area: the document windows in front of a tile of bitmap 163, drawn here in
// the current button colours and drawn again when the palette changes.
class CMainFrameClient : public QMdiArea {
    Q_OBJECT

  public:
    static constexpr int kTileWidth = 64;  // pixels
    static constexpr int kTileHeight = 52;

    explicit CMainFrameClient(QWidget* parent = nullptr);

    // Bitmap 163 in the colours of palette: its face, light, dark and shadow.
    static QImage DrawTile(const QPalette& palette);
    // Lines minimised document windows up along the bottom, left to right.
    void ArrangeIcons();
    // The open document windows one step down and right of each other, oldest first, each
    // still big enough to work in.
    void Cascade();
    // How far a cascaded window lies from the one before: one title bar, in pixels.
    static int CascadeStep(const QWidget& area);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void LoadTile();
};
