#include "capture/CPictureControl.h"

#include <QPainter>

#include <cstdint>

void ConvertFramePixels(int width, int height, const unsigned char* pixels, QImage& image) {
    if (image.width() != width || image.height() != height ||
        image.format() != QImage::Format_RGB32)
        image = QImage(width, height, QImage::Format_RGB32);
    const int rowBytes = width * 3;
    for (int y = 0; y < height; ++y) {
        // Memory row 0 of the frame is the bottom row of the picture.
        const unsigned char* src = pixels + static_cast<std::size_t>(height - 1 - y) * rowBytes;
        auto* dst = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, src += 3)
            dst[x] = 0xff000000u | (std::uint32_t(src[2]) << 16) | (std::uint32_t(src[1]) << 8) |
                     std::uint32_t(src[0]);
    }
}

CPictureControl::CPictureControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPictureControl::imageReplaced() {
    if (size() != image_.size()) resize(image_.size());
    update();
}

void CPictureControl::setFramePixels(int width, int height, const unsigned char* pixels) {
    ConvertFramePixels(width, height, pixels, image_);
    if (size() != image_.size()) resize(image_.size());
    update();
}

QSize CPictureControl::sizeHint() const { return image_.size(); }

void CPictureControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}
