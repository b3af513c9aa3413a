#include "capture/ThumbnailMarks.h"

#include "capture/PictureLoader.h"
#include "picture/Sidecar.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <map>
#include <tuple>

QRect ClientPickHeartRect(const QRect& rect) {
    return QRect(rect.right() - 25, rect.top() + 4, 22, 22);
}

QRect RawPairMarkRect(const QRect& rect, bool starred) {
    return QRect(rect.left() + 3, rect.bottom() - (starred ? 15 : 0) - 16, 54, 14);
}

namespace {

// A red heart on a dark disc.
void drawHeart(QPainter& painter, const QRect& rect) {
    const QRectF disc = ClientPickHeartRect(rect);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawEllipse(disc);
    const QRectF h = disc.adjusted(4.5, 5.5, -4.5, -4);   // the heart's box
    const double cx = h.center().x(), w = h.width(), top = h.top() + h.height() * 0.28;
    QPainterPath heart;
    heart.moveTo(cx, h.bottom());
    heart.cubicTo(cx - w * 0.15, h.bottom() - h.height() * 0.2, h.left(),
                  h.top() + h.height() * 0.55, h.left(), top);
    heart.cubicTo(h.left(), h.top() - h.height() * 0.05, cx - w * 0.05, h.top() - h.height() * 0.05,
                  cx, top);
    heart.cubicTo(cx + w * 0.05, h.top() - h.height() * 0.05, h.right(),
                  h.top() - h.height() * 0.05, h.right(), top);
    heart.cubicTo(h.right(), h.top() + h.height() * 0.55, cx + w * 0.15,
                  h.bottom() - h.height() * 0.2, cx, h.bottom());
    painter.setBrush(kClientPickColor);
    painter.drawPath(heart);
}

}   // namespace

void DrawThumbnailMarks(QPainter& painter, const QRect& rect, const ThumbnailMarks& marks) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (marks.rating && *marks.rating == picture::kReject) {
        // A red cross on a dark disc in the top left corner, and the picture dimmed.
        painter.fillRect(rect, QColor(0, 0, 0, 110));
        const QRectF disc(rect.left() + 4, rect.top() + 4, 22, 22);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 170));
        painter.drawEllipse(disc);
        painter.setPen(QPen(QColor(230, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(disc.topLeft() + QPointF(6, 6), disc.bottomRight() - QPointF(6, 6));
        painter.drawLine(disc.topRight() + QPointF(-6, 6), disc.bottomLeft() + QPointF(6, -6));
    } else if (marks.rating && *marks.rating > 0) {
        // Gold stars on a dark band along the bottom.
        const int stars = std::min(*marks.rating, 5);
        const QRect band(rect.left(), rect.bottom() - 15, rect.width(), 16);
        painter.fillRect(band, QColor(0, 0, 0, 150));
        QFont font = painter.font();
        font.setPixelSize(13);
        painter.setFont(font);
        painter.setPen(QColor(255, 200, 40));
        painter.drawText(band, Qt::AlignCenter, QString(stars, QChar(0x2605)));
    }
    if (marks.rawPair) {
        const QRect badge = RawPairMarkRect(rect, marks.rating && *marks.rating > 0);
        painter.setPen(Qt::NoPen);
        painter.setBrush(kRawPairColor);
        painter.drawRoundedRect(badge, 3, 3);
        QFont font = painter.font();
        font.setPixelSize(9);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(badge, Qt::AlignCenter, QStringLiteral("RAW+JPEG"));
    }
    if (marks.clientPick) drawHeart(painter, rect);
    if (marks.openSeries)
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width(), 4), QColor(60, 150, 255));
    if (marks.seriesCount > 0) {
        // The count on a dark badge in the top right corner (left of a client's heart), two
        // frames behind it for a stack.
        const int right = marks.clientPick ? ClientPickHeartRect(rect).left() - 3 : rect.right();
        QFont font = painter.font();
        font.setPixelSize(12);
        font.setBold(true);
        painter.setFont(font);
        const QString text = QString::number(marks.seriesCount);
        const int width = painter.fontMetrics().horizontalAdvance(text) + 12;
        const QRect badge(right - width - 3, rect.top() + 4, width, 18);
        painter.setPen(QPen(QColor(255, 255, 255, 160), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(badge.translated(3, -3).adjusted(0, 0, -1, -1));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 190));
        painter.drawRoundedRect(badge, 4, 4);
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(badge, Qt::AlignCenter, text);
    }
    painter.restore();
}

namespace {

QIcon draw(const QImage& thumbnail, const ThumbnailMarks& marks) {
    QPixmap canvas(thumbnail.size());   // a portrait stays one
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    const QRect at(QPoint(0, 0), thumbnail.size());
    painter.drawImage(at, thumbnail);
    DrawThumbnailMarks(painter, at, marks);
    painter.end();
    return QIcon(canvas);
}

}   // namespace

QIcon MarkedIcon(const QImage& thumbnail, const ThumbnailMarks& marks) {
    if (!thumbnail.isNull()) return draw(thumbnail, marks);
    // A picture not read yet (or out of memory): grey, one shared icon for each rating and pick.
    static const QImage grey = [] {
        QImage image(PictureLoader::kIconWidth, PictureLoader::kIconHeight, QImage::Format_RGB32);
        image.fill(QColor(64, 64, 64));
        return image;
    }();
    static std::map<std::tuple<int, bool, int, bool, bool>, QIcon> shared;
    const int rating = marks.rating ? std::clamp(*marks.rating, picture::kReject, 5) : 0;
    auto [at, added] = shared.try_emplace(std::make_tuple(
        rating, marks.clientPick, marks.seriesCount, marks.openSeries, marks.rawPair));
    if (added)
        at->second = draw(grey, ThumbnailMarks{rating == 0 ? std::nullopt : std::optional(rating),
                                               marks.clientPick, marks.seriesCount,
                                               marks.openSeries, marks.rawPair});
    return at->second;
}
