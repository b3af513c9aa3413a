// Gives every caption of a pane one font size: the largest at which each caption fits its label,
// so that no caption is drawn smaller than its neighbours when the system font runs wide.
#pragma once

#include "kit/CLabel.h"

#include <QFont>
#include <QList>

#include <algorithm>

inline void EvenCaptionFonts(const QList<QLabel*>& captions, const QFont& font) {
    int pixels = font.pixelSize();
    for (const QLabel* caption : captions)
        pixels = std::min(pixels,
                          CLabel::FittedFont(font, caption->text(), caption->width()).pixelSize());
    QFont even = font;
    if (pixels > 0) even.setPixelSize(pixels);
    for (QLabel* caption : captions) caption->setFont(even);
}
