#include "kit/CLabel.h"

#include <QPainter>

CLabel::CLabel(QWidget* parent) : CLabel(QString(), parent) {}

CLabel::CLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setAutoFillBackground(false);
    setAttribute(Qt::WA_NoSystemBackground);
}

QFont CLabel::FittedFont(const QFont& font, const QString& text, int width) {
    QFont fitted = font;
    if (fitted.pixelSize() <= 0) return fitted;
    while (fitted.pixelSize() > kMinimumPixelSize &&
           QFontMetrics(fitted).horizontalAdvance(text) > width)
        fitted.setPixelSize(fitted.pixelSize() - 1);
    return fitted;
}

void CLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The pane layouts were drawn for a narrow 12-pixel UI font; where the system's font is
    // wider, the text is set smaller (down to 9 pixels) rather than cut off.
    const QString shown = text();
    painter.setFont(FittedFont(font(), shown, width()));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    painter.drawText(rect(), int(horizontal | Qt::AlignTop), shown);
}
