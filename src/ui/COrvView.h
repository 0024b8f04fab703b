#pragma once

#include <QImage>
#include <QPoint>
#include <QSize>
#include <QWidget>

namespace orv {
class COrvDoc;
class MonochromePicture;
}  // namespace orv

namespace orv::ui {

// Where a picture of `side` pixels goes in a client area of `client` size, both in device
// pixels: centred, each halving rounded toward minus infinity, so a client one pixel narrower
// than the picture puts it at -1 and a larger picture is clipped equally on both sides (to
// within one pixel).
constexpr int centredOffset(int clientExtent, int side) {
    return (clientExtent - side) >> 1;
}
constexpr QPoint pictureOrigin(QSize client, int side) {
    return {centredOffset(client.width(), side), centredOffset(client.height(), side)};
}

// The picture's bits as an image: one bit per pixel, rows top first, bit 0 black, bit 1 white.
QImage pictureImage(const orv::MonochromePicture& picture);

// Shows the document's picture unscaled (one picture pixel to one device pixel), centred on
// white. Keeps nothing of the model but a converted copy of the current picture, dropped
// whenever the document says it changed.
class COrvView : public QWidget {
    Q_OBJECT
public:
    explicit COrvView(const orv::COrvDoc& doc, QWidget* parent = nullptr);

    // The document's update: the picture changed or went; repaint everything.
    void RedrawAll();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawPicture(QPainter& painter);

    const orv::COrvDoc& doc_;
    const orv::MonochromePicture* imageSource_ = nullptr;
    QImage image_;
};

}  // namespace orv::ui
