#include "ui/COrvView.h"

#include <QPainter>
#include <cstring>

#include "document/COrvDoc.h"
#include "render/MonochromePicture.h"

namespace orv::ui {

QImage pictureImage(const orv::MonochromePicture& picture) {
    const int side = picture.side();
    QImage image(side, side, QImage::Format_Mono);
    image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    const auto bits = picture.bits();
    const auto rowBytes = static_cast<std::size_t>(picture.bytesPerRow());
    // Row by row: the image pads each scanline to 32 bits, the picture packs its rows back to
    // back; the two agree for every side we make, but nothing here should depend on that.
    for (int row = 0; row < side; ++row) {
        std::memcpy(image.scanLine(row), bits.data() + static_cast<std::size_t>(row) * rowBytes,
                    rowBytes);
    }
    return image;
}

COrvView::COrvView(const orv::COrvDoc& doc, QWidget* parent) : QWidget(parent), doc_(doc) {
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
}

void COrvView::RedrawAll() {
    // A new picture may reuse the address of the one it replaced.
    imageSource_ = nullptr;
    image_ = QImage();
    update();
}

QSize COrvView::sizeHint() const {
    // Room for a 512-pixel picture with a margin.
    return {544, 544};
}

void COrvView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    DrawPicture(painter);
}

void COrvView::DrawPicture(QPainter& painter) {
    const auto* picture = doc_.picture();
    if (picture == nullptr) {
        return;
    }
    if (imageSource_ != picture || image_.isNull()) {
        image_ = pictureImage(*picture);
        imageSource_ = picture;
    }
    // One picture pixel to one device pixel, also on a scaled screen: the image carries the
    // screen's ratio, and the picture is centred in the client area as counted in device
    // pixels, so that the halving rounds as it does on an unscaled one.
    const qreal ratio = devicePixelRatioF();
    image_.setDevicePixelRatio(ratio);
    const QSize deviceClient = (QSizeF(size()) * ratio).toSize();
    painter.drawImage(QPointF(pictureOrigin(deviceClient, picture->side())) / ratio, image_);
}

}  // namespace orv::ui
