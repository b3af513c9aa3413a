#include "capture/CPictureControl.h"

#include "document/FocusPeaking.h"

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

void CPictureControl::imageReplaced() { update(); }

void CPictureControl::setFramePixels(int width, int height, const unsigned char* pixels) {
    ConvertFramePixels(width, height, pixels, image_);
    update();
}

void CPictureControl::setHighlightClipped(bool on) {
    if (on == highlightClipped_) return;
    highlightClipped_ = on;
    update();
}

void CPictureControl::setThirdsGrid(bool on) {
    if (on == thirdsGrid_) return;
    thirdsGrid_ = on;
    update();
}

void CPictureControl::setFocusPeaking(bool on) {
    if (on == focusPeaking_) return;
    focusPeaking_ = on;
    update();
}

void CPictureControl::setOverlay(const LiveOverlay* overlay) {
    overlay_ = overlay;
    update();
}

void CPictureControl::MarkClipped(const QImage& image, QImage& mask) {
    if (mask.size() != image.size() || mask.format() != QImage::Format_ARGB32)
        mask = QImage(image.size(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(mask.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = src[x];
            const bool clipped = qRed(p) == 255 || qGreen(p) == 255 || qBlue(p) == 255;
            dst[x] = clipped ? kClippedColour : 0u;
        }
    }
}

void CPictureControl::ScaleNearest(const QImage& image, QSize size, QImage& scaled) {
    if (scaled.size() != size || scaled.format() != image.format())
        scaled = QImage(size, image.format());
    if (image.isNull() || size.isEmpty()) return;
    for (int y = 0; y < size.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(
            image.constScanLine(static_cast<int>(qint64(y) * image.height() / size.height())));
        auto* dst = reinterpret_cast<QRgb*>(scaled.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            dst[x] = src[qint64(x) * image.width() / size.width()];
    }
}

QImage CPictureControl::PoolPeaking(const QImage& marks, QSize size) {
    QImage pooled(size, QImage::Format_Indexed8);
    pooled.setColorTable({0u, kPeakingColour});
    pooled.fill(0);
    if (marks.isNull() || size.isEmpty()) return pooled;
    for (int y = 0; y < marks.height(); ++y) {
        const uchar* row = marks.constScanLine(y);
        uchar* out = pooled.scanLine(static_cast<int>(qint64(y) * size.height() / marks.height()));
        for (int x = 0; x < marks.width(); ++x)
            if (row[x] == kPeakingMark)
                out[qint64(x) * size.width() / marks.width()] = kPeakingMark;
    }
    return pooled;
}

QSize CPictureControl::sizeHint() const { return image_.size(); }

void CPictureControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Scaled at paint time into a buffer kept from frame to frame (nearest pixel, so a clipped
    // pixel stays clipped), then drawn unscaled: nothing is allocated while the size stays.
    const QRect target = rect();
    const QImage* shown = &image_;
    if (!image_.isNull() && image_.size() != target.size()) {
        ScaleNearest(image_, target.size(), scaled_);
        shown = &scaled_;
    }
    if (overlay_ && !shown->isNull() && overlay_->Prepare(shown->size(), overlayLayer_)) {
        LiveOverlay::Compose(*shown, overlayLayer_.image, composed_);
        painter.drawImage(0, 0, composed_);
    } else {
        painter.drawImage(0, 0, *shown);
    }
    if (highlightClipped_ && !shown->isNull()) {
        MarkClipped(*shown, clipMask_);
        painter.drawImage(0, 0, clipMask_);
    }
    if (focusPeaking_ && !shown->isNull()) {
        // One byte a pixel, drawn through a two-colour table (0 transparent).
        if (peakMask_.size() != shown->size() || peakMask_.format() != QImage::Format_Indexed8) {
            peakMask_ = QImage(shown->size(), QImage::Format_Indexed8);
            peakMask_.setColorTable({0u, kPeakingColour});
        }
        MarkPeaking(reinterpret_cast<const std::uint32_t*>(shown->constBits()), shown->width(),
                    shown->height(), static_cast<std::size_t>(shown->bytesPerLine()) / 4,
                    peakMask_.bits(), static_cast<std::size_t>(peakMask_.bytesPerLine()));
        painter.drawImage(0, 0, peakMask_);
    }
    if (thirdsGrid_) {
        painter.setPen(QPen(QColor(255, 255, 255, 160), 1));
        for (int i = 1; i <= 2; ++i) {
            const int x = target.width() * i / 3;
            const int y = target.height() * i / 3;
            painter.drawLine(x, 0, x, target.height() - 1);
            painter.drawLine(0, y, target.width() - 1, y);
        }
    }
}
