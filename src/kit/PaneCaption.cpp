#include "kit/PaneCaption.h"

#include "kit/DialogUnits.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>

#include <algorithm>

void DrawPaneCaption(QPainter& painter, const QRect& clientRect, const QString& title,
                     bool fillWholeClient) {
    const QPalette palette = QApplication::palette();
    const QColor face = palette.color(QPalette::Button);
    const QColor highlight = palette.color(QPalette::Light);
    const QColor shadow = palette.color(QPalette::Dark);

    painter.save();
    painter.setFont(paneFont());
    painter.setBackgroundMode(Qt::TransparentMode);

    if (fillWholeClient) painter.fillRect(clientRect, face);

    QRect strip = clientRect;
    strip.setHeight(std::min(kPaneCaptionHeight, clientRect.height()));
    if (strip.isEmpty()) {
        painter.restore();
        return;
    }
    painter.fillRect(strip, face);

    const int left = strip.left(), top = strip.top();
    const int right = strip.right(), bottom = strip.bottom();
    painter.setPen(highlight);
    painter.drawLine(left, top, right - 1, top);
    painter.drawLine(left, top, left, bottom - 1);
    painter.setPen(shadow);
    painter.drawLine(left, bottom, right, bottom);
    painter.drawLine(right, top, right, bottom);

    painter.setPen(palette.color(QPalette::ButtonText));
    painter.drawText(strip, Qt::AlignCenter | Qt::TextSingleLine, title);
    painter.restore();
}
