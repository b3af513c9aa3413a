#include "capture/CompareView.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kCompareCaptionHeight = 18;

}   // namespace

void CompareView::setSide(int side, const QImage& image, QSize full, const QString& caption) {
    Side& s = sides_[side];
    const QImage picture = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    const QSize size = full.isEmpty() ? picture.size() : full;
    if (!picture.isNull() && picture.size() == size) {
        s.whole = picture;
        if (s.image.isNull() || s.full != size) s.image = picture;
    } else {
        s.image = picture;
        s.whole = QImage();
    }
    s.full = size;
    s.caption = caption;
}

QRect CompareView::Half(int side, QSize size) {
    const int left = (size.width() - kGap) / 2;
    return side == kLeft ? QRect(0, 0, left, size.height())
                         : QRect(left + kGap, 0, size.width() - left - kGap, size.height());
}

QSize CompareView::reference() const {
    return !sides_[kLeft].full.isEmpty() ? sides_[kLeft].full : sides_[kRight].full;
}

QPoint CompareView::scaled(QPoint p, QSize from, QSize to) const {
    if (from.isEmpty() || from == to) return p;
    return {static_cast<int>(qint64(p.x()) * to.width() / from.width()),
            static_cast<int>(qint64(p.y()) * to.height() / from.height())};
}

QRect CompareView::fitted(int side, QSize size) const {
    const QRect half = Half(side, size);
    const QSize fit = sides_[side].full.scaled(half.size(), Qt::KeepAspectRatio);
    return {half.topLeft() +
                QPoint((half.width() - fit.width()) / 2, (half.height() - fit.height()) / 2),
            fit};
}

QPoint CompareView::CentreOf(int side, QSize size) const {
    const Side& s = sides_[side];
    const QSize half = Half(side, size).size();
    const QPoint c = scaled(centre_, reference(), s.full);
    const int x =
        std::clamp(c.x() - (half.width() - 1) / 2, 0, std::max(0, s.full.width() - half.width()));
    const int y = std::clamp(c.y() - (half.height() - 1) / 2, 0,
                             std::max(0, s.full.height() - half.height()));
    // The half's middle pixel as QRect::center counts it.
    return {x + (std::min(half.width(), s.full.width()) - 1) / 2,
            y + (std::min(half.height(), s.full.height()) - 1) / 2};
}

QPoint CompareView::PicturePoint(int side, QPoint at, QSize size) const {
    const Side& s = sides_[side];
    if (s.full.isEmpty()) return {};
    const QRect half = Half(side, size);
    QPoint p;
    if (actual_) {
        p = CentreOf(side, size) + at - half.center();
    } else {
        const QRect fit = fitted(side, size);
        if (fit.isEmpty()) return {};
        p = QPoint(static_cast<int>(qint64(at.x() - fit.x()) * s.full.width() / fit.width()),
                   static_cast<int>(qint64(at.y() - fit.y()) * s.full.height() / fit.height()));
    }
    return {std::clamp(p.x(), 0, s.full.width() - 1), std::clamp(p.y(), 0, s.full.height() - 1)};
}

void CompareView::ToggleActualSize(QPoint at, QSize size) {
    if (actual_) {
        actual_ = false;
        return;
    }
    int side = Half(kRight, size).contains(at) ? kRight : kLeft;
    if (sides_[side].full.isEmpty()) side = 1 - side;
    if (sides_[side].full.isEmpty()) return;
    centre_ = scaled(PicturePoint(side, at, size), sides_[side].full, reference());
    actual_ = true;
}

void CompareView::Pan(QPoint by) {
    if (!actual_) return;
    const QSize ref = reference();
    // Kept where the left picture still fills its half (its middle moves no further).
    const QSize half = Half(kLeft, last_).size();
    const auto keep = [](int v, int half, int whole) {
        return whole <= half ? (whole - 1) / 2
                             : std::clamp(v, (half - 1) / 2, whole - half + (half - 1) / 2);
    };
    centre_ = QPoint(keep(centre_.x() - by.x(), half.width(), ref.width()),
                     keep(centre_.y() - by.y(), half.height(), ref.height()));
}

QImage CompareView::Render(QSize size) {
    last_ = size;
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(QColor(32, 32, 32));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int side : {kLeft, kRight}) {
        const Side& s = sides_[side];
        const QRect half = Half(side, size);
        painter.fillRect(half, Qt::black);
        painter.setClipRect(half);
        if (!s.image.isNull() && actual_) {
            const QImage& from = s.whole.isNull() ? s.image : s.whole;
            // The picture's pixels one for one around the shared point; from a smaller decode
            // magnified until the whole picture is there.
            const QPoint c = CentreOf(side, size);
            const QSize shown = half.size().boundedTo(s.full);
            const QRect source(c - QPoint((shown.width() - 1) / 2, (shown.height() - 1) / 2),
                               shown);
            const QPoint at = half.topLeft() + QPoint((half.width() - shown.width()) / 2,
                                                      (half.height() - shown.height()) / 2);
            if (from.size() == s.full) {
                painter.drawImage(at, from, source);
            } else {
                const double kx = double(from.width()) / s.full.width();
                const double ky = double(from.height()) / s.full.height();
                painter.drawImage(QRect(at, shown), from,
                                  QRectF(source.x() * kx, source.y() * ky, source.width() * kx,
                                         source.height() * ky));
            }
        } else if (!s.image.isNull()) {
            painter.drawImage(fitted(side, size), s.image);
        }
        // The name and shooting data along the bottom of the half (or why there is no picture,
        // in its middle).
        painter.setPen(Qt::white);
        if (s.image.isNull()) {
            painter.drawText(half.adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap,
                             s.caption);
        } else if (!s.caption.isEmpty()) {
            const QRect band(half.left(), half.bottom() - kCompareCaptionHeight + 1, half.width(),
                             kCompareCaptionHeight);
            painter.fillRect(band, QColor(0, 0, 0, 160));
            painter.drawText(band.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             s.caption);
        }
        painter.setClipping(false);
    }
    return canvas;
}
